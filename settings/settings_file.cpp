#include "settings_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "file_access.h"
#include "file_encoding.h"
#include "ini_text.h"
#include "model_keys.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr std::string_view kSection = "RateCalc";

constexpr std::size_t kFirstFigure = std::size(kFlags);
constexpr std::size_t kModeIndex = kFirstFigure + std::size(kFigures);
constexpr std::size_t kKeyCount = kModeIndex + 1;
static_assert(kKeyCount <= kMaxIniKeys);

// The nine keys in the order they are read and written.
constexpr std::array<std::string_view, kKeyCount> KeyNames() {
  std::array<std::string_view, kKeyCount> keys{};
  for (std::size_t i = 0; i < kFirstFigure; ++i) keys[i] = kFlags[i].key;
  for (std::size_t i = 0; i < std::size(kFigures); ++i) keys[kFirstFigure + i] = kFigures[i].key;
  keys[kModeIndex] = kModeKey;
  return keys;
}
constexpr std::array<std::string_view, kKeyCount> kKeyNames = KeyNames();

IniScan StartScan() { return StartIniScan(kSection, kKeyNames.data(), kKeyNames.size()); }

// The paths whose file existed but could not be read at the last load: a
// save there would replace figures this run never saw. Held as hashes of
// the path, so that no memory is allocated; a program has one such path,
// a test a few. Loads run before any save, on one thread.
constexpr std::size_t kWithheldSlots = 16;
std::uint64_t g_withheld[kWithheldSlots];
std::size_t g_withheld_count = 0;

std::uint64_t PathHash(const FilePath& path) {
  std::uint64_t hash = 14695981039346656037ull;  // 64-bit FNV-1a
  for (const char c : path.View()) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

void SetWithheld(const FilePath& path, bool withheld) {
  const std::uint64_t hash = PathHash(path);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < g_withheld_count; ++i) {
    if (g_withheld[i] != hash) g_withheld[kept++] = g_withheld[i];
  }
  g_withheld_count = kept;
  if (!withheld) return;
  if (g_withheld_count == kWithheldSlots) {  // the oldest gives way
    for (std::size_t i = 1; i < kWithheldSlots; ++i) g_withheld[i - 1] = g_withheld[i];
    --g_withheld_count;
  }
  g_withheld[g_withheld_count++] = hash;
}

bool IsWithheld(const FilePath& path) {
  const std::uint64_t hash = PathHash(path);
  for (std::size_t i = 0; i < g_withheld_count; ++i) {
    if (g_withheld[i] == hash) return true;
  }
  return false;
}

// An open settings file: 8-bit text (perhaps after a UTF-8 byte-order
// mark) or UTF-16 text, with or without its byte-order mark.
struct Source {
  std::FILE* file = nullptr;
  Encoding encoding = Encoding::Bytes;
  std::uint64_t text_start = 0;  // bytes of byte-order mark
  // A UTF-16 file to whose end an earlier version of this program wrote
  // its section as 8-bit text: from this byte on, each byte is one unit,
  // and a save writes them back as UTF-16.
  std::uint64_t byte_tail = UINT64_MAX;
  std::uint64_t tail_unit = UINT64_MAX;

  bool Utf16() const { return encoding != Encoding::Bytes; }
  std::uint64_t ByteOf(std::uint64_t unit) const {
    if (!Utf16()) return text_start + unit;
    if (unit >= tail_unit) return byte_tail + (unit - tail_unit);
    return text_start + 2 * unit;
  }
};

// Turns bytes at `offset` in the file into units for the scan, narrowed as
// IniScan wants them; a unit split between two reads is carried over.
struct Decoder {
  bool has_odd_byte = false;
  char odd_byte = 0;
  char units[kChunkBytes];

  std::string_view Decode(const Source& source, std::string_view bytes, std::uint64_t offset) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const char byte = bytes[i];
      if (offset + i >= source.byte_tail) {
        units[n++] = static_cast<unsigned char>(byte) < 0x80 ? byte : '\x80';
        continue;
      }
      if (!has_odd_byte) {
        odd_byte = byte;
        has_odd_byte = true;
        continue;
      }
      has_odd_byte = false;
      const bool le = source.encoding == Encoding::Utf16Le;
      const unsigned low = static_cast<unsigned char>(le ? odd_byte : byte);
      const unsigned high = static_cast<unsigned char>(le ? byte : odd_byte);
      units[n++] = high == 0 && low < 0x80 ? static_cast<char>(low) : '\x80';
    }
    return {units, n};
  }
};

struct ScannedFile {
  IniScan scan;
  Source source;
  IniScan tail;  // the 8-bit section at the end of a UTF-16 file, if any
  bool has_tail = false;
};

