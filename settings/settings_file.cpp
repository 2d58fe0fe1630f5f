#include "settings_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_access.h"
#include "ini_text.h"
#include "model_keys.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr std::string_view kSection = "RateCalc";

// A file that another program holds open without sharing is retried for
// about a second before it counts as unreadable.
constexpr int kReadAttempts = 20;
constexpr int kRetryPauseMs = 50;

constexpr std::size_t kChunk = 65536;

// The paths whose file existed but could not be read at the last load: a
// save there would replace figures this run never saw. Loads run before
// any save, on one thread.
std::vector<std::string> g_withheld_paths;

void SetWithheld(const std::string& path, bool withheld) {
  std::erase(g_withheld_paths, path);
  if (withheld) g_withheld_paths.push_back(path);
}

bool IsWithheld(const std::string& path) {
  return std::find(g_withheld_paths.begin(), g_withheld_paths.end(), path) !=
         g_withheld_paths.end();
}

// The nine keys in the order they are read and written.
std::vector<std::string> KeyNames() {
  std::vector<std::string> keys;
  for (const FlagKey& flag : kFlags) keys.emplace_back(flag.key);
  for (const FigureKey& figure : kFigures) keys.emplace_back(figure.key);
  keys.emplace_back(kModeKey);
  return keys;
}
constexpr std::size_t kFirstFigure = std::size(kFlags);
constexpr std::size_t kModeIndex = kFirstFigure + std::size(kFigures);

// An open settings file: 8-bit text (perhaps after a UTF-8 byte-order
// mark) or UTF-16LE text after its byte-order mark.
struct Source {
  std::FILE* file = nullptr;
  bool utf16 = false;
  std::uint64_t text_start = 0;  // bytes of byte-order mark

  std::uint64_t ByteOf(std::uint64_t unit) const { return text_start + unit * (utf16 ? 2 : 1); }
};

enum class ReadResult { Read, Missing, Unreadable };

// Scans the file as far as the section goes; the file stays open in
// `source` when it was read.
ReadResult ScanFile(const std::string& path, IniScan& scan, Source& source) {
  scan = StartIniScan(kSection, KeyNames());
  source = Source{};
  const OpenResult opened = OpenForReading(path, source.file);
  if (opened == OpenResult::Missing) return ReadResult::Missing;
  if (opened == OpenResult::Unreadable) return ReadResult::Unreadable;

  std::vector<char> buffer(kChunk);
  std::string units;
  bool first = true;
  bool has_odd_byte = false;  // a UTF-16 unit split between two chunks
  char odd_byte = 0;
  std::size_t got = 0;
  while (!scan.section_ended &&
         (got = std::fread(buffer.data(), 1, buffer.size(), source.file)) > 0) {
    std::string_view bytes(buffer.data(), got);
    if (first) {
      first = false;
      if (bytes.substr(0, 2) == "\xFF\xFE") {
        source.utf16 = true;
        source.text_start = 2;
      } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        source.text_start = 3;
      }
      bytes.remove_prefix(static_cast<std::size_t>(source.text_start));
    }
    if (!source.utf16) {
      ScanIniText(scan, bytes);
      continue;
    }
    units.clear();
    for (const char byte : bytes) {
      if (!has_odd_byte) {
        odd_byte = byte;
        has_odd_byte = true;
        continue;
      }
      has_odd_byte = false;
      const unsigned unit = static_cast<unsigned char>(odd_byte) |
                            static_cast<unsigned>(static_cast<unsigned char>(byte)) << 8;
      units.push_back(unit < 0x80 ? static_cast<char>(unit) : '\x80');
    }
    ScanIniText(scan, units);
  }
  if (std::ferror(source.file)) {
    std::fclose(source.file);
    source.file = nullptr;
    return ReadResult::Unreadable;
  }
  FinishIniScan(scan);
  return ReadResult::Read;
}

ReadResult ScanFileWithRetries(const std::string& path, IniScan& scan, Source& source) {
  for (int attempt = 1;; ++attempt) {
    const ReadResult result = ScanFile(path, scan, source);
    if (result != ReadResult::Unreadable || attempt == kReadAttempts) return result;
    PauseMilliseconds(kRetryPauseMs);
  }
}

