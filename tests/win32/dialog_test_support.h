// Driving a dialog as the dialog manager would: keys go through
// IsDialogMessageA, clicks through BM_CLICK, and pending messages are pumped.
#pragma once

#include <windows.h>

#include <string>

namespace ratecalc::testing {

inline void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the caller to see
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// A key pressed and released where the keyboard focus is.
inline void PressKey(HWND dialog, WPARAM key) {
  const HWND target = GetFocus() ? GetFocus() : dialog;
  MSG down{target, WM_KEYDOWN, key, 1, 0, {0, 0}};
  if (!IsDialogMessageA(dialog, &down)) {
    TranslateMessage(&down);
    DispatchMessageA(&down);
  }
  MSG up{target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001), 0, {0, 0}};
  if (!IsDialogMessageA(dialog, &up)) DispatchMessageA(&up);
  PumpMessages();
}

inline std::string TextOf(HWND control) {
  char text[512];
  GetWindowTextA(control, text, sizeof text);
  return text;
}

inline bool HasStyle(HWND window, LONG style) {
  return (GetWindowLongA(window, GWL_STYLE) & style) != 0;
}

// Whether a WM_QUIT is waiting in this thread's queue; takes it out.
inline bool TakeQuitMessage() {
  MSG msg;
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

}  // namespace ratecalc::testing