enum class ReadResult { Read, Missing, Unreadable };

// Feeds the text from the start of the file to `scan` until it ends or
// the scan has learnt all it can; as raw bytes when `as_bytes`.
bool FeedFile(const Source& source, IniScan& scan, bool as_bytes) {
  if (std::fseek(source.file, 0, SEEK_SET) != 0) return false;
  char buffer[kChunkBytes];
  Decoder decoder;
  std::uint64_t offset = 0;
  std::size_t got = 0;
  while (!scan.section_ended && (got = std::fread(buffer, 1, sizeof buffer, source.file)) > 0) {
    std::string_view bytes(buffer, got);
    const std::uint64_t skip = offset < source.text_start ? source.text_start - offset : 0;
    bytes.remove_prefix(static_cast<std::size_t>(skip < got ? skip : got));
    const std::uint64_t at = offset + skip;
    offset += got;
    ScanIniText(scan, as_bytes || !source.Utf16() ? bytes : decoder.Decode(source, bytes, at));
  }
  FinishIniScan(scan);
  return !std::ferror(source.file);
}

// Scans the open file as far as the section goes.
ReadResult ScanOpenFile(ScannedFile& file) {
  file.scan = StartScan();
  file.has_tail = false;
  char head[kEncodingProbeBytes];
  const std::size_t got = std::fread(head, 1, sizeof head, file.source.file);
  if (std::ferror(file.source.file)) return ReadResult::Unreadable;
  file.source.encoding = DetectEncoding(std::string_view(head, got), file.source.text_start);
  if (file.source.Utf16()) {
    // An earlier version read such a file as 8-bit text and added its
    // section as 8-bit text at the end: seen only when read as bytes.
    file.tail = StartScan();
    if (!FeedFile(file.source, file.tail, true)) return ReadResult::Unreadable;
    if (file.tail.section_found) {
      file.has_tail = true;
      // From the line end before its header, on a unit boundary.
      std::uint64_t at = file.tail.section_break;
      at += at % 2;
      if (at > file.tail.section_begin) at = file.tail.section_begin;
      file.source.byte_tail = file.source.text_start + at;
      file.source.tail_unit = at / 2;
    }
  }
  return FeedFile(file.source, file.scan, false) ? ReadResult::Read : ReadResult::Unreadable;
}

ReadResult ScanPath(const FilePath& path, ScannedFile& file) {
  file.source = Source{};
  const OpenResult opened = OpenForReading(path, file.source.file);
  if (opened == OpenResult::Missing) {
    file.scan = StartScan();
    file.has_tail = false;
    return ReadResult::Missing;
  }
  if (opened == OpenResult::Unreadable) return ReadResult::Unreadable;
  const ReadResult read = ScanOpenFile(file);
  if (read == ReadResult::Unreadable) {
    std::fclose(file.source.file);
    file.source.file = nullptr;
  }
  return read;
}

ReadResult ScanPathWithRetries(const FilePath& path, ScannedFile& file) {
  ReadResult result = ReadResult::Unreadable;
  RetryWhileBusy([&] { return (result = ScanPath(path, file)) != ReadResult::Unreadable; });
  return result;
}

void CloseSource(ScannedFile& file) {
  if (file.source.file) std::fclose(file.source.file);
  file.source.file = nullptr;
}

bool HasAllKeys(const IniScan& scan) { return scan.order_count == scan.key_count; }

// The platform reads an integer from the start of the value: optional sign,
// then decimal digits. Only the exact value 1 switches a flag on, so the
// digits need not be read beyond knowing whether they make exactly 1.
int ReadFlag(const IniKeyLine& line, int fallback) {
  if (!line.found) return fallback;
  std::string_view digits = line.value.View();
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::size_t count = 0;
  while (count < digits.size() && digits[count] >= '0' && digits[count] <= '9') ++count;
  digits = digits.substr(0, count);
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits == "1" ? 1 : 0;
}

// A figure the window could not show in full would leave its field stuck:
// such a figure loads as the default.
double ReadFigure(const IniKeyLine& line, double fallback) {
  if (!line.found) return fallback;
  const double value = ParseValue(line.value.View());
  return FormatValueText(value).length > kMaxValueTextLength ? fallback : value;
}

CalcMode ReadMode(const IniKeyLine& line) {
  if (!line.found) return RateModel{}.sCalcMode;
  const std::string_view value = line.value.View();
  if (value.empty()) return CalcMode::Pay;
  if (value.front() == 'C') return CalcMode::Charge;
  if (value.front() == 'M') return CalcMode::Margin;
  return CalcMode::Pay;
}

