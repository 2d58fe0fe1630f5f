#include "shell_services.h"

#include <shellapi.h>

namespace ratecalc {

DebugLineFunction DebugLineOutput = OutputDebugStringA;
ShellExecuteFunction ShellExecuteCall = ShellExecuteA;

void WriteNotificationCodeLine(int notification_code) {
  char line[32];  // wsprintfA writes at most 1024; "NC: -2147483648\n" needs 17
  wsprintfA(line, "NC: %d\n", notification_code);
  DebugLineOutput(line);
}

void OpenHelpFile(HWND parent) {
  ShellExecuteCall(parent, "Open", "KOVRateCalc.chm", "", "", SW_SHOWNORMAL);
}

}  // namespace ratecalc
