// The two effects that leave the window: the debug line and opening the help
// file. Each goes through a replaceable function so that tests can watch it.
#pragma once

#include <windows.h>

namespace ratecalc {

using DebugLineFunction = void(WINAPI*)(LPCSTR text);
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND parent, LPCSTR verb, LPCSTR file,
                                                LPCSTR parameters, LPCSTR directory, INT show);

extern DebugLineFunction g_debug_line_output;  // OutputDebugStringA
extern ShellExecuteFunction g_shell_execute;   // ShellExecuteA, loaded on first use

// Writes "NC: <code>\n", the program's one diagnostic line.
void WriteNotificationCodeLine(int notification_code);

// Opens the help file (RATECALC_HELP_FILE_NAME in the top CMakeLists.txt)
// from the current folder with its default viewer.
void OpenHelpFile(HWND parent);

}  // namespace ratecalc
