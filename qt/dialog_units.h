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
QRect ToPixels(const DialogUnits& units, const DialogBox& box);

}  // namespace ratecalc
