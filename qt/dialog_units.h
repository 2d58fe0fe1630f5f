// The dialog templates' sizes are in dialog units: a quarter of the font's
// average character width across, an eighth of its height down. Converting
// with the window's own font keeps the template's proportions.
#pragma once

#include <QFont>
#include <QRect>

#include "window_template.h"

namespace ratecalc {

// The font's average character width and height, in pixels.
struct DialogUnits {
  int char_width;
  int char_height;
};

DialogUnits DialogUnitsOf(const QFont& font);

// The average character width from the width of the 52 Latin letters
// together, rounded the way the dialog manager rounds it: half of the
// width of two letters, rounded half up.
int AverageCharWidth(int letters_width);
QRect ToPixels(const DialogUnits& units, const DialogBox& box);

}  // namespace ratecalc
