// The calculator's figures, switches and mode between runs, in section
// "RateCalc" of an initialisation file that users may also edit by hand.
#pragma once

#include <string_view>

#include "rate_model.h"

namespace ratecalc {

inline constexpr const char* kSettingsPath = "./KOVRateCalc.ini";

// Sets every field of the model: from the file where it has the key, from
// the model's defaults where it does not. Never fails; a missing or
// malformed file simply gives the defaults, and so does a figure whose text
// would be longer than a field holds (kMaxValueTextLength). A file that
// exists but cannot be read (after retrying for kBusyRetryMs, as when
// another program holds it open), or that is no regular file (a FIFO, a
// device, a folder), gives the defaults too, and then no save of this
// process goes to `path` until a later load reads it: the figures it holds
// are never lost to defaults. Lines end at CR LF, LF or a lone CR. Reads
// only as far as the section goes, with memory independent of the file's
// size. UTF-16 text, little- or big-endian, with a byte-order mark or
// without one (then known by its first line), reads like 8-bit text. A save
// that was killed while writing the file in place is finished first.
void LoadSettings(RateModel& model, std::string_view path = kSettingsPath);

// Writes the nine keys, keeping every other byte of the file as it was, in
// its own encoding and with its own line end (CR LF for a new file). The
// new content replaces the old file in one step, so a crash or a full disk
// leaves the old file whole. A file that cannot be replaced (held open
// without delete sharing, in a folder that is not writable, with several
// hard links, or owned by another user whose file this one could not give
// back) is written in place instead: locked from the scan to the last
// byte, only from the first byte that changes, after room for it is taken
// from the disk, and after a redo record of the whole new content (where
// the folder is writable), so that a crash there is finished by the next
// load or save. Through a symbolic link the link stays and the file it
// names gets the content; permissions, owner and attributes stay as they
// were. Temporary files that killed saves left beside the file are
// removed. A save that cannot be done changes nothing and reports nothing.
// Memory stays small whatever the file. A figure whose text is longer than
// a load reads (kMaxValueTextLength) is not written; its key keeps what the
// file held. Non-finite figures are written as "inf", "-inf" or "nan",
// which load as 0.
void SaveSettings(const RateModel& model, std::string_view path = kSettingsPath);

}  // namespace ratecalc
