// The calculator window: six figures, two on-cost switches, three mode
// buttons and Calc, brought to life on the process's RateModel.
#pragma once

#include <windows.h>

namespace ratecalc {

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Copies the six field texts (79 characters of each at most) into the model.
void ReadInputs();

// Makes every control show the model: switches, mode, figures, and which
// fields are read-only.
void RefreshDisplay();

// Sets the colours a field is drawn in and returns its background brush:
// black on white for a field the user types in, blue on the button face for
// a derived one.
HBRUSH PickFieldColours(HDC dc, bool input_look);

}  // namespace ratecalc