// The platform reads an integer from the start of the value: optional sign,
// then decimal digits. Only the exact value 1 switches a flag on, so the
// digits need not be read beyond knowing whether they make exactly 1.
int ReadFlag(const IniKeyLine& line, int fallback) {
  if (!line.found) return fallback;
  std::string_view digits = line.value;
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
  const double value = ParseValue(line.value);
  return FormatValue(value).size() > kMaxValueTextLength ? fallback : value;
}

CalcMode ReadMode(const IniKeyLine& line) {
  if (!line.found) return RateModel{}.sCalcMode;
  if (line.value.empty()) return CalcMode::Pay;
  if (line.value.front() == 'C') return CalcMode::Charge;
  if (line.value.front() == 'M') return CalcMode::Margin;
  return CalcMode::Pay;
}

const char* ModeName(CalcMode mode) {
  switch (mode) {
    case CalcMode::Charge:
      return "Charge";
    case CalcMode::Margin:
      return "Margin";
    default:
      return "Pay";
  }
}

// Bytes [begin, end) of the old file give way to `text`.
struct Splice {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
  std::string text;
};

std::string Encoded(const std::string& text, bool utf16) {
  if (!utf16) return text;
  std::string out;
  out.reserve(2 * text.size());
  for (const char c : text) out.append({c, '\0'});
  return out;
}

// Passes `count` bytes of `source` to `target`, or skips them when there
// is no target. False if the file ends early or anything fails.
bool Pass(std::FILE* source, std::FILE* target, std::uint64_t count, std::vector<char>& buffer) {
  while (count > 0) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
    const std::size_t got = std::fread(buffer.data(), 1, want, source);
    if (got != want) return false;
    if (target && std::fwrite(buffer.data(), 1, got, target) != got) return false;
    count -= got;
  }
  return true;
}

// Streams the old file (none when `source` is null) into `target` with the
// splices, which are in file order, made on the way.
bool WriteSpliced(std::FILE* source, std::FILE* target, const std::vector<Splice>& splices) {
  std::vector<char> buffer(kChunk);
  if (source && std::fseek(source, 0, SEEK_SET) != 0) return false;
  std::uint64_t position = 0;
  for (const Splice& splice : splices) {
    if (source && (!Pass(source, target, splice.begin - position, buffer) ||
                   !Pass(source, nullptr, splice.end - splice.begin, buffer))) {
      return false;
    }
    if (std::fwrite(splice.text.data(), 1, splice.text.size(), target) != splice.text.size()) {
      return false;
    }
    position = splice.end;
  }
  std::size_t got = 0;
  while (source && (got = std::fread(buffer.data(), 1, buffer.size(), source)) > 0) {
    if (std::fwrite(buffer.data(), 1, got, target) != got) return false;
  }
  return !(source && std::ferror(source));
}

// What the save changes: each key line of the section rewritten in place,
// keys it lacks added after its last key line, a missing section appended.
// Empty when nothing changes.
std::vector<Splice> PlanSave(const RateModel& model, const IniScan& scan, const Source& source,
                             bool existed) {
  std::vector<std::string> values;
  for (const FlagKey& flag : kFlags) values.push_back(std::to_string(model.*flag.member));
  for (const FigureKey& figure : kFigures) values.push_back(FormatValue(model.*figure.member));
  values.emplace_back(ModeName(model.sCalcMode));

  const std::string eol = scan.crlf ? "\r\n" : "\n";
  std::vector<Splice> splices;
  std::string added;
  bool changed = !existed;
  if (!scan.section_found) {
    if (scan.length > 0 && scan.last_unit != '\n') added += eol;
    added += "[" + std::string(kSection) + "]" + eol;
  } else if (scan.insert_needs_line_end) {
    added += eol;  // the section's last line ends the file without a line end
  }
  const std::size_t bare = added.size();
  std::size_t order[kModeIndex + 1];  // the key lines to rewrite, in file order
  std::size_t rewrites = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    // A text the next load could only read in part is not written at all:
    // the key keeps what the file held rather than a figure cut short.
    if (values[i].size() > kMaxValueTextLength) continue;
    if (!scan.found[i].found) {
      added += scan.keys[i] + "=" + values[i] + eol;
      continue;
    }
    std::size_t at = rewrites++;
    for (; at > 0 && scan.found[order[at - 1]].begin > scan.found[i].begin; --at) {
      order[at] = order[at - 1];
    }
    order[at] = i;
  }
  for (std::size_t n = 0; n < rewrites; ++n) {
    const IniKeyLine& line = scan.found[order[n]];
    // Keep the key as the user spelt it; the rest of the line is the value.
    const std::string text = line.name + "=" + values[order[n]];
    if (!line.text_complete || line.text != text) changed = true;
    splices.push_back(
        {source.ByteOf(line.begin), source.ByteOf(line.end), Encoded(text, source.utf16)});
  }
  if (added.size() > bare) {  // after the last key line, so after every rewrite
    changed = true;
    const std::uint64_t at = source.ByteOf(scan.section_found ? scan.insert_at : scan.length);
    splices.push_back({at, at, Encoded(added, source.utf16)});
  }
  if (!changed) return {};
  return splices;
}

}  // namespace

