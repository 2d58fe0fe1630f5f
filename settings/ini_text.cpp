#include "ini_text.h"

namespace ratecalc {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  constexpr std::string_view kSpace = " \t\r\v\f";
  const std::size_t first = s.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kSpace) - first + 1);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// One line of the file: [begin, end) is its text without the line end,
// `next` is where the following line starts.
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

enum class LineKind { Section, Key, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section name or key
  std::string_view value;  // for a key line: trimmed, quotes still on
};

// Lines end at LF; a CR before it belongs to the line end.
class LineReader {
 public:
  explicit LineReader(std::string_view content) : content_(content) {
    if (content_.substr(0, kUtf8Bom.size()) == kUtf8Bom) pos_ = kUtf8Bom.size();
  }

  bool Next(Line& line) {
    if (pos_ >= content_.size()) return false;
    line.begin = pos_;
    const std::size_t lf = content_.find('\n', pos_);
    line.next = lf == std::string_view::npos ? content_.size() : lf + 1;
    line.end = lf == std::string_view::npos ? content_.size() : lf;
    if (line.end > line.begin && content_[line.end - 1] == '\r') --line.end;
    pos_ = line.next;
    return true;
  }

 private:
  std::string_view content_;
  std::size_t pos_ = 0;
};

ParsedLine Parse(std::string_view text) {
  ParsedLine parsed;
  const std::string_view trimmed = Trim(text);
  if (trimmed.empty() || trimmed.front() == ';') return parsed;
  if (trimmed.front() == '[') {
    const std::size_t close = trimmed.rfind(']');
    if (close != std::string_view::npos) {
      parsed.kind = LineKind::Section;
      parsed.name = Trim(trimmed.substr(1, close - 1));
    }
    return parsed;
  }
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return parsed;
  parsed.kind = LineKind::Key;
  parsed.name = Trim(trimmed.substr(0, equals));
  parsed.value = Trim(trimmed.substr(equals + 1));
  return parsed;
}

std::string_view LineEnding(std::string_view content) {
  const std::size_t lf = content.find('\n');
  if (lf == std::string_view::npos) return "\r\n";
  return lf > 0 && content[lf - 1] == '\r' ? "\r\n" : "\n";
}

// Where the section lies: its header line, the first line for `key` in it
// (if any) and the last key line in it (the header when it has none).
struct SectionMatch {
  bool found = false;
  Line header;
  bool has_key = false;
  Line key_line;
  std::string_view key_name;
  Line last_key_line;
};

SectionMatch FindSection(std::string_view content, std::string_view section, std::string_view key) {
  SectionMatch match;
  LineReader reader(content);
  Line line;
  bool inside = false;
  while (reader.Next(line)) {
    const ParsedLine parsed = Parse(content.substr(line.begin, line.end - line.begin));
    if (parsed.kind == LineKind::Section) {
      if (inside) break;  // only the first matching section counts
      if (SameName(parsed.name, section)) {
        inside = true;
        match.found = true;
        match.header = line;
        match.last_key_line = line;
      }
    } else if (inside && parsed.kind == LineKind::Key) {
      match.last_key_line = line;
      if (!match.has_key && SameName(parsed.name, key)) {
        match.has_key = true;
        match.key_line = line;
        match.key_name = parsed.name;
      }
    }
  }
  return match;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view content, std::string_view section,
                                        std::string_view key) {
  const SectionMatch match = FindSection(content, section, key);
  if (!match.has_key) return std::nullopt;
  const ParsedLine parsed =
      Parse(content.substr(match.key_line.begin, match.key_line.end - match.key_line.begin));
  return std::string(Unquote(parsed.value).substr(0, kMaxValueTextLength));
}

std::string SetIniValue(std::string_view content, std::string_view section, std::string_view key,
                        std::string_view value) {
  const std::string_view eol = LineEnding(content);
  const SectionMatch match = FindSection(content, section, key);
  std::string out;
  out.reserve(content.size() + section.size() + key.size() + value.size() + 8);

  if (!match.found) {
    out.append(content);
    if (!out.empty() && out.back() != '\n') out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
    return out;
  }
  if (match.has_key) {
    // Keep the key as the user spelt it; the rest of the line is the value.
    out.append(content.substr(0, match.key_line.begin));
    out.append(match.key_name).append("=").append(value);
    out.append(content.substr(match.key_line.end));
    return out;
  }
  const Line& after = match.last_key_line;
  out.append(content.substr(0, after.next));
  if (content[after.next - 1] != '\n') out.append(eol);  // a last line without a line end
  out.append(key).append("=").append(value).append(eol);
  out.append(content.substr(after.next));
  return out;
}

}  // namespace ratecalc
