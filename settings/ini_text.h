// Finding one section of an initialisation file the way the platform's own
// profile functions read it, from text fed in pieces of any size, so that
// neither a long file nor a long line needs to be held in memory. Every
// buffer here has a fixed size: the scan allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "value_text.h"

namespace ratecalc {

// Text of at most N characters; what does not fit is dropped.
template <std::size_t N>
struct ShortText {
  char chars[N];
  std::size_t length = 0;

  void Clear() { length = 0; }
  void PushBack(char c) {
    if (length < N) chars[length++] = c;
  }
  void Append(std::string_view text) {
    for (const char c : text) PushBack(c);
  }
  std::string_view View() const { return {chars, length}; }
};

// The settings file has nine keys; the scan can look for this many.
inline constexpr std::size_t kMaxIniKeys = 9;
// More of a name than any name looked for can have.
inline constexpr std::size_t kNameHead = 16;
// Lines up to this long are kept whole, to tell whether a rewrite changes them.
inline constexpr std::size_t kShortLine = 96;

// How a line ends: the first line end of a text sets the one the save uses.
enum class LineEnd { CrLf, Lf, Cr };

// One key line of the section. Positions count units (bytes of an 8-bit
// file, code units of a UTF-16 one) from the start of the text.
struct IniKeyLine {
  bool found = false;
  std::uint64_t begin = 0;  // the line's text, its line end excluded
  std::uint64_t end = 0;
  ShortText<kNameHead> name;  // the key as the file spells it
  // White space around it removed, one pair of enclosing matching quotes
  // removed, cut to kMaxValueTextLength.
  ShortText<kMaxValueTextLength> value;
  ShortText<kShortLine> text;  // the whole line when it is short
  bool text_complete = false;
};

// Per-line working state of the scan.
struct IniLineState {
  int phase = 0;
  std::uint64_t begin = 0;
  std::uint64_t break_start = 0;  // where the line ends before this one began
  ShortText<kShortLine> text;
  ShortText<kNameHead> name;
  std::uint64_t name_first = 0;
  std::uint64_t name_last = 0;
  bool has_name = false;
  bool header_closed = false;
  std::uint64_t header_name_last = 0;
  bool header_has_name = false;
  ShortText<kMaxValueTextLength + 1> value;  // one more: enclosing quotes are cut later
  std::uint64_t value_first = 0;
  std::uint64_t value_last = 0;
  char value_last_char = 0;
  bool has_value = false;
  int wanted = -1;  // for a key line in the section: which key it may be, -2 until known
};

// Text goes in as units narrowed to char: a unit above 0x7F becomes 0x80,
// which no name, value or line end the scan looks for contains. A line
// ends at CR LF, LF or a lone CR. Names are compared without regard to
// ASCII case; only the first section of that name and the first line of
// each key in it count.
struct IniScan {
  std::string_view section;
  std::string_view keys[kMaxIniKeys];
  std::size_t key_count = 0;
  IniKeyLine found[kMaxIniKeys];   // one per key, in the order of `keys`
  std::size_t order[kMaxIniKeys];  // the keys found, in file order
  std::size_t order_count = 0;

  bool section_found = false;
  bool section_ended = false;          // a later header ended it: nothing more to learn
  std::uint64_t section_begin = 0;     // the section's header line
  std::uint64_t section_break = 0;     // where the line ends before that header began
  std::uint64_t insert_at = 0;         // after the section's last key line
  bool insert_needs_line_end = false;  // that line ends the text without one
  LineEnd line_end = LineEnd::CrLf;    // the text's first line end; CR LF if none
  bool line_end_known = false;
  bool pending_cr = false;     // the last unit was a CR: an LF next belongs to it
  std::uint64_t length = 0;    // units scanned
  std::uint64_t text_end = 0;  // after the last unit that is no line end

  IniLineState line;

  bool EndsWithLineEnd() const { return text_end < length; }
};

// Starts a scan for `count` keys (at most kMaxIniKeys) in `section`.
IniScan StartIniScan(std::string_view section, const std::string_view* keys, std::size_t count);

// Feeds the next units of the text.
void ScanIniText(IniScan& scan, std::string_view units);

// Ends the text: its last line needs no line end.
void FinishIniScan(IniScan& scan);

// The characters of a line end.
std::string_view LineEndText(LineEnd line_end);

}  // namespace ratecalc
