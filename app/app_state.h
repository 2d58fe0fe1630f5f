// The process-wide state: created by the entry point before any window and
// kept until after the last one is gone. The windows use it; they do not
// own it.
#pragma once

#include <windows.h>

#include "rate_model.h"

namespace ratecalc {

extern HINSTANCE Instance;  // loads the dialog templates and the icon
extern RateModel Model;
extern HBRUSH FaceBrush;  // the background of derived fields

}  // namespace ratecalc
