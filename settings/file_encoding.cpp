#include "file_encoding.h"

namespace ratecalc {
namespace {

Encoding UnmarkedEncoding(std::string_view head) {
  std::size_t end = head.find_first_of("\r\n");
  if (end == std::string_view::npos) end = head.size();
  bool low_nul = true, high_nul = true, low_text = false, high_text = false;
  for (std::size_t i = 0; i < end; ++i) {
    const bool nul = head[i] == '\0';
    if (i % 2 == 0) {
      low_nul = low_nul && nul;
      low_text = low_text || !nul;
    } else {
      high_nul = high_nul && nul;
      high_text = high_text || !nul;
    }
  }
  // A little-endian line end starts on an even byte, a big-endian one on an odd.
  if (end % 2 == 0 && end >= 2 && high_nul && low_text) return Encoding::Utf16Le;
  if (end % 2 == 1 && end >= 3 && low_nul && high_text) return Encoding::Utf16Be;
  return Encoding::Bytes;
}

}  // namespace

Encoding DetectEncoding(std::string_view head, std::uint64_t& mark_length) {
  mark_length = 0;
  if (head.substr(0, 3) == "\xEF\xBB\xBF") {
    mark_length = 3;
    return Encoding::Bytes;
  }
  if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF") {
    mark_length = 2;
    return head[0] == '\xFF' ? Encoding::Utf16Le : Encoding::Utf16Be;
  }
  return UnmarkedEncoding(head);
}

std::size_t EncodeUnit(char c, Encoding encoding, char* out) {
  switch (encoding) {
    case Encoding::Utf16Le:
      out[0] = c;
      out[1] = '\0';
      return 2;
    case Encoding::Utf16Be:
      out[0] = '\0';
      out[1] = c;
      return 2;
    default:
      out[0] = c;
      return 1;
  }
}

}  // namespace ratecalc
