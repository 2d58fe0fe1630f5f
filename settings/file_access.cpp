#include "file_access.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#endif

namespace ratecalc {
namespace {

// base.<hex process id>-<hex count>.tmp: the shortest such suffix, and a
// process id's most hex digits (they are 32-bit numbers).
constexpr std::size_t kShortestTemporarySuffix = sizeof ".0-0.tmp" - 1;
constexpr std::size_t kMaxProcessDigits = 8;
// Names tried before a save gives up on a temporary beside the file.
constexpr int kTemporaryNameAttempts = 64;
// As the kernel's own limit on links followed while opening a path.
constexpr int kMaxLinkDepth = 40;

unsigned long ProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

bool AppendHex(FilePath& out, std::uint64_t value) {
  char digits[2 * sizeof value];
  std::size_t n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value % 16];
    value /= 16;
  } while (value != 0);
  char text[sizeof digits];
  for (std::size_t i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  return out.Append(std::string_view(text, n));
}

// The text from `from` on (nothing when it is shorter): string_view's own
// substr reports a bad position by throwing, which this code never does.
std::string_view Tail(std::string_view text, std::size_t from) {
  return from < text.size() ? std::string_view(text.data() + from, text.size() - from)
                            : std::string_view();
}

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

// The length of the folder part of `path` (0 for none), with its trailing separator.
std::size_t FolderLength(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  return end;
}

// The process id in the name of one of our temporary files beside a file
// named `base`: base.<hex pid>-<hex counter>.tmp. False for any other name.
bool TemporaryOwner(std::string_view name, std::string_view base, unsigned long& pid) {
  const std::size_t n = base.size();
  if (name.size() < n + kShortestTemporarySuffix || name[n] != '.') return false;
  for (std::size_t i = 0; i < n; ++i) {
#ifdef _WIN32
    // Names differ only in case when the program was started as KOVRATECALC.INI.
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(name[i]) != fold(base[i])) return false;
#else
    if (name[i] != base[i]) return false;
#endif
  }
  if (Tail(name, name.size() - 4) != ".tmp") return false;
  const std::string_view middle(name.data() + n + 1, name.size() - n - 5);
  const std::size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == middle.size() ||
      dash > kMaxProcessDigits) {
    return false;
  }
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
std::FILE* StreamOf(HANDLE handle, const char* mode) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
  if (fd == -1) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, mode);
  if (!file) _close(fd);
  return file;
}

HANDLE HandleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

bool ProcessHasEnded(unsigned long pid) {
  if (pid == GetCurrentProcessId()) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

bool LengthOf(std::FILE* file, std::uint64_t& length) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(HandleOf(file), &size)) return false;
  length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

std::size_t ReadAt(std::FILE* file, char* buffer, std::size_t size, std::uint64_t offset) {
  OVERLAPPED at = At(offset);
  DWORD got = 0;
  if (!ReadFile(HandleOf(file), buffer, static_cast<DWORD>(size), &got, &at)) return 0;
  return got;
}

bool WriteAt(std::FILE* file, const char* buffer, std::size_t size, std::uint64_t offset) {
  OVERLAPPED at = At(offset);
  DWORD written = 0;
  return WriteFile(HandleOf(file), buffer, static_cast<DWORD>(size), &written, &at) &&
         written == size;
}

