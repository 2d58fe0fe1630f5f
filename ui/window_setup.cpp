#include "window_setup.h"

#include "process_state.h"
#include "resource.h"

namespace ratecalc {

void MakeTopmost(HWND window) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
}

void SetWindowIcons(HWND window) {
  SendMessageA(window, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_APP))));
  SendMessageA(window, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_APP))));
}

}  // namespace ratecalc
