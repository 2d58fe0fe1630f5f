// The two text forms a settings file comes in: 8-bit text in the Windows
// code page (perhaps after a UTF-8 byte-order mark) or UTF-16 of either
// byte order, with or without its byte-order mark. Decoding for the scan
// and encoding for the save, side by side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "file_access.h"

namespace ratecalc {

enum class Encoding { Bytes, Utf16Le, Utf16Be };

// So much of a file's start tells its encoding.
inline constexpr std::size_t kEncodingProbeBytes = 4096;

// The encoding of a file that starts with `head`, and how many bytes of
// byte-order mark come before its text. UTF-16 without a mark shows itself
// by its NUL bytes, the high bytes of its ASCII characters: nearly all of
// them at odd offsets (little-endian) or at even ones (big-endian).
Encoding DetectEncoding(std::string_view head, std::uint64_t& mark_length);

// Turns a file's bytes into units for the ini scan: a unit above 0x7F
// becomes 0x80. From `eight_bit_from_byte` on, each byte is a unit of its own: the
// 8-bit section an earlier version wrote at the end of a UTF-16 file. A
// unit split between two calls is carried over.
struct Decoder {
  Encoding encoding = Encoding::Bytes;
  std::uint64_t eight_bit_from_byte = UINT64_MAX;
  bool has_odd_byte = false;
  char odd_byte = 0;
  char units[kChunkBytes];

  // `bytes` start at byte `offset` of the text; at most kChunkBytes of them.
  std::string_view Decode(std::string_view bytes, std::uint64_t offset);
};

// Writes the character `c` of the Windows code page (1252) as one unit of
// the encoding into `out` (room for two bytes); returns the bytes written.
std::size_t EncodeUnit(char c, Encoding encoding, char* out);

}  // namespace ratecalc
