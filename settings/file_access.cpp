#include "file_access.h"

#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ratecalc {
namespace {

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

void AppendHex(std::string& out, unsigned long value) {
  char digits[2 * sizeof value];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value % 16];
    value /= 16;
  } while (value != 0);
  while (n > 0) out.push_back(digits[--n]);
}

bool FlushToDisk(std::FILE* file) {
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

}  // namespace

std::string TemporaryPathBeside(const std::string& path) {
  static std::atomic<unsigned long> counter{0};
  std::string name = path + ".";
  AppendHex(name, ProcessId());
  name += "-";
  AppendHex(name, counter++);
  return name + ".tmp";
}

bool IsReadOnlyFile(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
#endif
}

bool WriteFileDurably(const std::string& path, const std::string& content) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  ok = std::fflush(file) == 0 && ok;
  ok = ok && FlushToDisk(file);
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
#ifdef _WIN32
  // rename() refuses to replace an existing file on Windows.
  return MoveFileExA(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(source.c_str(), target.c_str()) == 0;
#endif
}

}  // namespace ratecalc
