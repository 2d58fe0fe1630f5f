#include "window_looks.h"

namespace ratecalc {
namespace {

QColor ColourOf(const Paint& paint, const QPalette& palette, QPalette::ColorGroup group) {
  if (!paint.is_system) return QColor(paint.red, paint.green, paint.blue);
  switch (paint.system) {
    case SystemColour::kWindow:
      return palette.color(group, QPalette::Base);
    case SystemColour::kWindowText:
      return palette.color(group, QPalette::Text);
    case SystemColour::kButtonFace:
      return palette.color(group, QPalette::Button);
    case SystemColour::kButtonShadow:
      return palette.color(group, QPalette::Dark);
  }
  return {};
}

}  // namespace

QPalette Painted(QPalette palette, const Look& look, QPalette::ColorRole text_role,
                 QPalette::ColorRole background_role) {
  const QPalette desktop = palette;
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, text_role, ColourOf(look.text, desktop, group));
    palette.setColor(group, background_role, ColourOf(look.background, desktop, group));
  }
  return palette;
}

}  // namespace ratecalc