bool Reserve(std::FILE* file, std::uint64_t length) {
  HANDLE handle = HandleOf(file);
  FILE_ALLOCATION_INFO info{};
  info.AllocationSize.QuadPart = static_cast<LONGLONG>(length);
  if (SetFileInformationByHandle(handle, FileAllocationInfo, &info, sizeof info)) return true;
  if (GetLastError() == ERROR_DISK_FULL) return false;
  // Where the allocation cannot be asked for (Wine), the file is made that
  // long; NTFS gives a longer file its clusters at once, or fails.
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

bool CutAndSync(std::FILE* file, std::uint64_t length) {
  HANDLE handle = HandleOf(file);
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle) &&
         FlushFileBuffers(handle);
}
#else
bool ProcessHasEnded(unsigned long pid) {
  return kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

// Whether this process is in the group, as the owner of a file it creates would be.
bool InGroup(gid_t group) {
  if (getegid() == group) return true;
  gid_t groups[NGROUPS_MAX];
  const int count = getgroups(NGROUPS_MAX, groups);
  for (int i = 0; i < count; ++i) {
    if (groups[i] == group) return true;
  }
  return false;
}

// Opens a regular file without waiting on a FIFO's writer or a device.
int OpenRegular(const FilePath& path, int flags) {
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
  if (fd == -1) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool LengthOf(std::FILE* file, std::uint64_t& length) {
  struct stat info {};
  if (fstat(fileno(file), &info) != 0) return false;
  length = static_cast<std::uint64_t>(info.st_size);
  return true;
}

std::size_t ReadAt(std::FILE* file, char* buffer, std::size_t size, std::uint64_t offset) {
  const ssize_t got = pread(fileno(file), buffer, size, static_cast<off_t>(offset));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool WriteAt(std::FILE* file, const char* buffer, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n =
        pwrite(fileno(file), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool Reserve(std::FILE* file, std::uint64_t length) {
  // A file system that cannot reserve (EINVAL, EOPNOTSUPP) gets the write
  // unreserved; one that has no room says so.
  const int result = posix_fallocate(fileno(file), 0, static_cast<off_t>(length));
  return result == 0 || result == EINVAL || result == EOPNOTSUPP;
}

bool CutAndSync(std::FILE* file, std::uint64_t length) {
  return ftruncate(fileno(file), static_cast<off_t>(length)) == 0 && fsync(fileno(file)) == 0;
}
#endif

// Reads exactly `size` bytes from the stream, or fails.
bool ReadExactly(std::FILE* file, char* buffer, std::size_t size) {
  return std::fread(buffer, 1, size, file) == size;
}

// Where `source` first differs from `target`, both read from their start;
// the shorter length when one is the start of the other.
bool FirstDifference(std::FILE* source, std::FILE* target, std::uint64_t length,
                     std::uint64_t& at) {
  char ours[kChunkBytes];
  char theirs[kChunkBytes];
  for (at = 0; at < length;) {
    const std::size_t want =
        static_cast<std::size_t>(length - at < kChunkBytes ? length - at : kChunkBytes);
    if (!ReadExactly(source, ours, want)) return false;
    const std::size_t got = ReadAt(target, theirs, want, at);
    std::size_t same = 0;
    while (same < got && ours[same] == theirs[same]) ++same;
    at += same;
    if (same < want) return true;
  }
  return true;
}

}  // namespace

bool FilePath::Assign(std::string_view text) {
  length = 0;
  chars[0] = '\0';
  return Append(text);
}

bool FilePath::Append(std::string_view text) {
  if (text.size() > kMaxPathLength - length || text.find('\0') != std::string_view::npos) {
    length = 0;
    chars[0] = '\0';
    return false;
  }
  std::memcpy(chars + length, text.data(), text.size());
  length += text.size();
  chars[length] = '\0';
  return true;
}

bool IsReadOnlyFile(const FilePath& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
#endif
}

FilePath ResolveLinks(const FilePath& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  char final_path[MAX_PATH + 1];
  const DWORD n = GetFinalPathNameByHandleA(file, final_path, MAX_PATH, 0);
  CloseHandle(file);
  if (n == 0 || n >= MAX_PATH) return path;
  std::string_view resolved(final_path, n);
  FilePath out;
  if (resolved.substr(0, 8) == "\\\\?\\UNC\\") {
    out.Assign("\\");
    out.Append(Tail(resolved, 7));
  } else if (resolved.substr(0, 4) == "\\\\?\\") {
    out.Assign(Tail(resolved, 4));
  } else {
    out.Assign(resolved);
  }
  return out.length > 0 ? out : path;
#else
  FilePath current = path;
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char target[PATH_MAX];
    const ssize_t n = readlink(current.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return current;
    const std::string_view link(target, static_cast<std::size_t>(n));
    FilePath next;
    if (link.front() != '/') next.Assign(current.View().substr(0, FolderLength(current.View())));
    if (!next.Append(link)) return current;
    current = next;
  }
  return current;
#endif
}

FileFacts InspectFile(const FilePath& path) {
  FileFacts facts;
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
  facts.exists = true;
  facts.mode = attributes;
  facts.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info)) facts.several_names = info.nNumberOfLinks > 1;
    facts.regular = facts.regular && GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
  }
#else
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return facts;
  facts.exists = true;
  facts.regular = S_ISREG(info.st_mode);
  facts.several_names = info.st_nlink > 1;
  facts.mode = info.st_mode & 07777;
  facts.owner = static_cast<long>(info.st_uid);
  facts.group = static_cast<long>(info.st_gid);
  facts.foreign_owner = geteuid() != 0 && (info.st_uid != geteuid() || !InGroup(info.st_gid));
#endif
  return facts;
}

OpenResult OpenForReading(const FilePath& path, std::FILE*& file) {
  file = nullptr;
#ifdef _WIN32
  errno = 0;
  file = std::fopen(path.c_str(), "rb");
  if (!file) return errno == ENOENT ? OpenResult::Missing : OpenResult::Unreadable;
  // A save writing the file in place holds it exclusively; the shared lock
  // goes with the handle when the file is closed.
  OVERLAPPED whole{};
  if (GetFileType(HandleOf(file)) != FILE_TYPE_DISK ||
      !LockFileEx(HandleOf(file), LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
    std::fclose(file);
    file = nullptr;
    return OpenResult::Unreadable;
  }
  return OpenResult::Opened;
#else
  const int fd = OpenRegular(path, O_RDONLY);
  if (fd == -1) return errno == ENOENT ? OpenResult::Missing : OpenResult::Unreadable;
  // A save writing the file in place holds it exclusively.
  if (flock(fd, LOCK_SH | LOCK_NB) != 0 || !(file = fdopen(fd, "rb"))) {
    close(fd);
    return OpenResult::Unreadable;
  }
  return OpenResult::Opened;
#endif
}

std::FILE* OpenLocked(const FilePath& path) {
#ifdef _WIN32
  // Shared as the other programs that hold it open share it; the lock
  // makes other readers get an error, which they retry, not a mixture.
  HANDLE handle =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const bool locked =
      GetFileType(handle) == FILE_TYPE_DISK && RetryWhileBusy([handle] {
        OVERLAPPED whole{};
        return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                          MAXDWORD, &whole) != 0;
      });
  if (!locked) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = StreamOf(handle, "r+b");
  return file;
#else
  const int fd = OpenRegular(path, O_RDWR);
  if (fd == -1) return nullptr;
  const bool locked = RetryWhileBusy([fd] { return flock(fd, LOCK_EX | LOCK_NB) == 0; });
  std::FILE* file = locked ? fdopen(fd, "r+b") : nullptr;
  if (!file) close(fd);
  return file;
#endif
}

void CloseLocked(std::FILE* file) {
#ifdef _WIN32
  OVERLAPPED whole{};
  UnlockFileEx(HandleOf(file), 0, MAXDWORD, MAXDWORD, &whole);
#endif
  std::fclose(file);
}

bool NextTemporaryPath(const FilePath& target, FilePath& temporary) {
  static std::atomic<unsigned long> counter{0};
  temporary = target;
  return temporary.Append(".") && AppendHex(temporary, ProcessId()) && temporary.Append("-") &&
         AppendHex(temporary, counter++) && temporary.Append(".tmp");
}

std::FILE* CreateTemporaryBeside(const FilePath& target, FilePath& temporary) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    if (!NextTemporaryPath(target, temporary)) return nullptr;
#ifdef _WIN32
    // Without delete sharing, which is what marks it as held by a running save.
    HANDLE handle = CreateFileA(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return StreamOf(handle, "r+b");
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      return nullptr;
    }
#else
    const int fd = open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd == -1) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    // The lock marks it as held by a running save. A cleaner may have
    // removed the name between the two steps: then try the next one.
    struct stat opened {};
    struct stat named {};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 &&
        stat(temporary.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
        opened.st_dev == named.st_dev) {
      if (std::FILE* file = fdopen(fd, "r+b")) return file;
      unlink(temporary.c_str());
      close(fd);
      return nullptr;
    }
    close(fd);
