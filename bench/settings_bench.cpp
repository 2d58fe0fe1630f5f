// Time and peak memory of loading and saving settings files with the
// section at the very end: one under the size limit, which is read and
// written, and one far over it, which gives the defaults unread and is left
// as it is. Each run in a child process of its own, limited to 96 MB of
// address space, so that the figures are the settings code's.
// Usage: settings_bench [FOLDER] (default: the system's temporary folder).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings_file.h"

namespace {

constexpr rlim_t kAddressSpace = 96u << 20;

std::string Content(long kilobytes) {
  std::string content;
  const std::string line = "key=" + std::string(95, 'v') + "\n";
  while (content.size() + line.size() < static_cast<std::size_t>(kilobytes) * 1024) content += line;
  return content + "[RateCalc]\nnPayAmt=5\n";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs one load or save in a child process; the seconds it took and its peak memory.
bool Measure(const std::string& path, bool save, bool over_limit, double& seconds, long& peak_kb) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{kAddressSpace, kAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
    ratecalc::RateModel model;
    model.nPayAmt = 7;
    const auto start = std::chrono::steady_clock::now();
    const bool right =
        save
            ? ratecalc::SaveSettings(model, path).saved() != over_limit
            : (ratecalc::LoadSettings(model, path) == ratecalc::LoadOutcome::kRead) != over_limit &&
                  model.nPayAmt == (over_limit ? 0 : 5);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    [[maybe_unused]] const ssize_t n = write(pipe_fds[1], &elapsed, sizeof elapsed);
    std::_Exit(right ? 0 : 1);
  }
  close(pipe_fds[1]);
  const ssize_t n = read(pipe_fds[0], &seconds, sizeof seconds);
  close(pipe_fds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  peak_kb = usage.ru_maxrss;
  return n == sizeof seconds && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  const std::string path = (folder / "settings_bench.ini").string();
  std::printf("| file | load | load peak RSS | save | save peak RSS |\n|---|---|---|---|---|\n");
  bool all_right = true;
  for (const long kilobytes : {900L, 40L * 1024}) {
    const bool over_limit =
        static_cast<std::size_t>(kilobytes) * 1024 > ratecalc::kMaxSettingsBytes;
    std::ofstream(path, std::ios::binary) << Content(kilobytes);  // not held while measured
    double load_s = 0, save_s = 0;
    long load_kb = 0, save_kb = 0;
    const bool right = Measure(path, false, over_limit, load_s, load_kb) &&
                       Measure(path, true, over_limit, save_s, save_kb) &&
                       (ReadFile(path) == Content(kilobytes)) == over_limit;
    all_right = all_right && right;
    std::printf("| %ld KB%s | %.4f s | %.1f MB | %.4f s | %.1f MB |%s\n", kilobytes,
                over_limit ? " (over the limit)" : "", load_s, static_cast<double>(load_kb) / 1024,
                save_s, static_cast<double>(save_kb) / 1024, right ? "" : " FAILED");
    std::remove(path.c_str());
  }
  return all_right ? 0 : 1;
}
