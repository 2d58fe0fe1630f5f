// Saving the figures on Linux, where the settings live in a folder of their
// own that may not exist yet, and telling the user when that failed.
#pragma once

#include <QString>
#include <string>

#include "rate_model.h"
#include "settings_file.h"

namespace ratecalc {

// Makes the settings file's folder if it is missing, then saves.
SaveOutcome SaveFigures(const RateModel& model, const std::string& path);

// What the user reads when a save failed: the file and the reason.
QString SaveFailureMessage(const SaveOutcome& outcome);

// Says, in a message box, that the figures could not be saved.
void TellSaveFailure(const SaveOutcome& outcome);

}  // namespace ratecalc
