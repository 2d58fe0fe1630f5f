// Holds a file open the way other programs do (a backup or sync tool, a
// virus scanner, an editor) while the calculator runs, for the end-to-end
// tests. Prints "held" once the file is open, then keeps it open until the
// time is up.
// Usage: hold_file PATH none|readwrite SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hold_file PATH none|readwrite SECONDS\n");
    return 2;
  }
  const DWORD share = std::strcmp(argv[2], "none") == 0 ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(std::atoi(argv[3])) * 1000);
  CloseHandle(file);
  return 0;
}
