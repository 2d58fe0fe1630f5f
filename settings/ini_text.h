// Reading and updating the text of an initialisation file the way the
// platform's own profile functions read it, while keeping every byte of the
// file that an update does not touch.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "value_text.h"

namespace ratecalc {

// The value of `key` in the first section named `section` (both compared
// without regard to ASCII case), white space around it removed, one pair of
// enclosing matching quotes removed, cut to kMaxValueTextLength characters.
// Only the first matching key of that section counts. Nothing when the
// section or the key is missing.
std::optional<std::string> FindIniValue(std::string_view content, std::string_view section,
                                        std::string_view key);

// The content with `key` set to `value` in the first section named
// `section`: an existing key line is rewritten as key=value in place, a
// missing key is added after the section's last key line, and a missing
// section is appended at the end. New lines use the file's own line end
// (CRLF for a file that has none yet).
std::string SetIniValue(std::string_view content, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace ratecalc
