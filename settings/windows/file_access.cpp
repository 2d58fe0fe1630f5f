// The file operations on Windows. Paths are kept as UTF-8 and turned into
// UTF-16 for the wide-character calls, so that a folder the system names
// (the temporary folder, the local application data) works whatever the
// user's name holds.
#include "file_access.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdint>

namespace ratecalc {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::uint64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns
constexpr std::string_view kPrivateFolderName = "\\KOVRateCalc";
constexpr std::string_view kTemporaryPattern = ".*.tmp";
constexpr std::string_view kLongPathPrefix = "\\\\?\\";
constexpr std::string_view kLongUncPrefix = "\\\\?\\UNC\\";
constexpr int kTemporaryNameAttempts = 64;
// Room for the token's user and its default owner, each with a SID.
constexpr std::size_t kTokenBytes = sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE;

struct WidePath {
  wchar_t chars[kMaxPathLength + 1];
};

bool ToWide(std::string_view text, UINT code_page, WidePath& out) {
  const int n = text.empty()
                    ? 0
                    : MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                          out.chars, static_cast<int>(kMaxPathLength));
  out.chars[n] = L'\0';
  return n > 0 || text.empty();
}

const wchar_t* Wide(const FilePath& path, WidePath& out) {
  ToWide(path.View(), CP_UTF8, out);
  return out.chars;
}

// `length` -1 for the whole of a NUL-terminated text.
bool FromWide(const wchar_t* text, int length, FilePath& out) {
  if (length < 0) length = lstrlenW(text);
  char utf8[kMaxPathLength + 1];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, utf8,
                                    static_cast<int>(kMaxPathLength), nullptr, nullptr);
  return n > 0 && out.Assign(std::string_view(utf8, static_cast<std::size_t>(n)));
}

DWORD AttributesOf(const FilePath& path) {
  WidePath wide;
  return GetFileAttributesW(Wide(path, wide));
}

HANDLE OpenHandle(const FilePath& path, DWORD access, DWORD share, DWORD creation, DWORD flags) {
  WidePath wide;
  return CreateFileW(Wide(path, wide), access, share, nullptr, creation, flags, nullptr);
}

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

bool IdentityOfHandle(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return false;
  identity.device = info.dwVolumeSerialNumber;
  identity.number = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// Whether the object's owner is this process's user, or the owner it gives
// what it creates (an administrators' group when elevated).
bool OwnedByThisUser(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool ours = false;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    alignas(8) unsigned char user[kTokenBytes];
    alignas(8) unsigned char default_owner[kTokenBytes];
    DWORD n = 0;
    ours = (GetTokenInformation(token, TokenUser, user, sizeof user, &n) &&
            EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user)->User.Sid)) ||
           (GetTokenInformation(token, TokenOwner, default_owner, sizeof default_owner, &n) &&
            EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(default_owner)->Owner));
    CloseHandle(token);
  }
  LocalFree(descriptor);
  return ours;
}

bool CommitAndClose(std::FILE* file) {
  const bool ok = std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
  return std::fclose(file) == 0 && ok;
}

}  // namespace

bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

