// The file operations on Windows: opening, locking, replacing, and access
// by position. Where files are, and whose, is in file_places.cpp.

// clang-format off
#include <windows.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdint>

#include "windows/wide_path.h"

namespace ratecalc {
namespace {

HANDLE HandleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

bool CommitAndClose(std::FILE* file) {
  const bool ok = std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
  return std::fclose(file) == 0 && ok;
}

bool MoveOver(const FilePath& from, const FilePath& to) {
  WidePath wide_from;
  WidePath wide_to;
  return MoveFileExW(Wide(from, wide_from), Wide(to, wide_to),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool SetLength(HANDLE handle, std::uint64_t length) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

bool IdentityOfHandle(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return false;
  identity.device = info.dwVolumeSerialNumber;
  identity.number = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

}  // namespace

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

FileFacts InspectFile(const FilePath& path) {
  FileFacts facts;
  const DWORD attributes = AttributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
  facts.exists = true;
  facts.mode = attributes;
  facts.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
  HANDLE file = OpenHandle(path, READ_CONTROL, kShareAll, OPEN_EXISTING, 0);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info)) facts.several_names = info.nNumberOfLinks > 1;
    facts.foreign_owner = !OwnedByThisUser(file);
    facts.regular = facts.regular && GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
  }
  return facts;
}

ReadResult OpenForReading(const FilePath& path, std::FILE*& file) {
  file = nullptr;
  const DWORD attributes = AttributesOf(path);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return ReadResult::NotRegular;
  }
  HANDLE handle =
      OpenHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return missing ? ReadResult::Missing : ReadResult::Unreadable;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return ReadResult::NotRegular;
  }
  // A save writing the file in place holds it exclusively; the shared lock
  // goes with the handle when the file is closed.
  OVERLAPPED whole{};
  if (!LockFileEx(handle, LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
    CloseHandle(handle);
    return ReadResult::Unreadable;
  }
  file = StreamOf(handle, "rb");
  return file ? ReadResult::Read : ReadResult::Unreadable;
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
// the archive one, as any change does; the new file has this user as its
// owner and the access list the folder gives new files. A file of another
// user's is written in place instead (InspectFile), keeping both.
bool ReplaceWithTemporary(std::FILE* temporary, const FilePath& temporary_path,
                          const FilePath& target, const FileFacts& keep) {
  if (!CommitAndClose(temporary)) return false;
  if (keep.exists) {
    const DWORD kept = (keep.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                       FILE_ATTRIBUTE_ARCHIVE;
    WidePath wide;
    if (!SetFileAttributesW(Wide(temporary_path, wide), kept)) return false;
  }
  // A reader that has the file open for a moment blocks the replacement;
  // any other failure is final. Written through: on the disk when it returns.
  bool moved = false;
  RetryWhileBusy([&] {
    moved = MoveOver(temporary_path, target);
    const DWORD error = moved ? 0 : GetLastError();
    return error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
           error != ERROR_LOCK_VIOLATION;
  });
  return moved;
}

bool CloseAndRename(std::FILE* file, const FilePath& from, const FilePath& to) {
  return CommitAndClose(file) && MoveOver(from, to);
}

bool LengthOf(std::FILE* file, std::uint64_t& length) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(HandleOf(file), &size)) return false;
  length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
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
  return SetLength(handle, length);
}

bool CutAndSync(std::FILE* file, std::uint64_t length) {
  return SetLength(HandleOf(file), length) && FlushFileBuffers(HandleOf(file));
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

}  // namespace ratecalc
