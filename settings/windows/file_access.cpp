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

struct WidePath {
  wchar_t chars[kMaxPathLength + 1];
};

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle Held(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }  // -1 is kNoFile

// Empty when the text cannot be turned into UTF-16.
WidePath Wide(std::string_view text, UINT code_page = CP_UTF8) {
  WidePath out;
  const int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                                    out.chars, static_cast<int>(kMaxPathLength));
  out.chars[n] = L'\0';
  return out;
}

bool FromWide(const wchar_t* text, FilePath& out) {
  char utf8[kMaxPathLength + 1];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, lstrlenW(text), utf8,
                                    static_cast<int>(kMaxPathLength), nullptr, nullptr);
  return n > 0 && out.Assign({utf8, static_cast<std::size_t>(n)});
}

HANDLE Open(const FilePath& path, DWORD access, DWORD share, DWORD creation, DWORD flags = 0) {
  return CreateFileW(Wide(path.View()).chars, access, share, nullptr, creation, flags, nullptr);
}

// Whether the owner is this process's user, or the owner it gives what it
// creates (an administrators' group when elevated).
bool OwnedByThisUser(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  HANDLE token = nullptr;
  alignas(8) unsigned char info[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD n = 0;
  const bool ours = GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                    nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
                    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                    ((GetTokenInformation(token, TokenUser, info, sizeof info, &n) &&
                      EqualSid(owner, reinterpret_cast<TOKEN_USER*>(info)->User.Sid)) ||
                     (GetTokenInformation(token, TokenOwner, info, sizeof info, &n) &&
                      EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(info)->Owner)));
  if (token) CloseHandle(token);
  LocalFree(descriptor);
  return ours;
}

FileIdentity IdentityFrom(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Any reader may lock a file exclusively: an open that bars writers shows no save runs.
bool ReopenBarringWriters(const FilePath& path, HANDLE& handle) {
  CloseHandle(handle);
  return (handle = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING)) !=
         INVALID_HANDLE_VALUE;
}

}  // namespace

bool PathFromCaller(std::string_view text, FilePath& path) {
  const WidePath wide = Wide(text, CP_ACP);
  path.Assign("");
  return !text.empty() && text.find('\0') == text.npos && wide.chars[0] != L'\0' &&
         FromWide(wide.chars, path);
}

bool ResolveLinks(const FilePath& path, FilePath& resolved) { return (resolved = path), true; }

FileFacts InspectFile(const FilePath& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path.View()).chars);
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  HANDLE file = Open(path, READ_CONTROL, kShareAll, OPEN_EXISTING);
  BY_HANDLE_FILE_INFORMATION info{};
  // Replacing would split hard links, change the owner, or replace a link.
  const FileFacts facts{
      .exists = true,
      .regular = (attributes & kNotAFile) == 0 && GetFileType(file) == FILE_TYPE_DISK,
      .read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0,
      .in_place = (GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1) ||
                  !OwnedByThisUser(file) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
      .mode = attributes,
      .identity = IdentityFrom(info)};
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
    const DWORD error = GetLastError(), attributes = GetFileAttributesW(Wide(path.View()).chars);
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
                          MAXDWORD, MAXDWORD, &whole) ||
               (!exclusive && ReopenBarringWriters(path, handle))) {
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

// Through a view, which another's lock does not bar as it bars ReadFile (OpenLocked opens such
// a file only while no one may write); the copy reports a failing disk where a read would crash.
bool ReadAll(FileHandle file, char* buffer, std::size_t size) {
  const HANDLE mapping =
      size == 0 ? nullptr : CreateFileMappingW(Handle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size) : nullptr;
  const bool copied = view && ReadProcessMemory(GetCurrentProcess(), view, buffer, size, nullptr);
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  return size == 0 || copied;
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
  const LARGE_INTEGER end{.QuadPart = static_cast<LONGLONG>(length)};
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
  const bool own = handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
                   GetFileInformationByHandle(handle, &info) &&
                   (info.dwFileAttributes & (kNotAFile | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                   OwnedByThisUser(handle);
  if (!own) CloseHandle(handle);
  return own ? Held(handle) : kNoFile;
}

// Deleting fails while a running save holds the file.
bool RemoveAbandoned(const FilePath& path) {
  const FileHandle own = OpenOwn(path);
  if (own == kNoFile) return false;
  CloseFile(own);
  return DeleteFileW(Wide(path.View()).chars) != 0;
}

// No call forces a folder; the journal keeps a new name once it is flushed.
bool SyncFolderOf(const FilePath&) { return true; }

// A replace keeps the hidden, system and not-indexed attributes, sets archive
// and keeps the access list; the new file gets this user as owner (another
// user's file is written in place instead).
bool ReplaceWith(FileHandle temporary, const FilePath& temporary_path, const FilePath& target,
                 const FileFacts& keep) {
  const bool flushed = FlushFileBuffers(Handle(temporary)) != 0;
  CloseHandle(Handle(temporary));
  WidePath from = Wide(temporary_path.View()), to = Wide(target.View());
  const DWORD kept = (keep.mode & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                     FILE_ATTRIBUTE_ARCHIVE;
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  const bool kept_all =
      !keep.exists ||
      (SetFileAttributesW(from.chars, kept) &&
       GetNamedSecurityInfoW(to.chars, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                             &list, nullptr, &descriptor) == ERROR_SUCCESS &&
       GetSecurityDescriptorControl(descriptor, &control, &revision) &&
       SetNamedSecurityInfoW(
           from.chars, SE_FILE_OBJECT,
           DACL_SECURITY_INFORMATION |
               ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                              : UNPROTECTED_DACL_SECURITY_INFORMATION),
           nullptr, nullptr, list, nullptr) == ERROR_SUCCESS);
  LocalFree(descriptor);
  if (!flushed || !kept_all) return false;
  // A reader holding the file for a moment blocks it; other failures are
  // final. Written through: on the disk when it returns.
  bool moved = false;
  RetryWhileBusy([&] {
    moved =
        MoveFileExW(from.chars, to.chars, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    const DWORD error = moved ? 0 : GetLastError();
    return error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
           error != ERROR_LOCK_VIOLATION;
  });
  return moved;
}

// The local application data folder is the user's alone, and so what it holds.
bool PrivateFolder(FilePath& folder, bool create) {
  WidePath wide;
  const bool named = SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                      wide.chars) == S_OK &&
                     FromWide(wide.chars, folder) && folder.Append("\\KOVRateCalc");
  if (named && create) CreateDirectoryW(Wide(folder.View()).chars, nullptr);
  HANDLE handle = Open(folder, READ_CONTROL, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool own = named && GetFileInformationByHandle(handle, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   OwnedByThisUser(handle);
  CloseHandle(handle);
  return own;
}

void PauseMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace ratecalc
