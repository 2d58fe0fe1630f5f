// The calculator window: six figures, two on-cost switches, three mode
// buttons and Calc, brought to life on the process's RateModel.
#pragma once

#include <windows.h>

namespace ratecalc {

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace ratecalc
