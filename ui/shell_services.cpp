#include "shell_services.h"

#include <shellapi.h>

#include <cstdio>

namespace ratecalc {

DebugLineFunction DebugLineOutput = OutputDebugStringA;
ShellExecuteFunction ShellExecuteCall = ShellExecuteA;

void WriteNotificationCodeLine(int notification_code) {
  char line[32];
  std::snprintf(line, sizeof line, "NC: %d\n", notification_code);
  DebugLineOutput(line);
}

void OpenHelpFile(HWND parent) {
  ShellExecuteCall(parent, "Open", "KOVRateCalc.chm", "", "", SW_SHOWNORMAL);
}

}  // namespace ratecalc
