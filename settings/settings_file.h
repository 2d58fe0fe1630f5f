// The calculator's figures, switches and mode between runs, in section
// "RateCalc" of an initialisation file that users may also edit by hand.
#pragma once

#include <string>

#include "rate_model.h"

namespace ratecalc {

inline constexpr const char* kSettingsPath = "./KOVRateCalc.ini";

// Sets every field of the model: from the file where it has the key, from
// the model's defaults where it does not. Never fails; a missing or
// malformed file simply gives the defaults, and so does a figure whose text
// would be longer than a field holds. A file that exists but cannot be read
// (after retrying for about a second, as when another program holds it
// open) gives the defaults too, and then no save of this process goes to
// `path` until a later load reads it: the figures it holds are never lost
// to defaults. Reads only as far as the section goes, with memory
// independent of the file's size. UTF-16LE text with a byte-order mark
// reads like 8-bit text.
void LoadSettings(RateModel& model, const std::string& path = kSettingsPath);

// Writes the nine keys, keeping every other byte of the file as it was, in
// its own encoding (8-bit, or UTF-16LE with a byte-order mark). The new
// content replaces the old file in one step, so a crash or a full disk
// leaves the old file whole; where the file can be written but not replaced
// (held open without delete sharing, a folder that is not writable, several
// hard links) it is written in place instead. Through a symbolic link the
// link stays and the file it names gets the content; permissions, owner and
// attributes stay as they were. Temporary files that killed saves left
// beside the file are removed. A save that cannot be done changes nothing
// and reports nothing. Memory stays small whatever the file. A figure whose text
// is longer than the 79 characters a load reads (from about 1e76 up) is not
// written; its key keeps what the file held. Non-finite figures are written
// as "inf", "-inf" or "nan", which load as 0.
void SaveSettings(const RateModel& model, const std::string& path = kSettingsPath);

}  // namespace ratecalc
