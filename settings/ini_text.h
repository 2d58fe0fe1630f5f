// Finding one section of an initialisation file the way the platform's own
// profile functions read it, from text fed in pieces of any size, so that
// neither a long file nor a long line needs to be held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ratecalc {

// One key line of the section. Positions count units (bytes of an 8-bit
// file, code units of a UTF-16 one) from the start of the text.
struct IniKeyLine {
  bool found = false;
  std::uint64_t begin = 0;  // the line's text, its line end excluded
  std::uint64_t end = 0;
  std::string name;   // the key as the file spells it
  std::string value;  // white space around it removed, one pair of enclosing
                      // matching quotes removed, cut to kMaxValueTextLength
  std::string text;   // the whole line when it is short, else empty
  bool text_complete = false;
};

// Per-line working state of the scan.
struct IniLineState {
  int phase = 0;
  std::uint64_t begin = 0;
  std::string text;
  std::string name;
  std::uint64_t name_first = 0;
  std::uint64_t name_last = 0;
  bool has_name = false;
  bool header_closed = false;
  std::uint64_t header_name_last = 0;
  bool header_has_name = false;
  std::string value;
  std::uint64_t value_first = 0;
  std::uint64_t value_last = 0;
  char value_last_char = 0;
  bool has_value = false;
  int wanted = -1;  // for a key line in the section: which key it may be, -2 until known
};

// Text goes in as units narrowed to char: a unit above 0x7F becomes 0x80,
// which no name, value or line end the scan looks for contains. Names are
// compared without regard to ASCII case; only the first section of that
// name and the first line of each key in it count.
struct IniScan {
  std::string section;
  std::vector<std::string> keys;
  std::vector<IniKeyLine> found;  // one per key, in the order of `keys`

  bool section_found = false;
  bool section_ended = false;          // a later header ended it: nothing more to learn
  std::uint64_t insert_at = 0;         // after the section's last key line
  bool insert_needs_line_end = false;  // that line ends the text without one
  bool crlf = true;                    // the text's own line end: its first LF's, CRLF if none
  bool seen_lf = false;
  std::uint64_t length = 0;  // units scanned
  char last_unit = 0;

  IniLineState line;
};

// Starts a scan for `keys` in `section`.
IniScan StartIniScan(std::string_view section, const std::vector<std::string>& keys);

// Feeds the next units of the text.
void ScanIniText(IniScan& scan, std::string_view units);

// Ends the text: its last line needs no line end.
void FinishIniScan(IniScan& scan);

}  // namespace ratecalc
