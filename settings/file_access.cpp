#include "file_access.h"

#include <atomic>
#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>
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

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

// The folder part of `path` ("" for none), with its trailing separator.
std::string FolderOf(const std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

// The process id in the name of one of our temporary files beside a file
// named `base`: base.<hex pid>-<hex counter>.tmp. False for any other name.
bool TemporaryOwner(const std::string& name, const std::string& base, unsigned long& pid) {
  const std::size_t n = base.size();
  if (name.size() < n + 8 || name[n] != '.') return false;
  for (std::size_t i = 0; i < n; ++i) {
#ifdef _WIN32
    // Names differ only in case when the program was started as KOVRATECALC.INI.
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(name[i]) != fold(base[i])) return false;
#else
    if (name[i] != base[i]) return false;
#endif
  }
  if (name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
  const std::string middle = name.substr(n + 1, name.size() - n - 5);
  const std::size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == middle.size() || dash > 8) return false;
  pid = 0;
  for (std::size_t i = 0; i < middle.size(); ++i) {
    const char c = middle[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    if (i == dash) continue;
    if (!hex) return false;
    if (i < dash) pid = pid * 16 + static_cast<unsigned long>(c <= '9' ? c - '0' : c - 'a' + 10);
  }
  return true;
}

#ifdef _WIN32
std::FILE* StreamOf(HANDLE handle) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
  if (fd == -1) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "r+b");
  if (!file) _close(fd);
  return file;
}

bool ProcessHasEnded(unsigned long pid) {
  if (pid == GetCurrentProcessId()) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}
#else
bool ProcessHasEnded(unsigned long pid) {
  return kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}
#endif

}  // namespace

bool IsReadOnlyFile(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
#endif
}

std::string ResolveLinks(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  char final_path[MAX_PATH + 8];
  const DWORD n = GetFinalPathNameByHandleA(file, final_path, MAX_PATH, 0);
  CloseHandle(file);
  if (n == 0 || n >= MAX_PATH) return path;
  std::string resolved(final_path, n);
  if (resolved.rfind("\\\\?\\UNC\\", 0) == 0) return "\\" + resolved.substr(7);
  if (resolved.rfind("\\\\?\\", 0) == 0) return resolved.substr(4);
  return resolved;
#else
  std::string current = path;
  for (int depth = 0; depth < 40; ++depth) {  // a loop of links ends somewhere
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char target[PATH_MAX];
    const ssize_t n = readlink(current.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return current;
    const std::string link(target, static_cast<std::size_t>(n));
    current = link.front() == '/' ? link : FolderOf(current) + link;
  }
  return current;
#endif
}

FileFacts InspectFile(const std::string& path) {
  FileFacts facts;
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
  facts.exists = true;
  facts.mode = attributes;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info)) facts.several_names = info.nNumberOfLinks > 1;
    CloseHandle(file);
  }
#else
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return facts;
  facts.exists = true;
  facts.several_names = info.st_nlink > 1;
  facts.mode = info.st_mode & 07777;
  facts.owner = static_cast<long>(info.st_uid);
  facts.group = static_cast<long>(info.st_gid);
#endif
  return facts;
}

OpenResult OpenForReading(const std::string& path, std::FILE*& file) {
  errno = 0;
  file = std::fopen(path.c_str(), "rb");
  if (file) return OpenResult::Opened;
  return errno == ENOENT ? OpenResult::Missing : OpenResult::Unreadable;
}

std::string TemporaryPathBeside(const std::string& path) {
  static std::atomic<unsigned long> counter{0};
  std::string name = path + ".";
  AppendHex(name, ProcessId());
  name += "-";
  AppendHex(name, counter++);
  return name + ".tmp";
}

std::FILE* CreateTemporary(const std::string& path) {
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : StreamOf(file);
#else
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd == -1) return nullptr;
  std::FILE* file = fdopen(fd, "r+b");
  if (!file) close(fd);
  return file;
#endif
}

std::FILE* CreateScratchFile() {
#ifdef _WIN32
  char folder[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > MAX_PATH || GetTempFileNameA(folder, "kov", 0, name) == 0) return nullptr;
  HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileA(name);
    return nullptr;
  }
  return StreamOf(file);
