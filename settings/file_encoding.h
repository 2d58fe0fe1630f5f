// The two text forms a settings file comes in: 8-bit text (perhaps after a
// UTF-8 byte-order mark) or UTF-16 of either byte order, with or without
// its byte-order mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ratecalc {

enum class Encoding { Bytes, Utf16Le, Utf16Be };

// So much of a file's start tells its encoding: a byte-order mark, or the
// first line of unmarked UTF-16.
inline constexpr std::size_t kEncodingProbeBytes = 4096;

// The encoding of a file that starts with `head`, and how many bytes of
// byte-order mark come before its text. UTF-16 without a mark shows itself
// by a NUL in every other byte of its first line: the high bytes of its
// ASCII characters.
Encoding DetectEncoding(std::string_view head, std::uint64_t& mark_length);

// Writes the ASCII character `c` as one unit of the encoding into `out`
// (room for two bytes); returns the bytes written.
std::size_t EncodeUnit(char c, Encoding encoding, char* out);

}  // namespace ratecalc
