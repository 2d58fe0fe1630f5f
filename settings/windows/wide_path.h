// What the two Windows files share: paths turned into UTF-16 for the
// wide-character calls, and C streams over the handles those calls return.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include <cstdio>

#include "file_access.h"

namespace ratecalc {

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct WidePath {
  wchar_t chars[kMaxPathLength + 1];
};

const wchar_t* Wide(const FilePath& path, WidePath& out);
DWORD AttributesOf(const FilePath& path);
HANDLE OpenHandle(const FilePath& path, DWORD access, DWORD share, DWORD creation, DWORD flags);
std::FILE* StreamOf(HANDLE handle, const char* mode);
// Whether the object's owner is this process's user, or the owner it gives
// what it creates (an administrators' group when elevated).
bool OwnedByThisUser(HANDLE handle);

}  // namespace ratecalc
