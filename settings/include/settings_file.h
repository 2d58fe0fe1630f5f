// The calculator's figures, switches and mode between runs, in section
// "RateCalc" of an initialisation file that users may also edit by hand.
#pragma once

#include <string_view>

#include "rate_model.h"

namespace ratecalc {

inline constexpr const char* kSettingsPath = "./KOVRateCalc.ini";

// Sets every field of the model: from the file where it has the key, from
// the model's defaults where it does not. Never fails: a missing, malformed
// or unreadable file, or a figure too long for a field
// (kMaxValueTextLength), gives the defaults. A file that exists but cannot
// be read is not saved to by this process until a later load reads it. A
// save that was killed while writing the file in place is finished first.
void LoadSettings(RateModel& model, std::string_view path = kSettingsPath);

// Writes the nine keys, keeping every other byte of the file, its encoding
// and its line end. A crash, a kill or a full disk leaves the old file or
// the new one; how is written once in settings/in_place_save.h. A save that
// cannot be done changes nothing and reports nothing. A figure too long for
// a load to read is not written: its key keeps what the load saw.
void SaveSettings(const RateModel& model, std::string_view path = kSettingsPath);

}  // namespace ratecalc
