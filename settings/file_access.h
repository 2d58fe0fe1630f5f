// The file operations saving needs beyond the C library, each a small
// function of its own so that the rest of the settings code stays portable.
// Open files are C streams in binary mode.
#pragma once

#include <cstdio>
#include <string>

namespace ratecalc {

// Whether the file exists and is marked read-only, as the platform sees it
// (on Windows the read-only attribute, elsewhere the owner's write bit), so
// that a read-only settings file is honoured even for an administrator.
bool IsReadOnlyFile(const std::string& path);

// The file that `path` names once symbolic links are followed, whether or
// not that file exists yet; `path` itself when it is no link.
std::string ResolveLinks(const std::string& path);

// What a save must keep of an existing file.
struct FileFacts {
  bool exists = false;
  bool several_names = false;  // hard links: replacing would split them
  unsigned long mode = 0;      // POSIX permission bits, or Windows attributes
  long owner = -1;
  long group = -1;
};
FileFacts InspectFile(const std::string& path);

enum class OpenResult { Opened, Missing, Unreadable };

// Opens the file for reading; Missing only when it does not exist.
OpenResult OpenForReading(const std::string& path, std::FILE*& file);

// A name beside `path` that no other save, in this process or another one
// running now, will use: the process id and a per-process counter.
std::string TemporaryPathBeside(const std::string& path);

// Creates the file `path` (which must not exist) for reading and writing,
// readable by its owner alone until FinishTemporary.
std::FILE* CreateTemporary(const std::string& path);

// A file without a name in the system's temporary folder, gone when closed.
std::FILE* CreateScratchFile();

// Forces the file to the disk, gives it the permissions (and where allowed
// the owner) or attributes in `keep`, and closes it. False on any failure.
bool FinishTemporary(std::FILE* file, const std::string& path, const FileFacts& keep);

// Replaces `target` by `source` atomically: a reader sees the old file or
// the new one, never a mixture. False if it could not be done, in which
// case `target` is unchanged.
bool ReplaceFileAtomically(const std::string& source, const std::string& target);

// Writes the whole content of `source` into the existing file `target` in
// place (as the platform's own profile functions do): from its start, cut
// to the new length, forced to the disk. For when a file can be written but
// not replaced. False on any failure.
bool OverwriteInPlace(std::FILE* source, const std::string& target);

// Removes the temporary files beside `path` that saves killed before they
// finished left behind: only those whose process has ended.
void RemoveStaleTemporaries(const std::string& path);

void PauseMilliseconds(int milliseconds);

}  // namespace ratecalc
