#include "file_encoding.h"

namespace ratecalc {
namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeMark[] = "\xFF\xFE";
constexpr char kUtf16BeMark[] = "\xFE\xFF";
constexpr unsigned kFirstNonAscii = 0x80;
constexpr char kNonAsciiUnit = '\x80';
// Unmarked UTF-16 has this many times more NUL bytes on one side than the other.
constexpr std::size_t kNulMajority = 4;

// Code page 1252 from 0x80 to 0x9F; the rest of it is Latin-1. The five
// bytes it leaves undefined stay as they are, as the platform converts them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromCodePage(char c) {
  const unsigned byte = static_cast<unsigned char>(c);
  const unsigned first_high = kFirstNonAscii;
  if (byte >= first_high && byte < first_high + std::size(kCp1252High)) {
    return kCp1252High[byte - first_high];
  }
  return static_cast<char16_t>(byte);
}

Encoding UnmarkedEncoding(std::string_view head) {
  std::size_t nul_at[2] = {0, 0};  // NUL bytes at even and at odd offsets
  for (std::size_t i = 0; i < head.size(); ++i) nul_at[i % 2] += head[i] == '\0';
  // A character such as U+0100 puts a NUL on the other side now and then.
  if (nul_at[1] > kNulMajority * nul_at[0]) return Encoding::Utf16Le;
  if (nul_at[0] > kNulMajority * nul_at[1]) return Encoding::Utf16Be;
  return Encoding::Bytes;
}

}  // namespace

Encoding DetectEncoding(std::string_view head, std::uint64_t& mark_length) {
  mark_length = 0;
  if (head.substr(0, 3) == kUtf8Mark) {
    mark_length = 3;
    return Encoding::Bytes;
  }
  if (head.substr(0, 2) == kUtf16LeMark || head.substr(0, 2) == kUtf16BeMark) {
    mark_length = 2;
    return head.substr(0, 2) == kUtf16LeMark ? Encoding::Utf16Le : Encoding::Utf16Be;
  }
  return UnmarkedEncoding(head);
}

std::string_view Decoder::Decode(std::string_view bytes, std::uint64_t offset) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char byte = bytes[i];
    if (encoding == Encoding::Bytes || offset + i >= eight_bit_from_byte) {
      units[n++] = static_cast<unsigned char>(byte) < kFirstNonAscii ? byte : kNonAsciiUnit;
      continue;
    }
    if (!has_odd_byte) {
      odd_byte = byte;
      has_odd_byte = true;
      continue;
    }
    has_odd_byte = false;
    const bool le = encoding == Encoding::Utf16Le;
    const unsigned low = static_cast<unsigned char>(le ? odd_byte : byte);
    const unsigned high = static_cast<unsigned char>(le ? byte : odd_byte);
    units[n++] = high == 0 && low < kFirstNonAscii ? static_cast<char>(low) : kNonAsciiUnit;
  }
  return {units, n};
}

std::size_t EncodeUnit(char c, Encoding encoding, char* out) {
  const char16_t unit = FromCodePage(c);
  const char low = static_cast<char>(unit & 0xFF);
  const char high = static_cast<char>(unit >> 8);
  switch (encoding) {
    case Encoding::Utf16Le:
      out[0] = low;
      out[1] = high;
      return 2;
    case Encoding::Utf16Be:
      out[0] = high;
      out[1] = low;
      return 2;
    default:
      out[0] = c;
      return 1;
  }
}

}  // namespace ratecalc
