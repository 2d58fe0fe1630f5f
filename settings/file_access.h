// The few file operations saving needs beyond the C library, each a small
// function of its own so that the rest of the settings code stays portable.
#pragma once

#include <string>

namespace ratecalc {

// Whether the file exists and is marked read-only, as the platform sees it
// (on Windows the read-only attribute, elsewhere the owner's write bit), so
// that a read-only settings file is honoured even for an administrator.
bool IsReadOnlyFile(const std::string& path);

// A name beside `path` that no other save, in this process or another one
// running now, will use: the process id and a per-process counter.
std::string TemporaryPathBeside(const std::string& path);

// Creates `path` with `content` and forces it to the disk before returning
// true; on any failure returns false and the file may be incomplete.
bool WriteFileDurably(const std::string& path, const std::string& content);

// Replaces `target` by `source` atomically: a reader sees the old file or
// the new one, never a mixture. False if it could not be done, in which
// case `target` is unchanged.
bool ReplaceFileAtomically(const std::string& source, const std::string& target);

}  // namespace ratecalc