#else
  return std::tmpfile();
#endif
}

bool FinishTemporary(std::FILE* file, const std::string& path, const FileFacts& keep) {
  bool ok = std::fflush(file) == 0;
#ifdef _WIN32
  ok = ok && _commit(_fileno(file)) == 0;
  ok = std::fclose(file) == 0 && ok;
  if (ok && keep.exists) {
    // Marked for the next backup, as any changed file is.
    const DWORD kept = (keep.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                       FILE_ATTRIBUTE_ARCHIVE;
    ok = SetFileAttributesA(path.c_str(), kept) != 0;
  }
#else
  (void)path;
  const int fd = fileno(file);
  ok = ok && fsync(fd) == 0;
  if (ok && keep.exists) {
    // The owner only where this user may give it; the mode after it, since
    // a change of owner clears the set-id bits.
    if (fchown(fd, static_cast<uid_t>(keep.owner), static_cast<gid_t>(keep.group)) != 0) {
      [[maybe_unused]] const int ignored =
          fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(keep.group));
    }
    ok = fchmod(fd, static_cast<mode_t>(keep.mode)) == 0;
  } else if (ok) {
    const mode_t mask = umask(0);  // a new file gets the mode any new file gets
    umask(mask);
    ok = fchmod(fd, 0666 & ~mask) == 0;
  }
  ok = std::fclose(file) == 0 && ok;
#endif
  return ok;
}

bool ReplaceFileAtomically(const std::string& source, const std::string& target) {
#ifdef _WIN32
  // rename() refuses to replace an existing file on Windows. A reader that
  // has the file open for a moment blocks the replacement: try for a second.
  constexpr int kAttempts = 21;
  constexpr DWORD kPauseMs = 50;
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExA(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD error = GetLastError();
    if (attempt == kAttempts || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
                                 error != ERROR_LOCK_VIOLATION)) {
      return false;
    }
    Sleep(kPauseMs);
  }
#else
  return std::rename(source.c_str(), target.c_str()) == 0;
#endif
}

bool OverwriteInPlace(std::FILE* source, const std::string& target) {
  if (std::fflush(source) != 0 || std::fseek(source, 0, SEEK_SET) != 0) return false;
  char buffer[65536];
  bool ok = true;
#ifdef _WIN32
  // Shared as the other programs that hold it open share it; locked while
  // written, so that a reader gets an error rather than a mixture.
  HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool locked = LockFile(file, 0, 0, MAXDWORD, MAXDWORD) != 0;
  std::size_t got = 0;
  while (ok && (got = std::fread(buffer, 1, sizeof buffer, source)) > 0) {
    DWORD written = 0;
    ok = WriteFile(file, buffer, static_cast<DWORD>(got), &written, nullptr) && written == got;
  }
  ok = ok && !std::ferror(source) && SetEndOfFile(file) && FlushFileBuffers(file);
  if (locked) UnlockFile(file, 0, 0, MAXDWORD, MAXDWORD);
  CloseHandle(file);
#else
  const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd == -1) return false;
  off_t length = 0;
  std::size_t got = 0;
  while (ok && (got = std::fread(buffer, 1, sizeof buffer, source)) > 0) {
    for (std::size_t done = 0; ok && done < got;) {
      const ssize_t n = write(fd, buffer + done, got - done);
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
    }
    length += static_cast<off_t>(got);
  }
  ok = ok && !std::ferror(source) && ftruncate(fd, length) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
#endif
  return ok;
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string base = path.substr(folder.size());
  unsigned long pid = 0;
#ifdef _WIN32
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((path + ".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (TemporaryOwner(found.cFileName, base, pid) && ProcessHasEnded(pid)) {
      DeleteFileA((folder + found.cFileName).c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
#else
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    if (TemporaryOwner(entry->d_name, base, pid) && ProcessHasEnded(pid)) {
      unlink((folder + entry->d_name).c_str());
    }
  }
  closedir(dir);
#endif
}

void PauseMilliseconds(int milliseconds) {
#ifdef _WIN32
  Sleep(static_cast<DWORD>(milliseconds));
#else
  const timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
#endif
}

}  // namespace ratecalc
