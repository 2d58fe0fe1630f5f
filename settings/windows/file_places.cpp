// Where files are on Windows: paths kept as UTF-8 and turned into UTF-16
// for the wide-character calls, so that a folder the system names (the
// temporary folder, the local application data) works whatever the user's
// name holds; links; the private folder; stale temporaries.
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>
// clang-format on

#include <cstdint>

#include "windows/wide_path.h"

namespace ratecalc {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns
constexpr std::string_view kPrivateFolderName = "\\KOVRateCalc";
constexpr std::string_view kTemporaryPattern = ".*.tmp";
constexpr std::string_view kLongPathPrefix = "\\\\?\\";
constexpr std::string_view kLongUncPrefix = "\\\\?\\UNC\\";
// Room for the token's user and its default owner, each with a SID.
constexpr std::size_t kTokenBytes = sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE;

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
  return n > 0 && out.Assign(std::string_view(utf8, static_cast<std::size_t>(n)));
}

bool ProcessHasEnded(unsigned long pid) {
  if (pid == GetCurrentProcessId()) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

}  // namespace

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

const wchar_t* Wide(const FilePath& path, WidePath& out) {
  ToWide(path.View(), CP_UTF8, out);
  return out.chars;
}

DWORD AttributesOf(const FilePath& path) {
  WidePath wide;
  return GetFileAttributesW(Wide(path, wide));
}

HANDLE OpenHandle(const FilePath& path, DWORD access, DWORD share, DWORD creation, DWORD flags) {
  WidePath wide;
  return CreateFileW(Wide(path, wide), access, share, nullptr, creation, flags, nullptr);
}

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