#endif
  }
  return nullptr;
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
  return StreamOf(file, "r+b");
#else
  return std::tmpfile();
#endif
}

bool ReplaceWithTemporary(std::FILE* temporary, const FilePath& temporary_path,
                          const FilePath& target, const FileFacts& keep) {
  bool ok = std::fflush(temporary) == 0;
#ifdef _WIN32
  ok = ok && _commit(_fileno(temporary)) == 0;
  ok = std::fclose(temporary) == 0 && ok;
  if (ok && keep.exists) {
    // Marked for the next backup, as any changed file is.
    const DWORD kept = (keep.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                       FILE_ATTRIBUTE_ARCHIVE;
    ok = SetFileAttributesA(temporary_path.c_str(), kept) != 0;
  }
  // A reader that has the file open for a moment blocks the replacement;
  // any other failure is final.
  bool moved = false;
  RetryWhileBusy([&] {
    moved = ok && MoveFileExA(temporary_path.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    const DWORD error = moved || !ok ? 0 : GetLastError();
    return error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
           error != ERROR_LOCK_VIOLATION;
  });
  return moved;
#else
  const int fd = fileno(temporary);
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
  // Renamed while still open, so that it is held until it has its place.
  ok = ok && std::rename(temporary_path.c_str(), target.c_str()) == 0;
  std::fclose(temporary);
  return ok;
#endif
}

bool CloseAndRename(std::FILE* file, const FilePath& from, const FilePath& to) {
  bool ok = std::fflush(file) == 0;
#ifdef _WIN32
  ok = ok && _commit(_fileno(file)) == 0;
  ok = std::fclose(file) == 0 && ok;
  return ok && MoveFileExA(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  ok = ok && fsync(fileno(file)) == 0 && std::rename(from.c_str(), to.c_str()) == 0;
  std::fclose(file);
  return ok;
#endif
}

InPlaceResult OverwriteInPlace(std::FILE* source, std::FILE* target) {
  constexpr InPlaceResult kUnchanged = InPlaceResult::Unchanged;
  std::uint64_t new_length = 0;
  std::uint64_t old_length = 0;
  if (std::fflush(source) != 0 || !LengthOf(source, new_length) || !LengthOf(target, old_length) ||
      std::fseek(source, 0, SEEK_SET) != 0) {
    return kUnchanged;
  }
  std::uint64_t at = 0;
  if (!FirstDifference(source, target, new_length < old_length ? new_length : old_length, at)) {
    return kUnchanged;
  }
  if (at == new_length && new_length == old_length) return InPlaceResult::Written;
  if (new_length > old_length && !Reserve(target, new_length)) return kUnchanged;
  // On from the first difference, in as few writes as the buffer allows.
  if (std::fseek(source, 0, SEEK_SET) != 0) return kUnchanged;
  char buffer[kChunkBytes];
  for (std::uint64_t skipped = 0; skipped < at;) {
    const std::size_t want =
        static_cast<std::size_t>(at - skipped < kChunkBytes ? at - skipped : kChunkBytes);
    if (!ReadExactly(source, buffer, want)) return kUnchanged;
    skipped += want;
  }
  for (std::uint64_t offset = at; offset < new_length;) {
    const std::size_t want = static_cast<std::size_t>(
        new_length - offset < kChunkBytes ? new_length - offset : kChunkBytes);
    if (!ReadExactly(source, buffer, want) || !WriteAt(target, buffer, want, offset)) {
      return InPlaceResult::Torn;
    }
    offset += want;
  }
  return CutAndSync(target, new_length) ? InPlaceResult::Written : InPlaceResult::Torn;
}

bool RedoPathInTemporaryFolder(const FilePath& target, FilePath& redo) {
#ifdef _WIN32
  char folder[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > MAX_PATH) return false;
  HANDLE file =
      CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  const std::uint64_t index =
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return known && redo.Assign(std::string_view(folder, n)) && redo.Append("KOVRateCalc-") &&
         AppendHex(redo, info.dwVolumeSerialNumber) && redo.Append("-") && AppendHex(redo, index) &&
         redo.Append(".redo");
#else
  struct stat info {};
  if (stat(target.c_str(), &info) != 0) return false;
  const char* folder = std::getenv("TMPDIR");
  if (!folder || folder[0] != '/') folder = "/tmp";
  return redo.Assign(folder) && redo.Append("/KOVRateCalc-") && AppendHex(redo, info.st_dev) &&
         redo.Append("-") && AppendHex(redo, info.st_ino) && redo.Append(".redo");
#endif
}

std::FILE* OpenRedoRecord(const FilePath& path) {
#ifdef _WIN32
  return std::fopen(path.c_str(), "rb");
#else
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd == -1) return nullptr;
  struct stat info {};
  std::FILE* file = nullptr;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid()) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file = fdopen(fd, "rb");
  }
  if (!file) close(fd);
  return file;
#endif
}