void LoadSettings(RateModel& model, const std::string& path) {
  const RateModel defaults;
  IniScan scan;
  Source source;
  const ReadResult read = ScanFileWithRetries(path, scan, source);
  if (source.file) std::fclose(source.file);
  SetWithheld(path, read == ReadResult::Unreadable);
  // What could not be read gives defaults, even if part of it was scanned.
  if (read == ReadResult::Unreadable) scan = StartIniScan(kSection, KeyNames());
  for (std::size_t i = 0; i < std::size(kFlags); ++i) {
    model.*kFlags[i].member = ReadFlag(scan.found[i], defaults.*kFlags[i].member);
  }
  for (std::size_t i = 0; i < std::size(kFigures); ++i) {
    model.*kFigures[i].member =
        ReadFigure(scan.found[kFirstFigure + i], defaults.*kFigures[i].member);
  }
  model.sCalcMode = ReadMode(scan.found[kModeIndex]);
}

void SaveSettings(const RateModel& model, const std::string& path) {
  if (IsWithheld(path)) return;
  // Through a symbolic link the content goes to the file it names.
  const std::string target = ResolveLinks(path);
  if (IsReadOnlyFile(target)) return;
  const FileFacts facts = InspectFile(target);
  IniScan scan;
  Source source;
  const ReadResult read = ScanFileWithRetries(target, scan, source);
  if (read == ReadResult::Unreadable) return;  // never replace what could not be read

  const std::vector<Splice> splices = PlanSave(model, scan, source, read == ReadResult::Read);
  if (splices.empty()) {
    if (source.file) std::fclose(source.file);
    RemoveStaleTemporaries(target);
    return;
  }

  // The new content goes to a file beside the old one, to replace it in one
  // step; where no file can be made there, to a scratch file elsewhere, to
  // be written into the old file in place.
  const std::string temporary = TemporaryPathBeside(target);
  std::FILE* staged = CreateTemporary(temporary);
  const bool beside = staged != nullptr;
  if (!staged && facts.exists) staged = CreateScratchFile();
  if (!staged) {
    if (source.file) std::fclose(source.file);
    return;
  }
  bool ok = WriteSpliced(source.file, staged, splices);
  if (source.file) std::fclose(source.file);

  bool replaced = false;
  if (ok && beside && !facts.several_names) {  // replacing would split hard links
    ok = FinishTemporary(staged, temporary, facts);
    staged = nullptr;
    replaced = ok && ReplaceFileAtomically(temporary, target);
  }
  // A file that is held open without delete sharing, or in a folder that
  // is not writable, or with several names, can still be written in place.
  if (ok && !replaced && facts.exists) {
    if (!staged) staged = std::fopen(temporary.c_str(), "rb");
    if (staged) OverwriteInPlace(staged, target);
  }
  if (staged) std::fclose(staged);
  if (beside && !replaced) std::remove(temporary.c_str());
  RemoveStaleTemporaries(target);
}

}  // namespace ratecalc
