// Time and peak memory of loading and saving large settings files, the
// section at the very end: each run in a child process of its own, limited
// to 96 MB of address space, so that the figures are the settings code's.
// Usage: settings_bench [FOLDER] (default: the system's temporary folder).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings_file.h"

namespace {

constexpr rlim_t kAddressSpace = 96u << 20;

void MakeFile(const std::string& path, long megabytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::exit(1);
  const std::string line = "key=" + std::string(95, 'v') + "\n";
  for (long i = 0; i < megabytes * 10486; ++i) std::fwrite(line.data(), 1, line.size(), file);
  std::fputs("[RateCalc]\nnPayAmt=5\n", file);
  std::fclose(file);
}

// Runs one load or save in a child process; prints seconds and peak memory.
bool Measure(const std::string& path, bool save, double& seconds, long& peak_kb) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{kAddressSpace, kAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
    ratecalc::RateModel model;
    if (save) model.nPayAmt = 7;
    const auto start = std::chrono::steady_clock::now();
    if (save) {
      ratecalc::SaveSettings(model, path);
    } else {
      ratecalc::LoadSettings(model, path);
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool right = save || model.nPayAmt == 5;
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
  for (const long megabytes : {1L, 50L, 300L}) {
    MakeFile(path, megabytes);
    double load_s = 0, save_s = 0;
    long load_kb = 0, save_kb = 0;
    const bool right =
        Measure(path, false, load_s, load_kb) && Measure(path, true, save_s, save_kb);
    all_right = all_right && right;
    std::printf("| %ld MB | %.3f s | %.1f MB | %.3f s | %.1f MB |%s\n", megabytes, load_s,
                static_cast<double>(load_kb) / 1024, save_s, static_cast<double>(save_kb) / 1024,
                right ? "" : " FAILED");
    std::remove(path.c_str());
  }
  return all_right ? 0 : 1;
}