std::string_view ModeName(CalcMode mode) {
  switch (mode) {
    case CalcMode::Charge:
      return "Charge";
    case CalcMode::Margin:
      return "Margin";
    default:
      return "Pay";
  }
}

// A value as the file stores it; one the next load could only read in
// part does not fit.
struct StoredValue {
  ShortText<kMaxValueTextLength> text;
  bool fits = true;
};

StoredValue FlagText(int flag) {  // "%d"
  StoredValue out;
  char digits[12];
  std::size_t n = 0;
  unsigned magnitude = flag < 0 ? 0u - static_cast<unsigned>(flag) : static_cast<unsigned>(flag);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (flag < 0) out.text.PushBack('-');
  while (n > 0) out.text.PushBack(digits[--n]);
  return out;
}

StoredValue FigureText(double figure) {
  StoredValue out;
  const ValueText text = FormatValueText(figure);
  out.fits = text.length <= kMaxValueTextLength;
  if (out.fits) out.text.Append(text.view());
  return out;
}

// The longest line a save writes, in units, and the most it adds at once:
// a line end, the section's header and every key.
constexpr std::size_t kMaxLineUnits = kNameHead + 1 + kMaxValueTextLength + 2;
constexpr std::size_t kMaxSpliceBytes = 2 * (kMaxIniKeys + 2) * kMaxLineUnits;

// Bytes [begin, end) of the old file give way to `text`.
struct Splice {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  ShortText<kMaxSpliceBytes> text;
};

// What a save changes, in file order.
struct SavePlan {
  Splice splices[kMaxIniKeys + 1];
  std::size_t count = 0;
  bool changed = false;
};

void AppendEncoded(ShortText<kMaxSpliceBytes>& out, std::string_view text, Encoding encoding) {
  char unit[2];
  for (const char c : text) out.Append(std::string_view(unit, EncodeUnit(c, encoding, unit)));
}

// Each key line of the section rewritten in place, keys it lacks added
// after its last key line, a missing section appended. Unchanged when the
// file already holds exactly this.
SavePlan PlanSave(const RateModel& model, const ScannedFile& file, bool existed) {
  StoredValue values[kKeyCount];
  for (std::size_t i = 0; i < kFirstFigure; ++i) values[i] = FlagText(model.*kFlags[i].member);
  for (std::size_t i = 0; i < std::size(kFigures); ++i) {
    values[kFirstFigure + i] = FigureText(model.*kFigures[i].member);
  }
  values[kModeIndex].text.Append(ModeName(model.sCalcMode));

  const IniScan& scan = file.scan;
  const Source& source = file.source;
  const std::string_view eol = LineEndText(scan.line_end);
  SavePlan plan;
  plan.changed = !existed || file.has_tail;  // a file of two encodings is written as one
  for (std::size_t n = 0; n < scan.order_count; ++n) {
    const std::size_t i = scan.order[n];
    // A text the next load could only read in part is not written at all:
    // the key keeps what the file held rather than a figure cut short.
    if (!values[i].fits) continue;
    const IniKeyLine& line = scan.found[i];
    Splice& splice = plan.splices[plan.count++];
    splice.begin = source.ByteOf(line.begin);
    splice.end = source.ByteOf(line.end);
    // Keep the key as the user spelt it; the rest of the line is the value.
    ShortText<kMaxLineUnits> text;
    text.Append(line.name.View());
    text.PushBack('=');
    text.Append(values[i].text.View());
    if (!line.text_complete || line.text.View() != text.View()) plan.changed = true;
    AppendEncoded(splice.text, text.View(), source.encoding);
  }

  ShortText<kMaxSpliceBytes> added;
  if (!scan.section_found) {
    if (scan.length > 0 && !scan.EndsWithLineEnd()) AppendEncoded(added, eol, source.encoding);
    AppendEncoded(added, "[", source.encoding);
    AppendEncoded(added, kSection, source.encoding);
    AppendEncoded(added, "]", source.encoding);
    AppendEncoded(added, eol, source.encoding);
  } else if (scan.insert_needs_line_end) {
    AppendEncoded(added, eol, source.encoding);  // the section's last line ends the file bare
  }
  bool adds_key = false;
  for (std::size_t i = 0; i < kKeyCount; ++i) {
    if (scan.found[i].found || !values[i].fits) continue;
    adds_key = true;
    AppendEncoded(added, kKeyNames[i], source.encoding);
    AppendEncoded(added, "=", source.encoding);
    AppendEncoded(added, values[i].text.View(), source.encoding);
    AppendEncoded(added, eol, source.encoding);
  }
  if (adds_key) {  // after the last key line, so after every rewrite
    plan.changed = true;
    Splice& splice = plan.splices[plan.count++];
    splice.begin = splice.end = source.ByteOf(scan.section_found ? scan.insert_at : scan.length);
    splice.text = added;
  }
  return plan;
}

