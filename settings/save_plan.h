// Reading a settings file as far as its section goes, and the plan of what
// a save changes in it: each key line of the section rewritten where it
// stands, the keys it lacks added after its last key line, a missing
// section appended. Every buffer has a fixed size: nothing allocates.
#pragma once

#include <cstdint>
#include <cstdio>

#include "file_access.h"
#include "file_encoding.h"
#include "ini_text.h"
#include "rate_model.h"
#include "settings_keys.h"

namespace ratecalc {

// An open settings file and its encoding.
struct Source {
  std::FILE* file = nullptr;
  Encoding encoding = Encoding::Bytes;
  std::uint64_t text_start = 0;  // bytes of byte-order mark
  // A UTF-16 file to whose end an earlier version of this program wrote
  // its section as 8-bit text: from this byte on, each byte is one unit,
  // and a save writes them back as UTF-16.
  std::uint64_t eight_bit_from_byte = UINT64_MAX;
  std::uint64_t eight_bit_from_unit = UINT64_MAX;

  bool Utf16() const { return encoding != Encoding::Bytes; }
  std::uint64_t ByteOf(std::uint64_t unit) const;
};

struct ScannedFile {
  Source source;
  IniScan scan;
  IniScan eight_bit_section;  // the 8-bit section at the end of a UTF-16 file, if any
  bool has_eight_bit_section = false;

  // The section a load takes its figures from: of a UTF-16 file with an
  // 8-bit section at its end, the one that is complete.
  const IniScan& Loaded() const;
};

// Scans `file.source.file` from its start.
ReadResult ScanOpenFile(ScannedFile& file);
// Opens and scans the file; it stays open when Read.
ReadResult ScanPath(const FilePath& path, ScannedFile& file);
void CloseSource(ScannedFile& file);

// The longest line a save writes, in units, and the most it adds at once:
// a line end, the section's header and every key.
inline constexpr std::size_t kMaxLineUnits = kNameHead + 1 + kMaxValueTextLength + 2;
inline constexpr std::size_t kMaxSpliceBytes = 2 * (kMaxIniKeys + 2) * kMaxLineUnits;

// Bytes [begin, end) of the old file give way to `text`.
struct Splice {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  ShortText<kMaxSpliceBytes> text;
};

// What a save changes, in file order; not `changed` when the file already
// holds exactly this.
struct SavePlan {
  Splice splices[kMaxIniKeys + 1];
  std::size_t count = 0;
  bool changed = false;
};
SavePlan PlanSave(const RateModel& model, const ScannedFile& file, bool existed);

// Streams the old file (none when `source.file` is null) into `target`
// with the plan's splices made on the way, the whole in the file's encoding.
bool WriteSpliced(const Source& source, std::FILE* target, const SavePlan& plan);

}  // namespace ratecalc
