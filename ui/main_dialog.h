// The calculator window: six figures, two on-cost switches, three mode
// buttons and Calc, brought to life on the process's RateModel.
#pragma once

#include <windows.h>

#include "resource.h"

namespace ratecalc {

// The field of each figure, in the order of kFigures.
inline constexpr int kFieldIds[] = {IDC_PAY_AMT,  IDC_CHARGE_AMT, IDC_WTR_PCT,
                                    IDC_ERNI_PCT, IDC_MARGIN_AMT, IDC_MARGIN_PCT};

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace ratecalc