bool PathFromCaller(std::string_view text, FilePath& path) {
  WidePath wide;
  path.Assign("");
  return text.find('\0') == std::string_view::npos && !text.empty() && ToWide(text, CP_ACP, wide) &&
         FromWide(wide.chars, -1, path);
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

bool IsReadOnlyFile(const FilePath& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// No folder here keeps others' names the way a sticky one does, so every
// link is followed.
bool ResolveLinks(const FilePath& path, FilePath& resolved) {
  resolved = path;
  const DWORD attributes = AttributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return true;
  }
  HANDLE file = OpenHandle(path, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (file == INVALID_HANDLE_VALUE) return true;
  WidePath final_path;
  const DWORD n = GetFinalPathNameByHandleW(file, final_path.chars, kMaxPathLength, 0);
  CloseHandle(file);
  FilePath out;
  if (n == 0 || n >= kMaxPathLength || !FromWide(final_path.chars, static_cast<int>(n), out)) {
    return true;
  }
  const std::string_view text = out.View();
  if (text.substr(0, kLongUncPrefix.size()) == kLongUncPrefix) {
    resolved.Assign("\\");
    resolved.Append(TextFrom(text, kLongUncPrefix.size() - 1));
  } else if (text.substr(0, kLongPathPrefix.size()) == kLongPathPrefix) {
    resolved.Assign(TextFrom(text, kLongPathPrefix.size()));
  } else {
    resolved = out;
  }
  if (resolved.length == 0) resolved = path;
  return true;
}

FileFacts InspectFile(const FilePath& path) {
  FileFacts facts;
  const DWORD attributes = AttributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
  facts.exists = true;
  facts.mode = attributes;
  facts.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
  HANDLE file = OpenHandle(path, 0, kShareAll, OPEN_EXISTING, 0);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info)) facts.several_names = info.nNumberOfLinks > 1;
    facts.regular = facts.regular && GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
  }
  return facts;
}

OpenResult OpenForReading(const FilePath& path, std::FILE*& file) {
  file = nullptr;
  const DWORD attributes = AttributesOf(path);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return OpenResult::NotRegular;
  }
  HANDLE handle =
      OpenHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return missing ? OpenResult::Missing : OpenResult::Unreadable;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return OpenResult::NotRegular;
  }
  // A save writing the file in place holds it exclusively; the shared lock
  // goes with the handle when the file is closed.
  OVERLAPPED whole{};
  if (!LockFileEx(handle, LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
    CloseHandle(handle);
    return OpenResult::Unreadable;
  }
  file = StreamOf(handle, "rb");
  return file ? OpenResult::Opened : OpenResult::Unreadable;
}

LockedFile OpenLocked(const FilePath& path) {
  LockedFile locked;
  // Shared as the other programs that hold it open share it; the lock
  // makes other readers get an error, which they retry, not a mixture.
  HANDLE handle = OpenHandle(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (handle == INVALID_HANDLE_VALUE) return locked;
  const bool held = GetFileType(handle) == FILE_TYPE_DISK && RetryWhileBusy([handle] {
                      OVERLAPPED whole{};
                      return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                                        0, MAXDWORD, MAXDWORD, &whole) != 0;
                    });
  if (!held) {
    CloseHandle(handle);
    return locked;
  }
  locked.file_ = StreamOf(handle, "r+b");
  return locked;
}

void CloseLocked(LockedFile& locked) {
  OVERLAPPED whole{};
  UnlockFileEx(HandleOf(locked.file_), 0, MAXDWORD, MAXDWORD, &whole);
  std::fclose(locked.file_);
  locked.file_ = nullptr;
}

std::FILE* CreateTemporaryBeside(const FilePath& target, FilePath& temporary) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    if (!NextTemporaryPath(target, temporary)) return nullptr;
    // Without delete sharing, which is what marks it as held by a running save.
    HANDLE handle = OpenHandle(temporary, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL);
    if (handle != INVALID_HANDLE_VALUE) return StreamOf(handle, "r+b");
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      return nullptr;
    }
  }
  return nullptr;
}

std::FILE* CreateScratchFile() {
  WidePath folder;
  WidePath name;
  const DWORD n = GetTempPathW(kMaxPathLength, folder.chars);
  if (n == 0 || n >= kMaxPathLength || GetTempFileNameW(folder.chars, L"kov", 0, name.chars) == 0) {
    return nullptr;
  }
  HANDLE file = CreateFileW(name.chars, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(name.chars);
    return nullptr;
  }
  return StreamOf(file, "r+b");
}

