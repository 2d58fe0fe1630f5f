// The calculator's figures, switches and mode between runs, in section
// "RateCalc" of an initialisation file that users may also edit by hand.
#pragma once

#include <string_view>

#include "rate_model.h"
#include "settings_text.h"

namespace ratecalc {

inline constexpr const char* kSettingsPath = "./KOVRateCalc.ini";

// Sets every field of the model: from the file where it has the key, from
// the model's defaults where it does not. Never fails: a missing, malformed
// or unreadable file, one over kMaxSettingsBytes (not read at all), or a
// figure too long for a field (kMaxValueTextLength), gives the defaults. A
// file that exists but cannot be read is not saved to by this process until
// a later load reads it. A save that was killed while writing the file in
// place is finished first.
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
  kWriteFailed,    // a write failed (a full disk, say): the old file stands, or its record
                   // finishes the new one at the next load
};

struct SaveOutcome {
  SaveFailure failure = SaveFailure::kNone;
  // The path as the caller gave it: a view of the caller's text, since the
  // program holds no std::string (a string that can throw would bring the
  // C++ library's exception machinery into it).
  std::string_view path;
  bool saved() const { return failure == SaveFailure::kNone; }
};

// The reason in words a user reads, for a front end that tells it.
std::string_view SaveFailureText(SaveFailure failure);

// Writes the nine keys, keeping every other byte of the file, its encoding
// and its line end. A crash, a kill or a full disk leaves the old file or
// the new one; how is written once in settings/in_place_save.h. A save that
// cannot be done changes nothing and says why. A figure too long for a load
// to read is not written: its key keeps what the load saw.
SaveOutcome SaveSettings(const RateModel& model, std::string_view path = kSettingsPath);

}  // namespace ratecalc
