// The entry point: load the figures, run the main window until it and the
// About window are closed, save the figures.
#include <windows.h>

#include "app_state.h"
#include "main_dialog.h"
#include "resource.h"
#include "settings_file.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace ratecalc;
  Instance = instance;
  LoadSettings(Model);
  FaceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
  DeleteObject(FaceBrush);
  SaveSettings(Model);
  return 0;
}
