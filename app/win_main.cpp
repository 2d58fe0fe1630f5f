// The entry point: load the figures, run the main window until it and the
// About window are closed, save the figures.
#include <windows.h>

#include "main_dialog.h"
#include "process_state.h"
#include "resource.h"
#include "settings_file.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace ratecalc;
  g_instance = instance;
  LoadSettings(g_model);
  g_face_brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
  DeleteObject(g_face_brush);
  SaveSettings(g_model);
  return 0;
}
