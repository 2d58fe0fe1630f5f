// The file operations on Windows, through the wide-character calls: paths
// are kept as UTF-8 and turned into UTF-16 for each call, so that a folder
// the system names works whatever the user's name holds.
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>
// clang-format on

#include "file_access.h"

namespace ratecalc {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kNotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
// Room for the token's user or its default owner, with a SID.
constexpr std::size_t kTokenBytes = sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE;

struct WidePath {
  wchar_t chars[kMaxPathLength + 1];
};

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

bool ToWide(std::string_view text, UINT code_page, WidePath& out) {
  const int n = text.empty()
                    ? 0
                    : MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                          out.chars, static_cast<int>(kMaxPathLength));
  out.chars[n] = L'\0';
  return n > 0 || text.empty();
}

// `length` -1 for the whole of a NUL-terminated text.
bool FromWide(const wchar_t* text, int length, FilePath& out) {
  if (length < 0) length = lstrlenW(text);
  char utf8[kMaxPathLength + 1];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, utf8,
                                    static_cast<int>(kMaxPathLength), nullptr, nullptr);
  return n > 0 && out.Assign({utf8, static_cast<std::size_t>(n)});
}

HANDLE Open(const FilePath& path, DWORD access, DWORD share, DWORD creation, DWORD flags = 0) {
  WidePath wide;
  ToWide(path.View(), CP_UTF8, wide);
  return CreateFileW(wide.chars, access, share, nullptr, creation, flags, nullptr);
}

DWORD AttributesOf(const FilePath& path) {
  WidePath wide;
  ToWide(path.View(), CP_UTF8, wide);
  return GetFileAttributesW(wide.chars);
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

// Opens what `path` names, links not followed, when it is a file of this user's.
HANDLE OpenOwnHandle(const FilePath& path, DWORD access) {
  HANDLE handle =
      Open(path, access | READ_CONTROL, kShareAll, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle != INVALID_HANDLE_VALUE &&
      (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
       (info.dwFileAttributes & (kNotAFile | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
       !OwnedByThisUser(handle))) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

bool MoveOver(const FilePath& from, const FilePath& to) {
  WidePath wide_from;
  WidePath wide_to;
  return ToWide(from.View(), CP_UTF8, wide_from) && ToWide(to.View(), CP_UTF8, wide_to) &&
         MoveFileExW(wide_from.chars, wide_to.chars,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

}  // namespace

bool PathFromCaller(std::string_view text, FilePath& path) {
  WidePath wide;
  path.Assign("");
  return text.find('\0') == std::string_view::npos && !text.empty() && ToWide(text, CP_ACP, wide) &&
         FromWide(wide.chars, -1, path);
}

bool ResolveLinks(const FilePath& path, FilePath& resolved) {
  resolved = path;
  return true;
}

FileFacts InspectFile(const FilePath& path) {
  FileFacts facts;
  const DWORD attributes = AttributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
  facts.exists = true;
  facts.mode = attributes;
  facts.read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  facts.regular = (attributes & kNotAFile) == 0;
  HANDLE file = Open(path, READ_CONTROL, kShareAll, OPEN_EXISTING);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    // Replacing would split hard links, give the file this user as its
    // owner, or put a file in place of a link.
    facts.in_place = (GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1) ||
                     !OwnedByThisUser(file) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.regular = facts.regular && GetFileType(file) == FILE_TYPE_DISK;
    IdentityOf(reinterpret_cast<FileHandle>(file), facts.identity);
    CloseHandle(file);
  }
  return facts;
}

OpenResult OpenLocked(const FilePath& path, bool exclusive, FileHandle& file) {
  OpenResult result = OpenResult::kBusy;
  RetryWhileBusy([&] {
    // Shared as the other programs that hold it open share it; the lock
    // makes other readers get an error, which they retry, not a mixture.
    HANDLE handle = Open(path, exclusive ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    const DWORD attributes = AttributesOf(path);
    OVERLAPPED whole{};
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      result = OpenResult::kMissing;
    } else if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotAFile) != 0) ||
               (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK)) {
      result = OpenResult::kNotRegular;
    } else if (handle != INVALID_HANDLE_VALUE &&
               LockFileEx(handle,
                          (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0,
                          MAXDWORD, MAXDWORD, &whole)) {
      file = reinterpret_cast<FileHandle>(handle);
      return (result = OpenResult::kOpened), true;
    }
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return result != OpenResult::kBusy;
  });
  return result;
}

void CloseFile(FileHandle file) { CloseHandle(Handle(file)); }

bool LengthOf(FileHandle file, std::uint64_t& length) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle(file), &size)) return false;
  length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

