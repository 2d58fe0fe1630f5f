// The template's looks as Qt palettes.
#pragma once

#include <QPalette>

#include "window_template.h"

namespace ratecalc {

// `palette` with the look's text and background colours in the given roles,
// the desktop's own colours standing for the system ones.
QPalette Painted(QPalette palette, const Look& look, QPalette::ColorRole text_role,
                 QPalette::ColorRole background_role);

}  // namespace ratecalc
