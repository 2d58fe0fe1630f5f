// Asks every visible window with the given title to close, all in one
// moment, as the end-to-end tests need for two copies of the program.
// Prints how many it asked; fails when there were none.
// Usage: close_windows TITLE
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char* g_title = "";
int g_asked = 0;

BOOL CALLBACK AskToClose(HWND window, LPARAM) {
  char title[256];
  if (IsWindowVisible(window) && GetWindowTextA(window, title, sizeof title) > 0 &&
      std::strcmp(title, g_title) == 0) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    ++g_asked;
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: close_windows TITLE\n");
    return 2;
  }
  g_title = argv[1];
  EnumWindows(AskToClose, 0);
  std::printf("%d\n", g_asked);
  return g_asked > 0 ? 0 : 1;
}
