#include "text_form.h"

#include <algorithm>
#include <cstring>

#include "model_keys.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr std::string_view kSection = "RateCalc";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
// So much of a file's start tells an unmarked encoding.
constexpr std::size_t kEncodingProbeBytes = 4096;
constexpr unsigned char kFirstNonAscii = 0x80;
constexpr std::string_view kSpaces = " \t\v\f";
constexpr std::string_view kLineEnds = "\r\n";

// Code page 1252 from 0x80 to 0x9F, the rest Latin-1; its five undefined
// bytes kept, as the platform converts them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Unmarked UTF-16 shows by its pattern: most units have a high byte below
// 0x20 (zero in ASCII, small in most scripts), on the same side, and no fewer
// line ends beside a zero than 8-bit ones (UTF-16 pasted in 8-bit text).
TextEncoding UnmarkedEncoding(std::string_view probe) {
  std::size_t units = 0, low_odd = 0, low_even = 0, ends_odd = 0, ends_even = 0, narrow_ends = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(probe.data());
  for (std::size_t i = 0; i + 1 < probe.size(); i += 2) {
    const unsigned char even = bytes[i], odd = bytes[i + 1];
    if (even == 0 && odd == 0) continue;  // a pair of NULs is no pattern
    ++units;
    low_odd += odd < ' ';
    low_even += even < ' ';
    ends_odd += odd == 0 && kLineEnds.find(static_cast<char>(even)) != kLineEnds.npos;
    ends_even += even == 0 && kLineEnds.find(static_cast<char>(odd)) != kLineEnds.npos;
    narrow_ends += (even == '\n' && odd != 0) + (odd == '\n' && even != 0);
  }
  const auto wide = [&](std::size_t low, std::size_t other, std::size_t ends) {
    return 2 * low > units && low > other && ends >= narrow_ends;
  };
  return wide(low_odd, low_even, ends_odd)    ? TextEncoding::Utf16Le
         : wide(low_even, low_odd, ends_even) ? TextEncoding::Utf16Be
                                              : TextEncoding::EightBit;
}

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kSpaces);  // npos: none
  return Slice(text, first, text.find_last_not_of(kSpaces) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

// The line from unit `begin` to `end`, its line end excluded; the next
// begins at `next`. True when it ends the section.
bool ScanLine(SettingsScan& scan, std::string_view units, std::size_t begin, std::size_t end,
              std::size_t next) {
  const std::string_view text = Trim(Slice(units, begin, end - begin));
  const bool header = !text.empty() && text.front() == '[';
  const std::size_t equals = text.find('=');
  if (header) {
    const std::size_t close = text.rfind(']');  // the name runs to the line's last ']'
    if (close == std::string_view::npos) return false;
    if (scan.section_found) return true;
    scan.section_found = SameName(Trim(Slice(text, 1, close - 1)), kSection);
    scan.section_begin = begin;
  }
  if (!scan.section_found || (!header && (equals == text.npos || text.front() == ';'))) {
    return false;
  }
  scan.insert_at = next;  // after the header or a key line
  scan.insert_needs_line_end = next == end;
  if (header) return false;
  const std::string_view name = Trim(Slice(text, 0, equals));
  std::string_view value = Trim(Slice(text, equals + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = Slice(value, 1, value.size() - 2);
  }
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    KeyLine& key = scan.keys[i];
    if (key.found || !SameName(name, SettingsKey(i))) continue;
    key = {true, begin, end, name, Slice(value, 0, kMaxValueTextLength)};
    ++scan.found_count;
    break;
  }
  return false;
}

}  // namespace

bool HeapBytes::Resize(std::size_t size) {
  if (size > capacity_ && !failed_) {
    const std::size_t capacity = size > 2 * capacity_ ? size : 2 * capacity_;
    char* grown = static_cast<char*>(std::realloc(data_, capacity));
    failed_ = grown == nullptr;
    data_ = grown ? grown : data_;
    capacity_ = grown ? capacity : capacity_;
  }
  if (!failed_) size_ = size;
  return !failed_;
}

bool HeapBytes::Append(std::string_view piece) {
  const std::size_t at = size_;
  if (piece.empty() || !Resize(size_ + piece.size())) return !failed_;
  std::memcpy(data_ + at, piece.data(), piece.size());
  return true;
}