// Passes the old file's bytes from `position` up to `to` on to `target`
// (or skips them when there is none), the 8-bit tail of a UTF-16 file
// turned into UTF-16 on the way. False if the file ends early or anything fails.
bool PassThrough(const Source& source, std::FILE* target, std::uint64_t& position,
                 std::uint64_t to) {
  char bytes[kChunkBytes / 2];
  char units[kChunkBytes];
  while (position < to) {
    const std::size_t want =
        static_cast<std::size_t>(to - position < sizeof bytes ? to - position : sizeof bytes);
    const std::size_t got = std::fread(bytes, 1, want, source.file);
    if (got == 0) return to == UINT64_MAX && !std::ferror(source.file);
    if (target) {
      const std::size_t raw = position >= source.byte_tail ? 0
                              : source.byte_tail - position < got
                                  ? static_cast<std::size_t>(source.byte_tail - position)
                                  : got;
      std::size_t n = 0;
      for (std::size_t i = raw; i < got; ++i) n += EncodeUnit(bytes[i], source.encoding, units + n);
      if (std::fwrite(bytes, 1, raw, target) != raw || std::fwrite(units, 1, n, target) != n) {
        return false;
      }
    }
    position += got;
  }
  return true;
}

// Streams the old file (none when `source.file` is null) into `target`
// with the plan's splices made on the way.
bool WriteSpliced(const Source& source, std::FILE* target, const SavePlan& plan) {
  if (source.file && std::fseek(source.file, 0, SEEK_SET) != 0) return false;
  std::uint64_t position = 0;
  for (std::size_t i = 0; i < plan.count; ++i) {
    const Splice& splice = plan.splices[i];
    if (source.file) {
      if (!PassThrough(source, target, position, splice.begin) ||
          !PassThrough(source, nullptr, position, splice.end)) {
        return false;
      }
    }
    const std::string_view text = splice.text.View();
    if (std::fwrite(text.data(), 1, text.size(), target) != text.size()) return false;
  }
  return !source.file || PassThrough(source, target, position, UINT64_MAX);
}

// The redo record of an in-place write to `target`: the whole new content,
// complete on the disk before the first byte of the file changes, and
// removed once the file holds it. A save killed in between leaves it, and
// the next load or save finishes the write from it, so the file ends as
// that save meant it. It lives beside the file, or, where that folder is
// not writable, in the user's temporary folder under the file's identity.
// Both places, in the order a save tries them.
constexpr std::size_t kRedoPlaces = 2;

bool RedoPath(const FilePath& target, std::size_t place, FilePath& redo) {
  if (place == 0) {
    redo = target;
    return redo.Append(".redo");
  }
  return RedoPathInTemporaryFolder(target, redo);
}

// Run with the file locked, so that a record is never replayed while the
// save that wrote it still runs. A record is kept until the file holds it,
// but one whose write failed before changing a byte is dropped with its
// save when `abandon_unchanged`.
void ReplayRedo(const FilePath& redo, std::FILE* locked, bool abandon_unchanged) {
  std::FILE* record = OpenRedoRecord(redo);
  if (!record) return;
  const InPlaceResult result = OverwriteInPlace(record, locked);
  std::fclose(record);
  if (result == InPlaceResult::Written ||
      (abandon_unchanged && result == InPlaceResult::Unchanged)) {
    RemovePath(redo);
  }
}

void FinishInterruptedSave(const FilePath& target) {
  for (std::size_t place = 0; place < kRedoPlaces; ++place) {
    FilePath redo;
    if (!RedoPath(target, place, redo) || !PathExists(redo) || IsReadOnlyFile(target)) continue;
    std::FILE* locked = OpenLocked(target);
    if (!locked) return;
    if (PathExists(redo)) ReplayRedo(redo, locked, false);  // unless a save finished it meanwhile
    CloseLocked(locked);
  }
}

