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
