// LoadSettings and SaveSettings: the steps of in_place_save.h for the file.
#include "settings_file.h"

#include "file_access.h"
#include "in_place_save.h"

namespace ratecalc {
namespace {

// The path unreadable at the last load: a save would replace unseen figures.
std::uint64_t g_withheld_path = 0;

// Steps F1 to F3, then R1 to R3, or P1 to P6 for a file that cannot be replaced.
SaveFailure Save(const RateModel& model, const FilePath& target, const FileFacts& facts) {
  if (!FinishInterruptedSave(target)) return SaveFailure::kBusy;  // the file may be torn
  if (facts.in_place) return SaveInPlace(model, target);
  HeapBytes old_content, new_content;
  FileHandle file = kNoFile;
  const OpenResult opened = OpenLocked(target, false, file);
  if (opened != OpenResult::kOpened && opened != OpenResult::kMissing) return OpenFailure(opened);
  const SaveFailure made = ReadAndChange(file, model, old_content, new_content);
  if (file != kNoFile) CloseFile(file);
  if (made != SaveFailure::kNone ||
      (opened == OpenResult::kOpened && new_content.View() == old_content.View())) {
    return made;
  }
  FilePath temporary, name;
  FileHandle staged = kNoFile;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (!name.Assign(target.View()) || !name.Append("~kovtmp") ||
        !name.AppendHex(static_cast<std::uint64_t>(slot))) {
      break;
    }
    RemoveAbandoned(name);  // a killed save's
    if (staged == kNoFile && (staged = CreateHeld(name)) != kNoFile) temporary = name;
  }
  const std::string_view bytes = new_content.View();
  const bool written = staged != kNoFile && WriteAt(staged, bytes.data(), bytes.size(), 0);
  if (staged != kNoFile && !written) CloseFile(staged);
  const bool replaced = written && ReplaceWith(staged, temporary, target, facts);
  if (staged != kNoFile && !replaced) RemoveAbandoned(temporary);
  if (staged != kNoFile && !written) return SaveFailure::kWriteFailed;
  if (replaced) return SaveFailure::kNone;
  // A file that does not exist yet has nothing to write into.
  return facts.exists ? SaveInPlace(model, target) : SaveFailure::kNotWritable;
}

}  // namespace

LoadOutcome LoadSettings(RateModel& model, std::string_view path_text) {
  FilePath path, target;
  HeapBytes content;
  LoadOutcome outcome = LoadOutcome::kUnreadable;
  if (PathFromCaller(path_text, path) && ResolveLinks(path, target) &&
      FinishInterruptedSave(target)) {
    FileHandle file = kNoFile;
    const OpenResult opened = OpenLocked(target, false, file);
    if (opened == OpenResult::kMissing) outcome = LoadOutcome::kMissing;
    if (opened == OpenResult::kOpened) {
      outcome = ReadWhole(file, content);
      CloseFile(file);
    }
  }
  const std::uint64_t path_hash = Hash(path_text);
  if (outcome == LoadOutcome::kUnreadable) g_withheld_path = path_hash;
  if (outcome != LoadOutcome::kUnreadable && g_withheld_path == path_hash) g_withheld_path = 0;
  ModelFromSettingsText(outcome == LoadOutcome::kRead ? content.View() : std::string_view(), model);
  return outcome;
}

std::string_view SaveFailureText(SaveFailure failure) {
  // In the order of SaveFailure.
  constexpr std::string_view kTexts[] = {"saved",
                                         "no settings file is named",
                                         "the file could not be read when the program started",
                                         "it is not a regular file",
                                         "the file is too large to be a settings file",
                                         "the file or its folder cannot be written",
                                         "another program kept the file locked",
                                         "no safe place for its redo record could be written",
                                         "writing it failed (the disk may be full)",
                                         "it is a link another user may have made"};
  const auto index = static_cast<std::size_t>(failure);
  return index < std::size(kTexts) ? kTexts[index] : "unknown";
}

SaveOutcome SaveSettings(const RateModel& model, std::string_view path_text) {
  SaveOutcome outcome{SaveFailure::kNone, path_text};
  FilePath path, target;
  FileFacts facts;
  if (!PathFromCaller(path_text, path)) {
    outcome.failure = SaveFailure::kNoPath;
  } else if (!ResolveLinks(path, target)) {  // through a link the content goes to its file
    outcome.failure = SaveFailure::kForeignLink;
  } else if (g_withheld_path != 0 && Hash(path_text) == g_withheld_path) {
    outcome.failure = SaveFailure::kNotReadAtLoad;
  } else if (facts = InspectFile(target); facts.exists && !facts.regular) {
    outcome.failure = SaveFailure::kNotAFile;
  } else if (facts.read_only) {
    outcome.failure = SaveFailure::kNotWritable;
  } else {
    outcome.failure = Save(model, target, facts);
  }
  return outcome;
}

}  // namespace ratecalc