// Writes the file where it is, for a file that cannot be replaced. Locked
// from the scan to the last byte, so that two such saves never mix.
void SaveInPlace(const RateModel& model, const FilePath& target) {
  ScannedFile file;
  file.source.file = OpenLocked(target);
  if (!file.source.file) return;
  std::FILE* const locked = file.source.file;
  const SavePlan plan =
      ScanOpenFile(file) == ReadResult::Read ? PlanSave(model, file, true) : SavePlan{};
  FilePath temporary;
  FilePath redo;
  std::FILE* staged = nullptr;
  for (std::size_t place = 0; plan.changed && !staged && place < kRedoPlaces; ++place) {
    if (RedoPath(target, place, redo)) staged = CreateTemporaryBeside(redo, temporary);
  }
  const bool recorded = staged != nullptr;
  // Without a place for the record the write goes ahead unrecorded.
  if (plan.changed && !staged) staged = CreateScratchFile();
  if (staged && !WriteSpliced(file.source, staged, plan)) {
    std::fclose(staged);
    staged = nullptr;
  }
  if (staged && recorded) {
    if (CloseAndRename(staged, temporary, redo)) ReplayRedo(redo, locked, true);
  } else if (staged) {
    OverwriteInPlace(staged, locked);
    std::fclose(staged);
  }
  if (recorded) RemovePath(temporary);  // left only when the rename failed
  CloseLocked(locked);
}

enum class Replaced { Done, NeedsInPlace, Abandoned };

// The normal save: the new content goes to a file beside the old one and
// takes its place in one step.
Replaced SaveByReplacing(const RateModel& model, const FilePath& target, const FileFacts& facts) {
  ScannedFile file;
  const ReadResult read = ScanPathWithRetries(target, file);
  if (read == ReadResult::Unreadable)
    return Replaced::Abandoned;  // never replace what was not read
  const SavePlan plan = PlanSave(model, file, read == ReadResult::Read);
  if (!plan.changed) {
    CloseSource(file);
    return Replaced::Done;
  }
  FilePath temporary;
  std::FILE* staged = CreateTemporaryBeside(target, temporary);
  if (!staged) {
    CloseSource(file);
    return Replaced::NeedsInPlace;
  }
  const bool written = WriteSpliced(file.source, staged, plan);
  CloseSource(file);
  if (!written) {
    std::fclose(staged);
    RemovePath(temporary);
    return Replaced::Abandoned;
  }
  if (ReplaceWithTemporary(staged, temporary, target, facts)) return Replaced::Done;
  RemovePath(temporary);
  return Replaced::NeedsInPlace;
}

}  // namespace

void LoadSettings(RateModel& model, std::string_view path_text) {
  const RateModel defaults;
  FilePath path;
  ScannedFile file;
  ReadResult read = ReadResult::Unreadable;
  if (path.Assign(path_text)) {
    FinishInterruptedSave(ResolveLinks(path));
    read = ScanPathWithRetries(path, file);
    CloseSource(file);
    SetWithheld(path, read == ReadResult::Unreadable);
  }
  // What could not be read gives defaults, even if part of it was scanned.
  if (read == ReadResult::Unreadable) {
    file.scan = StartScan();
    file.has_tail = false;
  }
  // Of a UTF-16 file with an 8-bit section at its end, the section that is complete.
  const IniScan& scan =
      !HasAllKeys(file.scan) && file.has_tail && HasAllKeys(file.tail) ? file.tail : file.scan;
  for (std::size_t i = 0; i < kFirstFigure; ++i) {
    model.*kFlags[i].member = ReadFlag(scan.found[i], defaults.*kFlags[i].member);
  }
  for (std::size_t i = 0; i < std::size(kFigures); ++i) {
    model.*kFigures[i].member =
        ReadFigure(scan.found[kFirstFigure + i], defaults.*kFigures[i].member);
  }
  model.sCalcMode = ReadMode(scan.found[kModeIndex]);
}

void SaveSettings(const RateModel& model, std::string_view path_text) {
  FilePath path;
  if (!path.Assign(path_text) || IsWithheld(path)) return;
  // Through a symbolic link the content goes to the file it names.
  const FilePath target = ResolveLinks(path);
  if (IsReadOnlyFile(target)) return;
  const FileFacts facts = InspectFile(target);
  if (facts.exists && !facts.regular) return;  // a FIFO, device or folder holds no settings
  FinishInterruptedSave(target);
  // Replacing would split hard links, or give the file this user as its
  // owner; such a file, and one that cannot be replaced, is written in place
  // (a file that does not exist yet has nothing to write into).
  if (facts.several_names || facts.foreign_owner ||
      SaveByReplacing(model, target, facts) == Replaced::NeedsInPlace) {
    if (facts.exists) SaveInPlace(model, target);
  }
  RemoveStaleTemporaries(target);
  for (std::size_t place = 0; place < kRedoPlaces; ++place) {
    FilePath redo;
    if (RedoPath(target, place, redo)) RemoveStaleTemporaries(redo);
  }
}

}  // namespace ratecalc