// A replace keeps the hidden, system and not-indexed attributes and sets
// the archive one, as any change does. The new file has this user as its
// owner and the access list the folder gives new files: a file of another
// user's, or with an access list of its own, loses them to a replace, so
// keep such a file read-only or with a second name to have it written in place.
bool ReplaceWithTemporary(std::FILE* temporary, const FilePath& temporary_path,
                          const FilePath& target, const FileFacts& keep) {
  WidePath from;
  WidePath to;
  bool ok = CommitAndClose(temporary);
  if (ok && keep.exists) {
    const DWORD kept = (keep.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                       FILE_ATTRIBUTE_ARCHIVE;
    ok = SetFileAttributesW(Wide(temporary_path, from), kept) != 0;
  }
  // A reader that has the file open for a moment blocks the replacement;
  // any other failure is final. Written through: on the disk when it returns.
  bool moved = false;
  RetryWhileBusy([&] {
    moved = ok && MoveFileExW(Wide(temporary_path, from), Wide(target, to),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    const DWORD error = moved || !ok ? 0 : GetLastError();
    return error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
           error != ERROR_LOCK_VIOLATION;
  });
  return moved;
}

bool CloseAndRename(std::FILE* file, const FilePath& from, const FilePath& to) {
  WidePath wide_from;
  WidePath wide_to;
  return CommitAndClose(file) &&
         MoveFileExW(Wide(from, wide_from), Wide(to, wide_to),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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

bool IdentityOf(std::FILE* file, FileIdentity& identity) {
  return IdentityOfHandle(HandleOf(file), identity);
}

bool IdentityOfPath(const FilePath& path, FileIdentity& identity) {
  HANDLE file = OpenHandle(path, 0, kShareAll, OPEN_EXISTING, 0);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = IdentityOfHandle(file, identity);
  CloseHandle(file);
  return known;
}

// The local application data folder is the user's alone; the folder made
// in it inherits that.
bool PrivateFolder(FilePath& folder, bool create) {
  WidePath base;
  if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base.chars) !=
          S_OK ||
      !FromWide(base.chars, -1, folder) || !folder.Append(kPrivateFolderName)) {
    return false;
  }
  WidePath wide;
  if (create) CreateDirectoryW(Wide(folder, wide), nullptr);
  HANDLE handle = OpenHandle(folder, READ_CONTROL, kShareAll, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool own = GetFileInformationByHandle(handle, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                   OwnedByThisUser(handle);
  CloseHandle(handle);
  return own;
}

std::FILE* OpenOwnRecord(const FilePath& path, bool& present) {
  present = AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
  HANDLE handle = OpenHandle(path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      !OwnedByThisUser(handle)) {
    CloseHandle(handle);
    return nullptr;
  }
  return StreamOf(handle, "rb");
}

bool PathExists(const FilePath& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

void RemovePath(const FilePath& path) {
  WidePath wide;
  DeleteFileW(Wide(path, wide));
}

void RemoveStaleTemporaries(const FilePath& path) {
  const std::size_t folder_length = FolderLength(path.View());
  const std::string_view base = TextFrom(path.View(), folder_length);
  FilePath pattern = path;
  WidePath wide;
  WIN32_FIND_DATAW found{};
  if (!pattern.Append(kTemporaryPattern)) return;
  HANDLE search = FindFirstFileW(Wide(pattern, wide), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  FilePath name;
  FilePath candidate;
  unsigned long pid = 0;
  do {
    // Names differ only in case when the program was started as KOVRATECALC.INI.
    if (!FromWide(found.cFileName, -1, name) || !TemporaryOwner(name.View(), base, true, pid)) {
      continue;
    }
    const bool old =
        ticks(now) - ticks(found.ftLastWriteTime) > kStaleTemporarySeconds * kTicksPerSecond;
    // A running save holds its file open without delete sharing, so that
    // deleting it fails.
    if ((old || ProcessHasEnded(pid)) && candidate.Assign(path.View().substr(0, folder_length)) &&
        candidate.Append(name.View())) {
      RemovePath(candidate);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void PauseMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace ratecalc
