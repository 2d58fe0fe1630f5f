// Times program start-up from inside Windows (or Wine): from CreateProcess
// to the program's window being visible, polled every millisecond, for two
// programs in turn; and takes each one's peak working set at that moment.
// Each run is then closed as a user would close it.
// Usage: launch_timer RUNS PROGRAM1 CAPTION1 PROGRAM2 CAPTION2
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "median.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

HWND VisibleWindow(const char* caption) {
  const HWND window = FindWindowA(nullptr, caption);
  return window && IsWindowVisible(window) ? window : nullptr;
}

struct Start {
  double milliseconds;  // negative if the window never showed
  double peak_megabytes;
};

Start TimeOneStart(char* program, const char* caption) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  LARGE_INTEGER start, shown;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, program, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return {-1, 0};
  }
  HWND window = nullptr;
  for (int i = 0; i < 20000 && !(window = VisibleWindow(caption)); ++i) Sleep(1);
  QueryPerformanceCounter(&shown);
  PROCESS_MEMORY_COUNTERS memory{};
  GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
  // Close it, and the calculator's About window after it.
  for (int i = 0; i < 200 && WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT; ++i) {
    if (HWND w = FindWindowA(nullptr, caption)) PostMessageA(w, WM_CLOSE, 0, 0);
    if (HWND about = FindWindowA(nullptr, "About KOV Rate Calculator")) {
      PostMessageA(about, WM_CLOSE, 0, 0);
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return {window ? Milliseconds(start, shown) : -1,
          static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0)};
}

const char* FileName(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: launch_timer RUNS PROGRAM1 CAPTION1 PROGRAM2 CAPTION2\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  std::vector<double> first, second, first_memory, second_memory;
  TimeOneStart(argv[2], argv[3]);  // warm-up, not counted
  TimeOneStart(argv[4], argv[5]);
  for (int i = 0; i < runs; ++i) {
    const Start a = TimeOneStart(argv[2], argv[3]);
    const Start b = TimeOneStart(argv[4], argv[5]);
    first.push_back(a.milliseconds);
    second.push_back(b.milliseconds);
    first_memory.push_back(a.peak_megabytes);
    second_memory.push_back(b.peak_megabytes);
  }
  // The fastest run as well: on a busy machine it shows the program's own
  // cost when the median mostly shows the load.
  const double a = ratecalc_bench::Median(first), b = ratecalc_bench::Median(second);
  const double a_fastest = *std::min_element(first.begin(), first.end());
  const double b_fastest = *std::min_element(second.begin(), second.end());
  std::printf("%s: median %.1f ms (fastest %.1f), peak working set %.1f MB\n", FileName(argv[2]), a,
              a_fastest, ratecalc_bench::Median(first_memory));
  std::printf("%s: median %.1f ms (fastest %.1f), peak working set %.1f MB\n", FileName(argv[4]), b,
              b_fastest, ratecalc_bench::Median(second_memory));
  std::printf("ratio %.2f (fastest %.2f)\n", a / b, a_fastest / b_fastest);
  return 0;
}
