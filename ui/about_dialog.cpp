#include "about_dialog.h"

#include "window_setup.h"

namespace ratecalc {
namespace {

INT_PTR OnInitDialog(HWND window) {
  MakeTopmost(window);
  SetWindowIcons(window);
  return 1;
}

INT_PTR OnClose(HWND window) {
  DestroyWindow(window);
  PostQuitMessage(0);
  return 1;
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(window);
    case WM_CLOSE:
      return OnClose(window);
    default:
      return 0;
  }
}

}  // namespace ratecalc
