// The calculator's figures, switches and mode between runs, in section
// "RateCalc" of an initialisation file that users may also edit by hand.
#pragma once

#include <string>

#include "rate_model.h"

namespace ratecalc {

inline constexpr const char* kSettingsPath = "./KOVRateCalc.ini";

// Sets every field of the model: from the file where it has the key, from
// the model's defaults where it does not. Never fails; a missing,
// unreadable or malformed file simply gives the defaults.
void LoadSettings(RateModel& model, const std::string& path = kSettingsPath);

// Writes the nine keys, keeping everything else in the file as it was. The
// new content replaces the old file in one step, so a crash or a full disk
// leaves the old file whole. A save that cannot be done changes nothing and
// reports nothing. A figure whose text is longer than the 79 characters a
// load reads (from about 1e76 up) is not written; its key keeps what the
// file held. Non-finite figures are written as "inf", "-inf" or "nan",
// which load as 0.
void SaveSettings(const RateModel& model, const std::string& path = kSettingsPath);

}  // namespace ratecalc
