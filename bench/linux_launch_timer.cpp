// Starts two programs in turn, RUNS times each and interleaved, and reports
// for each the time from start to its first paint (which the program writes
// on its standard output, see first_paint_probe.cpp) and its peak resident
// memory, as minimum and median.
// Usage: linux_launch_timer RUNS PROGRAM_A PROGRAM_B
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "median.h"

namespace {

struct Run {
  double paint_ms;
  double peak_mb;
};

bool StartOnce(const char* program, Run& run) {
  int out[2];
  if (pipe(out) != 0) return false;
  timespec t0{};
  clock_gettime(CLOCK_MONOTONIC, &t0);
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string t0_ns = std::to_string(t0.tv_sec * 1000000000LL + t0.tv_nsec);
    setenv("RATECALC_T0_NS", t0_ns.c_str(), 1);
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(program, program, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[64];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return false;
  run.paint_ms = std::atof(text.c_str()) / 1e6;
  run.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: linux_launch_timer RUNS PROGRAM_A PROGRAM_B\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  std::vector<Run> results[2];
  for (int i = 0; i < runs; ++i) {
    for (int k = 0; k < 2; ++k) {
      const int which = i % 2 ? 1 - k : k;  // A first on even runs, B first on odd ones
      Run run{};
      if (!StartOnce(argv[2 + which], run)) {
        std::fprintf(stderr, "%s failed to start or to paint\n", argv[2 + which]);
        return 1;
      }
      results[which].push_back(run);
    }
  }
  double median_paint[2], median_peak[2];
  for (int which = 0; which < 2; ++which) {
    std::vector<double> paint, peak;
    for (const Run& r : results[which]) {
      paint.push_back(r.paint_ms);
      peak.push_back(r.peak_mb);
    }
    median_paint[which] = ratecalc_bench::Median(paint);
    median_peak[which] = ratecalc_bench::Median(peak);
    std::printf(
        "%-28s first paint min %6.1f ms, median %6.1f ms; peak memory min %5.1f MB, "
        "median %5.1f MB\n",
        argv[2 + which], *std::min_element(paint.begin(), paint.end()), median_paint[which],
        *std::min_element(peak.begin(), peak.end()), median_peak[which]);
  }
  std::printf("ratio of medians: first paint %.2f, peak memory %.2f (%d runs each, interleaved)\n",
              median_paint[0] / median_paint[1], median_peak[0] / median_peak[1], runs);
  return 0;
}