std::string_view SettingsKey(std::size_t key) {
  if (key < std::size(kFlags)) return kFlags[key].key;
  if (key < kModeKeyIndex) return kFigures[key - std::size(kFlags)].key;
  return kModeKey;
}

bool DecodeText(std::string_view bytes, DecodedText& text) {
  const std::string_view mark = Slice(bytes, 0, 2);
  text.text_start = mark == kUtf16LeMark || mark == kUtf16BeMark ? 2
                    : Slice(bytes, 0, 3) == kUtf8Mark            ? 3
                                                                 : 0;
  text.encoding = mark == kUtf16LeMark   ? TextEncoding::Utf16Le
                  : mark == kUtf16BeMark ? TextEncoding::Utf16Be
                  : text.text_start == 0 ? UnmarkedEncoding(Slice(bytes, 0, kEncodingProbeBytes))
                                         : TextEncoding::EightBit;
  const std::string_view body = Slice(bytes, text.text_start);
  text.bytes = bytes;
  text.units = body;
  if (text.encoding == TextEncoding::EightBit) return true;
  // An earlier version added its section to such a file as 8-bit text.
  const SettingsScan as_bytes = ScanSettings(body);
  std::size_t wide_bytes = body.size() - body.size() % 2;
  if (as_bytes.section_found) {  // from the line end before its header, on a unit boundary
    wide_bytes =
        std::min(as_bytes.section_break + as_bytes.section_break % 2, as_bytes.section_begin);
    text.eight_bit_from = wide_bytes / 2;
  }
  const std::string_view tail = as_bytes.section_found ? Slice(body, wide_bytes) : "";
  if (!text.unit_storage.Resize(wide_bytes / 2 + tail.size())) return false;
  char* out = text.unit_storage.Data();
  const bool le = text.encoding == TextEncoding::Utf16Le;
  for (std::size_t i = 0; i < wide_bytes; i += 2) {
    const auto low = static_cast<unsigned char>(body[le ? i : i + 1]);
    const auto high = static_cast<unsigned char>(body[le ? i + 1 : i]);
    *out++ = high == 0 && low < kFirstNonAscii ? static_cast<char>(low) : '\x80';
  }
  text.units = text.unit_storage.View();
  if (tail.empty()) return true;
  std::memcpy(out, tail.data(), tail.size());
  text.byte_storage.Append(Slice(bytes, 0, text.text_start + wide_bytes));
  EncodeText(tail, text.encoding, HeapBytes::Sink, &text.byte_storage);
  text.bytes = text.byte_storage.View();
  return !text.byte_storage.Failed();
}

void EncodeText(std::string_view text, TextEncoding encoding,
                void (*sink)(void* context, std::string_view piece), void* context) {
  if (encoding == TextEncoding::EightBit) return sink(context, text);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool high = byte >= kFirstNonAscii && byte < kFirstNonAscii + std::size(kCp1252High);
    const char16_t unit = high ? kCp1252High[byte - kFirstNonAscii] : byte;
    const char le[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    const char be[2] = {le[1], le[0]};
    sink(context, {encoding == TextEncoding::Utf16Le ? le : be, 2});
  }
}

SettingsScan ScanSettings(std::string_view units) {
  SettingsScan scan;
  const std::size_t first_end = units.find_first_of(kLineEnds);
  if (first_end != std::string_view::npos) {
    scan.line_end = units[first_end] == '\n'                  ? "\n"
                    : Slice(units, first_end, 2) == kLineEnds ? "\r\n"
                                                              : "\r";
  }
  std::size_t content_end = 0;  // after the last unit that is no line end
  for (std::size_t begin = 0; begin < units.size();) {
    const std::size_t end = std::min(units.find_first_of(kLineEnds, begin), units.size());
    const std::size_t next =
        Slice(units, end, 2) == kLineEnds ? end + 2 : std::min(end + 1, units.size());
    if (!scan.section_found) scan.section_break = content_end;
    if (ScanLine(scan, units, begin, end, next)) break;
    if (end > begin) content_end = end;
    begin = next;
  }
  return scan;
}

}  // namespace ratecalc
