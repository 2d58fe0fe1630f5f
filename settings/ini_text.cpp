#include "ini_text.h"

#include <algorithm>

#include "value_text.h"

namespace ratecalc {
namespace {

// What is known of a line so far: nothing but white space, a comment, a
// header, a key name (no '=' yet) or a key's value.
enum Phase { kStart, kComment, kHeader, kKeyName, kValue };

// Lines up to this long are kept whole, to tell whether a rewrite changes them.
constexpr std::size_t kShortLine = 96;
// More of a name than any name looked for can have.
constexpr std::size_t kNameHead = 16;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

void ResetLine(IniLineState& line, std::uint64_t begin) {
  line.phase = kStart;
  line.begin = begin;
  line.text.clear();
  line.name.clear();
  line.has_name = false;
  line.header_closed = false;
  line.header_has_name = false;
  line.value.clear();
  line.has_value = false;
  line.wanted = -2;
}

// The name that runs from name_first to `last`, if it is short enough to
// be one looked for; a longer one comes back too long to match anything.
std::string_view NameUpTo(const IniLineState& line, bool has_name, std::uint64_t last) {
  if (!has_name) return {};
  const std::uint64_t length = last - line.name_first + 1;
  if (length > line.name.size()) return "\x80";  // matches no name looked for
  return std::string_view(line.name).substr(0, static_cast<std::size_t>(length));
}

std::string ValueOf(const IniLineState& line) {
  if (!line.has_value) return {};
  const std::uint64_t length = line.value_last - line.value_first + 1;
  std::string_view head = line.value;
  if (length >= 2 && (head[0] == '"' || head[0] == '\'') && line.value_last_char == head[0]) {
    head = head.substr(
        1, static_cast<std::size_t>(std::min<std::uint64_t>(length - 2, kMaxValueTextLength)));
  } else {
    head = head.substr(
        0, static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxValueTextLength)));
  }
  return std::string(head);
}

void EndLine(IniScan& scan, std::uint64_t end, bool has_lf) {
  IniLineState& line = scan.line;
  const std::uint64_t next = has_lf ? end + 1 : end;
  if (end > line.begin && scan.last_unit == '\r') --end;  // CR LF: the CR is line end
  if (line.phase == kHeader && line.header_closed) {
    if (scan.section_found) {
      scan.section_ended = true;  // only the first matching section counts
    } else if (SameName(NameUpTo(line, line.header_has_name, line.header_name_last),
                        scan.section)) {
      scan.section_found = true;
      scan.insert_at = next;
      scan.insert_needs_line_end = !has_lf;
    }
  } else if (line.phase == kValue && scan.section_found) {
    scan.insert_at = next;
    scan.insert_needs_line_end = !has_lf;
    const std::string_view name = NameUpTo(line, line.has_name, line.name_last);
    for (std::size_t i = 0; i < scan.keys.size(); ++i) {
      IniKeyLine& key = scan.found[i];
      if (key.found || !SameName(name, scan.keys[i])) continue;
      key.found = true;
      key.begin = line.begin;
      key.end = end;
      key.name = name;
      key.value = ValueOf(line);
      key.text_complete = end - line.begin <= kShortLine;
      if (key.text_complete)
        key.text = line.text.substr(0, static_cast<std::size_t>(end - line.begin));
      break;
    }
  }
  ResetLine(line, next);
}

void ScanUnit(IniLineState& line, char c, std::uint64_t pos) {
  if (pos - line.begin < kShortLine) line.text.push_back(c);
  const bool space = IsSpace(c);
  switch (line.phase) {
    case kStart:
      if (space) return;
      if (c == ';') {
        line.phase = kComment;
      } else if (c == '[') {
        line.phase = kHeader;
      } else if (c == '=') {
        line.phase = kValue;  // a key line with an empty name
      } else {
        line.phase = kKeyName;
        line.has_name = true;
        line.name_first = line.name_last = pos;
        line.name.push_back(c);
      }
      return;
    case kHeader:
      // The name runs to the last ']' of the line: each one closes it anew.
      if (c == ']') {
        line.header_closed = true;
        line.header_has_name = line.has_name;
        line.header_name_last = line.name_last;
      }
      if (!space && !line.has_name) {
        line.has_name = true;
        line.name_first = pos;
      }
      if (!space) line.name_last = pos;
      if (line.has_name && line.name.size() < kNameHead) line.name.push_back(c);
      return;
    case kKeyName:
      if (c == '=') {
        line.phase = kValue;
        return;
      }
      if (line.name.size() < kNameHead) line.name.push_back(c);
      if (!space) line.name_last = pos;
      return;
    case kValue:
      if (!line.has_value) {
        if (space) return;
        line.has_value = true;
        line.value_first = pos;
      }
      if (line.value.size() <= kMaxValueTextLength) line.value.push_back(c);
      if (!space) {
        line.value_last = pos;
        line.value_last_char = c;
      }
      return;
    default:
      return;
  }
}

}  // namespace

IniScan StartIniScan(std::string_view section, const std::vector<std::string>& keys) {
  IniScan scan;
  scan.section = section;
  for (const std::string& key : keys) {  // one at a time: no array-size check to link
    scan.keys.push_back(key);
    scan.found.emplace_back();
  }
  scan.line.text.reserve(kShortLine);
  scan.line.value.reserve(kMaxValueTextLength + 1);
  ResetLine(scan.line, 0);
  return scan;
}

// Whether nothing in the rest of the current line can matter: any line
// but a header before the section, a comment, or a key line in it that is
// not one looked for (or one already found).
bool RestOfLineIsIdle(IniScan& scan) {
  IniLineState& line = scan.line;
  if (line.phase == kComment) return true;
  if (!scan.section_found) return line.phase == kKeyName || line.phase == kValue;
  if (line.phase != kValue) return false;
  if (line.wanted == -2) {
    line.wanted = -1;
    const std::string_view name = NameUpTo(line, line.has_name, line.name_last);
    for (std::size_t i = 0; i < scan.keys.size(); ++i) {
      if (!scan.found[i].found && SameName(name, scan.keys[i])) line.wanted = static_cast<int>(i);
    }
  }
  return line.wanted < 0;
}

void ScanIniText(IniScan& scan, std::string_view units) {
  for (std::size_t i = 0; i < units.size();) {
    if (scan.section_ended) return;
    if (RestOfLineIsIdle(scan)) {  // on to the line end in one step
      const std::size_t lf = units.find('\n', i);
      const std::size_t stop = lf == std::string_view::npos ? units.size() : lf;
      if (stop > i) {
        scan.length += stop - i;
        scan.last_unit = units[stop - 1];
        i = stop;
      }
      if (lf == std::string_view::npos) return;
    }
    const char c = units[i++];
    const std::uint64_t pos = scan.length++;
    if (c == '\n') {
      if (!scan.seen_lf) {
        scan.seen_lf = true;
        scan.crlf = pos > 0 && scan.last_unit == '\r';
      }
      EndLine(scan, pos, true);
    } else {
      ScanUnit(scan.line, c, pos);
    }
    scan.last_unit = c;
  }
}

void FinishIniScan(IniScan& scan) {
  if (!scan.section_ended && scan.length > scan.line.begin) EndLine(scan, scan.length, false);
}

}  // namespace ratecalc
