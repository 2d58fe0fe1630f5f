// A settings file's bytes as the text its section is found in, and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model_keys.h"

namespace ratecalc {

// Bytes held with malloc, which reports running out of memory where
// std::string would throw: the product links nothing that throws.
class HeapBytes {
 public:
  HeapBytes() = default;
  HeapBytes(const HeapBytes&) = delete;
  HeapBytes& operator=(const HeapBytes&) = delete;
  ~HeapBytes() { std::free(data_); }
  bool Resize(std::size_t size);  // the bytes added unset; false, for good, without memory
  bool Append(std::string_view piece);
  char* Data() { return data_; }
  std::string_view View() const { return {data_, size_}; }
  bool Failed() const { return failed_; }
  static void Sink(void* bytes, std::string_view piece) {
    static_cast<HeapBytes*>(bytes)->Append(piece);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0, capacity_ = 0;
  bool failed_ = false;
};

// Up to `count` bytes of `text` from `from`: substr throws past the end.
inline std::string_view Slice(std::string_view text, std::size_t from,
                              std::size_t count = std::string_view::npos) {
  if (from > text.size()) from = text.size();
  return {text.data() + from, count < text.size() - from ? count : text.size() - from};
}

enum class TextEncoding { EightBit, Utf16Le, Utf16Be };

// A file's text, one char per unit: a byte of 8-bit text, a UTF-16 unit
// narrowed (anything above 0x7F to 0x80). An earlier version appended its
// section to UTF-16 files as 8-bit text: from `eight_bit_from` the units are
// those bytes, and `bytes` is the file with them as UTF-16, as a save writes.
struct DecodedText {
  TextEncoding encoding = TextEncoding::EightBit;
  std::size_t text_start = 0;  // bytes of byte-order mark
  std::size_t eight_bit_from = SIZE_MAX;
  std::string_view units, bytes;
  HeapBytes unit_storage, byte_storage;

  std::size_t ByteOf(std::size_t unit) const {
    return text_start + (encoding == TextEncoding::EightBit ? unit : 2 * unit);
  }
};
bool DecodeText(std::string_view bytes, DecodedText& text);

// Writes 8-bit text in code page 1252 in the encoding.
void EncodeText(std::string_view text, TextEncoding encoding,
                void (*sink)(void* context, std::string_view piece), void* context);

inline constexpr std::size_t kModeKeyIndex = kKeyCount - 1;
std::string_view SettingsKey(std::size_t key);

// One key line of the section, by unit position, its line end excluded.
struct KeyLine {
  bool found = false;
  std::size_t begin = 0, end = 0;
  std::string_view name;   // as the file spells it
  std::string_view value;  // trimmed, one pair of enclosing quotes removed, at most 79
};

// Section "RateCalc" and its keys as the platform's profile functions find
// them: names in any ASCII case, the first such section and the first line
// of each key in it; lines end at CR LF, LF or a lone CR.
struct SettingsScan {
  KeyLine keys[kKeyCount];
  std::size_t found_count = 0;
  bool section_found = false;
  std::size_t section_begin = 0;  // the header line
  std::size_t section_break = 0;  // where the line ends before the header begin
  std::size_t insert_at = 0;      // after the section's last key line
  bool insert_needs_line_end = false;
  std::string_view line_end = "\r\n";  // the text's first, CR LF if none
};
SettingsScan ScanSettings(std::string_view units);

}  // namespace ratecalc
