#include "ini_text.h"

#include <algorithm>
#include <cassert>

namespace ratecalc {
namespace {

// What is known of a line so far: nothing but white space, a comment, a
// header, a key name (no '=' yet) or a key's value.
enum Phase { kStart, kComment, kHeader, kKeyName, kValue };

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

void ResetLine(IniScan& scan, std::uint64_t begin) {
  IniLineState& line = scan.line;
  line.phase = kStart;
  line.begin = begin;
  line.break_start = scan.text_end;
  line.text.Clear();
  line.name.Clear();
  line.has_name = false;
  line.header_closed = false;
  line.header_has_name = false;
  line.value.Clear();
  line.has_value = false;
  line.wanted = -2;
}

// The name that runs from name_first to `last`, if it is short enough to
// be one looked for; a longer one comes back too long to match anything.
std::string_view NameUpTo(const IniLineState& line, bool has_name, std::uint64_t last) {
  if (!has_name) return {};
  const std::uint64_t length = last - line.name_first + 1;
  if (length > line.name.length) return "\x80";  // matches no name looked for
  return line.name.View().substr(0, static_cast<std::size_t>(length));
}

std::string_view ValueOf(const IniLineState& line) {
  if (!line.has_value) return {};
  const std::uint64_t length = line.value_last - line.value_first + 1;
  const std::string_view head = line.value.View();
  std::size_t from = 0;
  std::uint64_t count = length;
  if (length >= 2 && (head[0] == '"' || head[0] == '\'') && line.value_last_char == head[0]) {
    from = 1;
    count = length - 2;
  }
  count = std::min<std::uint64_t>(count, kMaxValueTextLength);
  return std::string_view(head.data() + from, static_cast<std::size_t>(count));
}

void EndLine(IniScan& scan, std::uint64_t end, bool has_line_end) {
  IniLineState& line = scan.line;
  const std::uint64_t next = has_line_end ? end + 1 : end;
  if (line.phase == kHeader && line.header_closed) {
    if (scan.section_found) {
      scan.section_ended = true;  // only the first matching section counts
    } else if (SameName(NameUpTo(line, line.header_has_name, line.header_name_last),
                        scan.section)) {
      scan.section_found = true;
      scan.section_begin = line.begin;
      scan.section_break = line.break_start;
      scan.insert_at = next;
      scan.insert_needs_line_end = !has_line_end;
    }
  } else if (line.phase == kValue && scan.section_found) {
    scan.insert_at = next;
    scan.insert_needs_line_end = !has_line_end;
    const std::string_view name = NameUpTo(line, line.has_name, line.name_last);
    for (std::size_t i = 0; i < scan.key_count; ++i) {
      IniKeyLine& key = scan.found[i];
      if (key.found || !SameName(name, scan.keys[i])) continue;
      key.found = true;
      key.begin = line.begin;
      key.end = end;
      key.name.Clear();
      key.name.Append(name);
      key.value.Clear();
      key.value.Append(ValueOf(line));
      key.text_complete = end - line.begin <= kShortLine;
      key.text.Clear();
      if (key.text_complete) {
        key.text.Append(line.text.View().substr(0, static_cast<std::size_t>(end - line.begin)));
      }
      scan.order[scan.order_count++] = i;
      break;
    }
  }
  ResetLine(scan, next);
}

void ScanUnit(IniLineState& line, char c, std::uint64_t pos) {
  line.text.PushBack(c);
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
        line.name.PushBack(c);
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
      if (line.has_name) line.name.PushBack(c);
      return;
    case kKeyName:
      if (c == '=') {
        line.phase = kValue;
        return;
      }
      line.name.PushBack(c);
      if (!space) line.name_last = pos;
      return;
    case kValue:
      if (!line.has_value) {
        if (space) return;
        line.has_value = true;
        line.value_first = pos;
      }
      line.value.PushBack(c);
      if (!space) {
        line.value_last = pos;
        line.value_last_char = c;
      }
      return;
    default:
      return;
  }
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
    for (std::size_t i = 0; i < scan.key_count; ++i) {
      if (!scan.found[i].found && SameName(name, scan.keys[i])) line.wanted = static_cast<int>(i);
    }
  }
  return line.wanted < 0;
}

// The unit after a CR that ended a line: an LF there is part of that line
// end. True when it was consumed.
bool TakeLfAfterCr(IniScan& scan, char c) {
  scan.pending_cr = false;
  const bool lf = c == '\n';
  if (!scan.line_end_known) {
    scan.line_end_known = true;
    scan.line_end = lf ? LineEnd::CrLf : LineEnd::Cr;
  }
  if (!lf) return false;
  const std::uint64_t pos = scan.length++;
  if (scan.insert_at == pos) ++scan.insert_at;  // after the whole line end
  scan.line.begin = pos + 1;
  return true;
}

}  // namespace

IniScan StartIniScan(std::string_view section, const std::string_view* keys, std::size_t count) {
  assert(count <= kMaxIniKeys);
  IniScan scan;
  scan.section = section;
  scan.key_count = std::min(count, kMaxIniKeys);
  std::copy(keys, keys + scan.key_count, scan.keys);
  ResetLine(scan, 0);
  return scan;
}

void ScanIniText(IniScan& scan, std::string_view units) {
  for (std::size_t i = 0; i < units.size();) {
    if (scan.section_ended) return;
    if (scan.pending_cr && TakeLfAfterCr(scan, units[i])) {
      ++i;
      continue;
    }
    if (RestOfLineIsIdle(scan)) {  // on to the line end in one step
      const std::size_t found = units.find_first_of("\r\n", i);
      const std::size_t stop = found == std::string_view::npos ? units.size() : found;
      if (stop > i) {
        scan.length += stop - i;
        scan.text_end = scan.length;
        i = stop;
      }
      if (found == std::string_view::npos) return;
    }
    const char c = units[i++];
    const std::uint64_t pos = scan.length++;
    if (IsLineEnd(c)) {
      if (c == '\r') {
        scan.pending_cr = true;
      } else if (!scan.line_end_known) {
        scan.line_end_known = true;
        scan.line_end = LineEnd::Lf;
      }
      EndLine(scan, pos, true);
    } else {
      scan.text_end = pos + 1;
      ScanUnit(scan.line, c, pos);
    }
  }
}

void FinishIniScan(IniScan& scan) {
  if (scan.pending_cr && !scan.line_end_known) {
    scan.line_end_known = true;
    scan.line_end = LineEnd::Cr;
  }
  if (!scan.section_ended && scan.length > scan.line.begin) EndLine(scan, scan.length, false);
}

std::string_view LineEndText(LineEnd line_end) {
  switch (line_end) {
    case LineEnd::Lf:
      return "\n";
    case LineEnd::Cr:
      return "\r";
    default:
      return "\r\n";
  }
}

}  // namespace ratecalc