bool IdentityOf(FileHandle file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(Handle(file), &info)) return false;
  identity.device = info.dwVolumeSerialNumber;
  identity.number = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

bool ReadAt(FileHandle file, char* buffer, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    OVERLAPPED at = At(offset + done);
    DWORD got = 0;
    if (!ReadFile(Handle(file), buffer + done, static_cast<DWORD>(size - done), &got, &at) ||
        got == 0) {
      return false;
    }
    done += got;
  }
  return true;
}

bool WriteAt(FileHandle file, const char* buffer, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    OVERLAPPED at = At(offset + done);
    DWORD written = 0;
    if (!WriteFile(Handle(file), buffer + done, static_cast<DWORD>(size - done), &written, &at) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// SetEndOfFile extends the file, giving it its clusters at once (or failing
// on a full disk), as posix_fallocate does on POSIX.
bool SetLengthAndSync(FileHandle file, std::uint64_t length) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(Handle(file), end, nullptr, FILE_BEGIN) && SetEndOfFile(Handle(file)) &&
         FlushFileBuffers(Handle(file));
}

bool Sync(FileHandle file) { return FlushFileBuffers(Handle(file)) != 0; }

// Without delete sharing: what marks it as held by a running save.
FileHandle CreateHeld(const FilePath& path) {
  HANDLE handle =
      Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

// Deleting fails while a running save holds the file.
bool RemoveAbandoned(const FilePath& path) {
  HANDLE handle = OpenOwnHandle(path, 0);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  WidePath wide;
  return ToWide(path.View(), CP_UTF8, wide) && DeleteFileW(wide.chars) != 0;
}

FileHandle OpenOwn(const FilePath& path) {
  HANDLE handle = OpenOwnHandle(path, GENERIC_READ);
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

bool PathExists(const FilePath& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

void RemovePath(const FilePath& path) {
  WidePath wide;
  if (ToWide(path.View(), CP_UTF8, wide)) DeleteFileW(wide.chars);
}

// The file system's journal keeps a new name once the file is flushed:
// folders are not forced on Windows.
bool SyncFolderOf(const FilePath&) { return true; }

// A replace keeps the hidden, system and not-indexed attributes and sets
// the archive one, as any change does; the new file has this user as its
// owner and the access list the folder gives new files. A file of another
// user's is written in place instead (InspectFile), keeping both.
bool ReplaceWith(FileHandle temporary, const FilePath& temporary_path, const FilePath& target,
                 const FileFacts& keep) {
  const bool flushed = FlushFileBuffers(Handle(temporary)) != 0;
  CloseHandle(Handle(temporary));
  WidePath wide;
  const DWORD kept = (keep.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                     FILE_ATTRIBUTE_ARCHIVE;
  if (!flushed || (keep.exists && (!ToWide(temporary_path.View(), CP_UTF8, wide) ||
                                   !SetFileAttributesW(wide.chars, kept)))) {
    return false;
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

// The local application data folder is the user's alone; the folder made in
// it inherits that.
bool PrivateFolder(FilePath& folder, bool create) {
  WidePath base;
  if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base.chars) !=
          S_OK ||
      !FromWide(base.chars, -1, folder) || !folder.Append("\\KOVRateCalc")) {
    return false;
  }
  WidePath wide;
  if (create && ToWide(folder.View(), CP_UTF8, wide)) CreateDirectoryW(wide.chars, nullptr);
  HANDLE handle = Open(folder, READ_CONTROL, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool own = GetFileInformationByHandle(handle, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   OwnedByThisUser(handle);
  CloseHandle(handle);
  return own;
}

void PauseMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace ratecalc
