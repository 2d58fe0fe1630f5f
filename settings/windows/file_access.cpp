// The file operations on Windows, through the wide-character calls (paths
// kept as UTF-8), so that a system folder works whatever the user's name.
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
constexpr std::size_t kTokenBytes = sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE;

struct WidePath {
  wchar_t chars[kMaxPathLength + 1];
};

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle Held(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }  // -1 is kNoFile

// Empty when the text cannot be turned into UTF-16.
const wchar_t* Wide(std::string_view text, WidePath& out, UINT code_page = CP_UTF8) {
  const int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                    out.chars, static_cast<int>(kMaxPathLength));
  out.chars[n] = L'\0';
  return out.chars;
}

bool FromWide(const wchar_t* text, FilePath& out) {
  char utf8[kMaxPathLength + 1];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, lstrlenW(text), utf8,
                                    static_cast<int>(kMaxPathLength), nullptr, nullptr);
  return n > 0 && out.Assign({utf8, static_cast<std::size_t>(n)});
}

HANDLE Open(const FilePath& path, DWORD access, DWORD share, DWORD creation, DWORD flags = 0) {
  WidePath wide;
  return CreateFileW(Wide(path.View(), wide), access, share, nullptr, creation, flags, nullptr);
}

DWORD AttributesOf(const FilePath& path) {
  WidePath wide;
  return GetFileAttributesW(Wide(path.View(), wide));
}

// Whether the owner is this process's user, or the owner it gives what it
// creates (an administrators' group when elevated).
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
    alignas(8) unsigned char info[kTokenBytes];
    DWORD n = 0;
    ours = (GetTokenInformation(token, TokenUser, info, sizeof info, &n) &&
            EqualSid(owner, reinterpret_cast<TOKEN_USER*>(info)->User.Sid)) ||
           (GetTokenInformation(token, TokenOwner, info, sizeof info, &n) &&
            EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(info)->Owner));
    CloseHandle(token);
  }
  LocalFree(descriptor);
  return ours;
}

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

bool PathFromCaller(std::string_view text, FilePath& path) {
  WidePath wide;
  path.Assign("");
  return !text.empty() && text.find('\0') == text.npos && *Wide(text, wide, CP_ACP) != L'\0' &&
         FromWide(wide.chars, path);
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
  HANDLE file = Open(path, READ_CONTROL, kShareAll, OPEN_EXISTING);
  BY_HANDLE_FILE_INFORMATION info{};
  facts.regular = (attributes & kNotAFile) == 0 && GetFileType(file) == FILE_TYPE_DISK;
  // Replacing would split hard links, change the owner, or replace a link.
  facts.in_place = (GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1) ||
                   !OwnedByThisUser(file) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  facts.identity = IdentityFrom(info);
  CloseHandle(file);
  return facts;
}

