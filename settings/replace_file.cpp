#include "replace_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#endif

namespace ratecalc {

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
