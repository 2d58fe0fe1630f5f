// The smallest dialog program the toolchain builds: the yardstick for the
// calculator's start-up time (bench/startup.sh). Built twice: with a
// one-button template, and with the calculator's own main window template
// and nothing behind it, which shows what the layout itself costs.
#include <windows.h>

#ifdef SHOW_MAIN_TEMPLATE
#include "resource.h"
#define TEMPLATE_ID IDD_MAIN
#else
#define TEMPLATE_ID 1
#endif

static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) EndDialog(window, 0);
  return message == WM_INITDIALOG || message == WM_CLOSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return static_cast<int>(
      DialogBoxParamA(instance, MAKEINTRESOURCEA(TEMPLATE_ID), nullptr, Proc, 0));
}