OpenResult OpenLocked(const FilePath& path, bool exclusive, FileHandle& file) {
  OpenResult result = OpenResult::kBusy;
  RetryWhileBusy([&] {
    // Shared as other programs share it; the lock makes other readers
    // retry rather than see a mixture.
    HANDLE handle = Open(path, GENERIC_READ | (exclusive ? GENERIC_WRITE : 0),
                         FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    const DWORD error = GetLastError(), attributes = AttributesOf(path);
    OVERLAPPED whole{};
    if (handle == INVALID_HANDLE_VALUE &&
        (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
      result = OpenResult::kMissing;
    } else if ((attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotAFile) != 0) ||
               (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK)) {
      result = OpenResult::kNotRegular;
    } else if (handle == INVALID_HANDLE_VALUE && error == ERROR_ACCESS_DENIED) {
      result = OpenResult::kDenied;
    } else if (LockFileEx(handle,
                          (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0,
                          MAXDWORD, MAXDWORD, &whole)) {
      file = Held(handle);
      return (result = OpenResult::kOpened), true;
    }
    CloseHandle(handle);
    return result != OpenResult::kBusy;
  });
  return result;
}

void CloseFile(FileHandle file) { CloseHandle(Handle(file)); }

bool Describe(FileHandle file, std::uint64_t& length, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(Handle(file), &info) != 0;
  length = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  identity = IdentityFrom(info);
  return known;
}

bool ReadAll(FileHandle file, char* buffer, std::size_t size) {
  OVERLAPPED start{};
  DWORD got = 0;
  return size == 0 ||
         (ReadFile(Handle(file), buffer, static_cast<DWORD>(size), &got, &start) && got == size);
}

bool WriteAt(FileHandle file, const char* buffer, std::size_t size, std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD written = 0;
  return size == 0 || (WriteFile(Handle(file), buffer, static_cast<DWORD>(size), &written, &at) &&
                       written == size);
}

// SetEndOfFile extends the file with its clusters at once, or fails on a
// full disk, as posix_fallocate does.
bool SetLengthAndSync(FileHandle file, std::uint64_t length) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(Handle(file), end, nullptr, FILE_BEGIN) && SetEndOfFile(Handle(file)) &&
         FlushFileBuffers(Handle(file));
}

bool Sync(FileHandle file) { return FlushFileBuffers(Handle(file)) != 0; }

// Without delete sharing: what marks it as held.
FileHandle CreateHeld(const FilePath& path) {
  return Held(Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW));
}

FileHandle OpenOwn(const FilePath& path) {
  HANDLE handle = Open(path, GENERIC_READ | READ_CONTROL | DELETE, kShareAll, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT);
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle != INVALID_HANDLE_VALUE &&
      (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
       (info.dwFileAttributes & (kNotAFile | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
       !OwnedByThisUser(handle))) {
    CloseHandle(handle);
    return kNoFile;
  }
  return Held(handle);
}

// Deleting fails while a running save holds the file.
bool RemoveAbandoned(const FilePath& path) {
  const FileHandle own = OpenOwn(path);
  if (own == kNoFile) return false;
  CloseFile(own);
  WidePath wide;
  return DeleteFileW(Wide(path.View(), wide)) != 0;
}

// No call forces a folder; the journal keeps a new name once it is flushed.
bool SyncFolderOf(const FilePath&) { return true; }

// A replace keeps the hidden, system and not-indexed attributes and sets
// archive; the new file gets this user as owner and the folder's access
// list (another user's file is written in place instead).
bool ReplaceWith(FileHandle temporary, const FilePath& temporary_path, const FilePath& target,
                 const FileFacts& keep) {
  const bool flushed = FlushFileBuffers(Handle(temporary)) != 0;
  CloseHandle(Handle(temporary));
  WidePath from;
  WidePath to;
  const DWORD kept = (keep.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                     FILE_ATTRIBUTE_ARCHIVE;
  if (!flushed || (keep.exists && !SetFileAttributesW(Wide(temporary_path.View(), from), kept))) {
    return false;
  }
  // A reader holding the file for a moment blocks it; other failures are
  // final. Written through: on the disk when it returns.
  bool moved = false;
  RetryWhileBusy([&] {
    moved = MoveFileExW(Wide(temporary_path.View(), from), Wide(target.View(), to),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    const DWORD error = moved ? 0 : GetLastError();
    return error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
           error != ERROR_LOCK_VIOLATION;
  });
  return moved;
}

// The local application data folder is the user's alone, and so what it holds.
bool PrivateFolder(FilePath& folder, bool create) {
  WidePath wide;
  if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, wide.chars) !=
          S_OK ||
      !FromWide(wide.chars, folder) || !folder.Append("\\KOVRateCalc")) {
    return false;
  }
  if (create) CreateDirectoryW(Wide(folder.View(), wide), nullptr);
  HANDLE handle = Open(folder, READ_CONTROL, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool own = GetFileInformationByHandle(handle, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   OwnedByThisUser(handle);
  CloseHandle(handle);
  return own;
}

void PauseMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace ratecalc
