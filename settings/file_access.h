// The file operations saving needs beyond the C library, each a small
// function of its own so that the rest of the settings code stays portable.
// Open files are C streams in binary mode. Nothing here allocates.
//
// What each leaves after a crash (a kill, a power cut once the disk has
// what was forced to it) is said beside it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace ratecalc {

// Longer paths are not settings files this program can use: loading them
// gives the defaults and saving them does nothing.
inline constexpr std::size_t kMaxPathLength = 4095;

// A file is read and written through buffers of this size, so memory does
// not grow with the file.
inline constexpr std::size_t kChunkBytes = 65536;

// A file that another program holds open, or that another save has locked,
// is retried this long before it counts as unreadable or busy: about a
// second, which outlasts a backup or virus scanner's look at the file.
inline constexpr int kBusyRetryMs = 1000;
inline constexpr int kBusyPauseMs = 50;

struct FilePath {
  char chars[kMaxPathLength + 1] = {};
  std::size_t length = 0;

  // False, leaving the path empty, when the text does not fit or holds a NUL.
  bool Assign(std::string_view text);
  bool Append(std::string_view text);
  const char* c_str() const { return chars; }
  std::string_view View() const { return {chars, length}; }
};

// Whether the file exists and is marked read-only, as the platform sees it
// (on Windows the read-only attribute, elsewhere the owner's write bit), so
// that a read-only settings file is honoured even for an administrator.
bool IsReadOnlyFile(const FilePath& path);

// The file that `path` names once symbolic links are followed, whether or
// not that file exists yet; `path` itself when it is no link.
FilePath ResolveLinks(const FilePath& path);

// What a save must know and keep of an existing file.
struct FileFacts {
  bool exists = false;
  bool regular = false;        // a FIFO, device, socket or folder is never written
  bool several_names = false;  // hard links: replacing would split them
  bool foreign_owner = false;  // a new file could not be given its owner and group
  unsigned long mode = 0;      // POSIX permission bits, or Windows attributes
  long owner = -1;
  long group = -1;
};
FileFacts InspectFile(const FilePath& path);

enum class OpenResult { Opened, Missing, Unreadable };

// Opens a regular file for reading without ever blocking (a FIFO or a
// device counts as unreadable); Missing only when it does not exist.
// Unreadable too while a save writes the file in place.
OpenResult OpenForReading(const FilePath& path, std::FILE*& file);

// Opens an existing regular file for reading and writing and locks it
// against every other save and load, waiting up to kBusyRetryMs for
// another save to finish. Null when it cannot. The lock goes with
// CloseLocked, or with the process.
std::FILE* OpenLocked(const FilePath& path);
void CloseLocked(std::FILE* file);

// Creates a new file beside `target` for reading and writing, readable by
// its owner alone: `target`.<process>-<n>.tmp, taking the next n while a
// name is taken. While the stream is open it is marked as held by a
// running save, so RemoveStaleTemporaries leaves it. After a crash the
// file stays until a later save removes it; `target` is not touched.
std::FILE* CreateTemporaryBeside(const FilePath& target, FilePath& temporary);

// A file without a name in the system's temporary folder, gone when closed.
std::FILE* CreateScratchFile();

// Forces the temporary to the disk, gives it the permissions, owner and
// group (or attributes) of `keep`, closes it and puts it in the place of
// `target` in one step: after a crash `target` is the old file or the new
// one, never a mixture. False when the file could not be replaced; the
// temporary is then closed but still there, whole.
bool ReplaceWithTemporary(std::FILE* temporary, const FilePath& temporary_path,
                          const FilePath& target, const FileFacts& keep);

// Forces the file to the disk, closes it and renames it to `to`, replacing
// any file there. After a crash `to` is whole or absent.
bool CloseAndRename(std::FILE* file, const FilePath& from, const FilePath& to);

// Makes the locked file `target` hold exactly what `source` holds, writing
// only from the first byte that differs. Room for a longer file is taken
// from the disk first, so a full disk leaves the file exactly as it was
// (Unchanged). Forced to the disk. A failure or a crash part-way (Torn)
// leaves the new bytes up to some point after the first difference and the
// old ones after it; a redo record (see settings_file.cpp) makes that whole.
enum class InPlaceResult { Written, Unchanged, Torn };
InPlaceResult OverwriteInPlace(std::FILE* source, std::FILE* target);

// Where a redo record of `target` goes when its own folder is not
// writable: the user's temporary folder, named after the file's identity
// (device and file number), so that every path to the file finds it.
// False when the file does not exist.
bool RedoPathInTemporaryFolder(const FilePath& target, FilePath& redo);

// Opens a redo record for reading: a regular file of this user's, reached
// through no link (a shared temporary folder may hold others' files).
std::FILE* OpenRedoRecord(const FilePath& path);

// Whether a file of that name exists; and removing one.
bool PathExists(const FilePath& path);
void RemovePath(const FilePath& path);

// Removes the temporary files beside `path` that saves left behind when
// they were killed. One is stale when no running save holds it (see
// CreateTemporaryBeside) and either its process has ended or it was last
// written over kStaleTemporarySeconds ago: process ids are reused, and a
// save that holds its file open writes it, or is about to rename it, now.
inline constexpr int kStaleTemporarySeconds = 60;
void RemoveStaleTemporaries(const FilePath& path);

void PauseMilliseconds(int milliseconds);

// Calls `attempt` until it returns true or kBusyRetryMs have passed in
// pauses of kBusyPauseMs; whether it returned true.
template <typename Attempt>
bool RetryWhileBusy(Attempt attempt) {
  for (int waited = 0;; waited += kBusyPauseMs) {
    if (attempt()) return true;
    if (waited >= kBusyRetryMs) return false;
    PauseMilliseconds(kBusyPauseMs);
  }
}

// The name the next temporary beside `target` would try first: the process
// id and a per-process count, so no two saves running now share one.
bool NextTemporaryPath(const FilePath& target, FilePath& temporary);

// The same for tests, as a string; product code does not call it.
inline std::string TemporaryPathBeside(const std::string& path) {
  FilePath target;
  FilePath temporary;
  target.Assign(path);
  NextTemporaryPath(target, temporary);
  return std::string(temporary.View());
}

}  // namespace ratecalc
