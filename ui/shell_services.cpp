#include "shell_services.h"

namespace ratecalc {
namespace {

// shell32 is loaded on the first F1 rather than imported: loading it at
// start-up drags several more libraries into every start of the program.
HINSTANCE WINAPI ShellExecuteOnDemand(HWND parent, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                      LPCSTR directory, INT show) {
  static ShellExecuteFunction shell_execute = nullptr;
  if (!shell_execute) {
    if (HMODULE shell = LoadLibraryA("shell32.dll")) {
      // Through void(*)() so that the compiler accepts the cast.
      shell_execute = reinterpret_cast<ShellExecuteFunction>(
          reinterpret_cast<void (*)()>(GetProcAddress(shell, "ShellExecuteA")));
    }
  }
  return shell_execute ? shell_execute(parent, verb, file, parameters, directory, show) : nullptr;
}

}  // namespace

DebugLineFunction g_debug_line_output = OutputDebugStringA;
ShellExecuteFunction g_shell_execute = ShellExecuteOnDemand;

void WriteNotificationCodeLine(int notification_code) {
  char line[32];  // wsprintfA writes at most 1024; "NC: -2147483648\n" needs 17
  wsprintfA(line, "NC: %d\n", notification_code);
  g_debug_line_output(line);
}

void OpenHelpFile(HWND parent) {
  g_shell_execute(parent, "Open", RATECALC_HELP_FILE_NAME, "", "", SW_SHOWNORMAL);
}

}  // namespace ratecalc
