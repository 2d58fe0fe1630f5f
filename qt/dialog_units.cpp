#include "dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace ratecalc {
namespace {

// Rounded to nearest, as the dialog manager rounds its conversions.
int Scale(int units, int numerator, int denominator) {
  return (units * numerator + denominator / 2) / denominator;
}

}  // namespace

// The average character width is measured the way the dialog manager
// measures it: over the 52 Latin letters, rounded.
DialogUnits DialogUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect ToPixels(const DialogUnits& units, const DialogBox& rect) {
  return {Scale(rect.x, units.char_width, 4), Scale(rect.y, units.char_height, 8),
          Scale(rect.width, units.char_width, 4), Scale(rect.height, units.char_height, 8)};
}

}  // namespace ratecalc
