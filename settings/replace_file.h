// The one platform-dependent step of saving: putting a finished temporary
// file in place of the old one in a single step.
#pragma once

#include <string>

namespace ratecalc {

// Replaces `target` by `source` atomically: a reader sees the old file or
// the new one, never a mixture. False if it could not be done, in which
// case `target` is unchanged.
bool ReplaceFileAtomically(const std::string& source, const std::string& target);

}  // namespace ratecalc
