// The figures a page keeps in the browser between visits, one text per
// settings key, in the settings file's own forms. Browser storage is shared
// with other pages and may be edited by hand: a kept text is read as the
// desktop programs read the same text from their file, so a figure comes
// back as it would on the desktop, never as an error.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "model_keys.h"
#include "rate_model.h"

namespace ratecalc {

struct StoredFigure {
  const char* key;
  std::string text;
};

// The two switches, the six figures and the mode, in the settings file's
// order: "0" or "1", two-decimal figures, "Pay", "Charge" or "Margin".
std::array<StoredFigure, kKeyCount> StoredFiguresOf(const RateModel& model);

// Sets the figure `key` names from its kept text as a settings file's line
// `key=text` reads (up to the text's first line end), or to its default when
// the text is null (none kept). An unknown key changes nothing.
void RestoreFigure(RateModel& model, std::string_view key, const char* text);

}  // namespace ratecalc
