// The calculator's figures, switches and mode between runs, in section
// "RateCalc" of an initialisation file that users may also edit by hand.
#pragma once

#include <string_view>

#include "rate_model.h"
#include "settings_text.h"

namespace ratecalc {

inline constexpr const char* kSettingsPath = "./KOVRateCalc.ini";

// Sets every field: from the file's key, else the default (a missing,
// malformed or unreadable file, one over kMaxSettingsBytes, unread, or a
// figure too long for a field). A file that cannot be read is not saved to
// until a later load reads it. A killed in-place save is finished first.
LoadOutcome LoadSettings(RateModel& model, std::string_view path = kSettingsPath);

// Why a save left the file as it was.
enum class SaveFailure {
  kNone,           // saved, or nothing to change
  kNoPath,         // the path names no file
  kNotReadAtLoad,  // the file could not be read at the load: its figures were never seen
  kNotAFile,       // a folder, FIFO or device stands at the path
  kTooLarge,       // the file is too large to be a settings file
  kNotWritable,    // the file or its folder cannot be written
  kBusy,           // another program kept the file locked beyond the retries
  kNoRecordPlace,  // an in-place write needs a redo record, and none could be written
  kWriteFailed,    // a write failed (a full disk): the old file stands, or its record stays
  kForeignLink,    // a link another user may have made, in a folder others may write
};

struct SaveOutcome {
  SaveFailure failure = SaveFailure::kNone;
  // The caller's text: the program holds no std::string, which can throw.
  std::string_view path;
  bool saved() const { return failure == SaveFailure::kNone; }
};

// The reason in words a user reads, for a front end that tells it.
std::string_view SaveFailureText(SaveFailure failure);

// Writes the nine keys, keeping every other byte, the encoding and line
// end. A crash, kill or full disk leaves the old file or the new
// (settings/in_place_save.h); a save not done changes nothing and says why.
// A figure too long for a load to read keeps what the load saw.
SaveOutcome SaveSettings(const RateModel& model, std::string_view path = kSettingsPath);

}  // namespace ratecalc
