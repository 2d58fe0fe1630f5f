// The process-wide state the windows stand on. The entry point fills it
// before the first window opens and tears it down after the last one is
// gone; the windows use it but never create or free it.
#pragma once

#include <windows.h>

#include "rate_model.h"

namespace ratecalc {

extern HINSTANCE g_instance;  // loads the dialog templates and the icon
extern RateModel g_model;
extern HBRUSH g_face_brush;  // FaceBrush: the background of derived fields

}  // namespace ratecalc
