#pragma once

#include <windows.h>

namespace ratecalc {

// The About window: the picture and the notice line. It has no buttons;
// closing it ends its modal run and posts the quit message.
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace ratecalc