bool PathExists(const FilePath& path) {
#ifdef _WIN32
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
#endif
}

void RemovePath(const FilePath& path) { std::remove(path.c_str()); }

void RemoveStaleTemporaries(const FilePath& path) {
  const std::size_t folder_length = FolderLength(path.View());
  const std::string_view base = Tail(path.View(), folder_length);
  FilePath candidate;
  unsigned long pid = 0;
#ifdef _WIN32
  FilePath pattern = path;
  if (!pattern.Append(".*.tmp")) return;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  constexpr std::uint64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns
  do {
    if (!TemporaryOwner(found.cFileName, base, pid)) continue;
    const bool old =
        ticks(now) - ticks(found.ftLastWriteTime) > kStaleTemporarySeconds * kTicksPerSecond;
    // A running save holds its file open without delete sharing, so that
    // deleting it fails.
    if ((old || ProcessHasEnded(pid)) && candidate.Assign(path.View().substr(0, folder_length)) &&
        candidate.Append(found.cFileName)) {
      DeleteFileA(candidate.c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
#else
  if (!candidate.Assign(folder_length == 0 ? "." : path.View().substr(0, folder_length))) return;
  DIR* dir = opendir(candidate.c_str());
  if (!dir) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    if (!TemporaryOwner(entry->d_name, base, pid) ||
        !candidate.Assign(path.View().substr(0, folder_length)) ||
        !candidate.Append(entry->d_name)) {
      continue;
    }
    // A running save holds a lock on its file.
    const int fd = open(candidate.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd == -1) continue;
    struct stat info {};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        (now - info.st_mtime > kStaleTemporarySeconds || ProcessHasEnded(pid))) {
      unlink(candidate.c_str());
    }
    close(fd);
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
