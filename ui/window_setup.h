// What both windows do when they open.
#pragma once

#include <windows.h>

namespace ratecalc {

// Keeps the window above ordinary windows.
void MakeTopmost(HWND window);

// Small and then large icon, both the group's standard 32 x 32 image.
void SetWindowIcons(HWND window);

}  // namespace ratecalc
