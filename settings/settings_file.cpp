// LoadSettings and SaveSettings: the steps of the save protocol that
// in_place_save.h describes, chosen for the file at hand.
#include "settings_file.h"

#include <algorithm>
#include <cstdint>

#include "file_access.h"
#include "in_place_save.h"
#include "redo_record.h"
#include "save_plan.h"

namespace ratecalc {
namespace {

// The paths whose file existed but could not be read at the last load: a
// save there would replace figures this run never saw. Held as hashes of
// the path, so that no memory is allocated; a program has one such path,
// a test a few. Loads run before any save, on one thread.
constexpr std::size_t kWithheldSlots = 16;
std::uint64_t g_withheld[kWithheldSlots];
std::size_t g_withheld_count = 0;

std::uint64_t PathHash(const FilePath& path) {
  Hash64 hash;
  hash.Add(path.chars, path.length);
  return hash.value;
}

void SetWithheld(const FilePath& path, bool withheld) {
  const std::uint64_t hash = PathHash(path);
  const std::uint64_t* kept_end = std::remove(g_withheld, g_withheld + g_withheld_count, hash);
  g_withheld_count = static_cast<std::size_t>(kept_end - g_withheld);
  if (!withheld) return;
  if (g_withheld_count == kWithheldSlots) {  // the oldest gives way
    std::copy(g_withheld + 1, g_withheld + kWithheldSlots, g_withheld);
    --g_withheld_count;
  }
  g_withheld[g_withheld_count++] = hash;
}

bool IsWithheld(const FilePath& path) {
  std::uint64_t* const end = g_withheld + g_withheld_count;
  return std::find(g_withheld, end, PathHash(path)) != end;
}

// A file another program holds for a moment is tried again; what is no
// regular file will not change, and gives its answer at once.
ReadResult ScanPathWithRetries(const FilePath& path, ScannedFile& file) {
  ReadResult result = ReadResult::Unreadable;
  RetryWhileBusy([&] { return (result = ScanPath(path, file)) != ReadResult::Unreadable; });
  return result;
}

enum class Replaced { Done, NeedsInPlace, Abandoned };

// Steps R1 to R3.
Replaced SaveByReplacing(const RateModel& model, const FilePath& target, const FileFacts& facts) {
  ScannedFile file;
  const ReadResult read = ScanPathWithRetries(target, file);
  if (read != ReadResult::Read && read != ReadResult::Missing) return Replaced::Abandoned;
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

LoadOutcome LoadSettings(RateModel& model, std::string_view path_text) {
  FilePath path;
  FilePath target;
  ScannedFile file;
  ReadResult read = ReadResult::Unreadable;
  if (PathFromCaller(path_text, path)) {
    if (ResolveLinks(path, target)) {
      FinishInterruptedSave(target);
      read = ScanPathWithRetries(target, file);
    }
    SetWithheld(path, read == ReadResult::Unreadable || read == ReadResult::NotRegular);
  }
  // What could not be read gives defaults, even if part of it was scanned.
  ModelFromScan(read == ReadResult::Read ? file.Loaded() : StartSettingsScan(), model);
  CloseSource(file);
  if (read == ReadResult::Read) return LoadOutcome::kRead;
  return read == ReadResult::Missing ? LoadOutcome::kMissing : LoadOutcome::kUnreadable;
}

std::string_view SaveFailureText(SaveFailure failure) {
  switch (failure) {
    case SaveFailure::kNone:
      return "saved";
    case SaveFailure::kNoPath:
      return "no settings file is named";
    case SaveFailure::kNotReadAtLoad:
      return "the file could not be read when the program started";
    case SaveFailure::kNotAFile:
      return "it is not a regular file";
    case SaveFailure::kTooLarge:
      return "the file is too large to be a settings file";
    case SaveFailure::kNotWritable:
      return "the file or its folder cannot be written";
    case SaveFailure::kNoRecordPlace:
      return "no safe place for its redo record could be written";
    case SaveFailure::kWriteFailed:
      return "writing it failed (the disk may be full)";
  }
  return "unknown";
}

SaveOutcome SaveSettings(const RateModel& model, std::string_view path_text) {
  SaveOutcome outcome;
  outcome.path = path_text;
  FilePath path;
  FilePath target;
  if (!PathFromCaller(path_text, path)) {
    outcome.failure = SaveFailure::kNoPath;
    return outcome;
  }
  if (IsWithheld(path)) {
    outcome.failure = SaveFailure::kNotReadAtLoad;
    return outcome;
  }
  // Through a symbolic link the content goes to the file it names.
  if (!ResolveLinks(path, target) || IsReadOnlyFile(target)) {
    outcome.failure = SaveFailure::kNotWritable;
    return outcome;
  }
  const FileFacts facts = InspectFile(target);
  if (facts.exists && !facts.regular) {  // a FIFO, device or folder holds no settings
    outcome.failure = SaveFailure::kNotAFile;
    return outcome;
  }
  FinishInterruptedSave(target);
  // Replacing would split hard links, or give the file this user as its
  // owner; such a file, and one that cannot be replaced, is written in place
  // (a file that does not exist yet has nothing to write into).
  const Replaced replaced = facts.several_names || facts.foreign_owner
                                ? Replaced::NeedsInPlace
                                : SaveByReplacing(model, target, facts);
  if (replaced == Replaced::Abandoned) outcome.failure = SaveFailure::kWriteFailed;
  if (replaced == Replaced::NeedsInPlace) {
    if (facts.exists) {
      SaveInPlace(model, target);
    } else {
      outcome.failure = SaveFailure::kNotWritable;
    }
  }
  RemoveStaleTemporaries(target);
  for (int place = 0; place < kRecordPlaces; ++place) {
    FilePath record;
    if (RecordPath(target, place, record)) RemoveStaleTemporaries(record);
  }
  return outcome;
}

}  // namespace ratecalc
