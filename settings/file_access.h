// The file operations the settings code needs beyond the C library, carried
// out by posix/ or windows/ as the build chooses, and by file_access.cpp where
// the platforms agree. Open files are C streams in binary mode. Nothing here
// allocates. What each step leaves on the disk is in in_place_save.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// A path as the platform's calls take it: the program's 8-bit text on
// POSIX, UTF-8 on Windows (turned into UTF-16 for every call there).
struct FilePath {
  char chars[kMaxPathLength + 1] = {};
  std::size_t length = 0;

  // False, leaving the path empty, when the text does not fit or holds a NUL.
  bool Assign(std::string_view text);
  bool Append(std::string_view text);
  const char* c_str() const { return chars; }
  std::string_view View() const { return {chars, length}; }
};

// The text from `from` on, none when it is shorter: string_view's own
// substr reports a bad position by throwing, which this code never does.
inline std::string_view TextFrom(std::string_view text, std::size_t from) {
  return from < text.size() ? std::string_view(text.data() + from, text.size() - from)
                            : std::string_view();
}

// The path a caller gave, in the program's 8-bit text (the Windows code
// page). False for an empty one, which names no file.
bool PathFromCaller(std::string_view text, FilePath& path);

// The length of the folder part of `path` (0 for none), with its trailing separator.
bool IsSeparator(char c);
std::size_t FolderLength(std::string_view path);

// Appends the number in lower-case hexadecimal digits.
bool AppendHex(FilePath& out, std::uint64_t value);

// Whether the file exists and is marked read-only, as the platform sees it
// (on Windows the read-only attribute, elsewhere the owner's write bit), so
// that a read-only settings file is honoured even for an administrator.
bool IsReadOnlyFile(const FilePath& path);

// The file that `path` names once symbolic links are followed, whether or
// not that file exists yet. False for a link in a folder that every user
// may write and that keeps others' names (sticky) when the link is neither
// this user's nor the folder owner's: another user may have planted it.
bool ResolveLinks(const FilePath& path, FilePath& resolved);

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

enum class ReadResult { Read, Missing, NotRegular, Unreadable };

// Opens a regular file for reading (Read) without ever blocking, sharing a
// lock with other readers. NotRegular for a FIFO, a device or a folder, at
// once; Unreadable while a save writes the file in place, or when it
// cannot be read at all.
ReadResult OpenForReading(const FilePath& path, std::FILE*& file);

// An existing regular file, open for reading and writing and locked
// against every other save and load. Only OpenLocked makes one, so that a
// function taking it runs under the lock.
class LockedFile {
 public:
  std::FILE* Stream() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }

 private:
  friend LockedFile OpenLocked(const FilePath& path);
  friend void CloseLocked(LockedFile& locked);
  std::FILE* file_ = nullptr;
};

// Waits up to kBusyRetryMs for another save to finish; empty when it cannot.
// The lock goes with CloseLocked, or with the process.
LockedFile OpenLocked(const FilePath& path);
void CloseLocked(LockedFile& locked);

// Creates `target`.<process>-<n>.tmp, owner-only, taking the next n while a
// name is taken, kTemporaryNameAttempts names at most; held by a running save
// while open (RemoveStaleTemporaries).
inline constexpr int kTemporaryNameAttempts = 64;
std::FILE* CreateTemporaryBeside(const FilePath& target, FilePath& temporary);

// The name the next temporary beside `target` would try first: the process
// id and a per-process count, so no two saves running now share one.
bool NextTemporaryPath(const FilePath& target, FilePath& temporary);

// A file without a name in the system's temporary folder, gone when closed.
std::FILE* CreateScratchFile();

// Forces the temporary to the disk and puts it in the place of `target`
// (steps R2-R3 of in_place_save.h). False when the file could not be
// replaced; the temporary is then closed but still there.
bool ReplaceWithTemporary(std::FILE* temporary, const FilePath& temporary_path,
                          const FilePath& target, const FileFacts& keep);

// Forces the file to the disk, closes it, renames it to `to`, replacing
// any file there, and forces the folder, so that the name is on the disk too.
bool CloseAndRename(std::FILE* file, const FilePath& from, const FilePath& to);

// Plain access to an open file by position, and its length.
bool LengthOf(std::FILE* file, std::uint64_t& length);
std::size_t ReadAt(std::FILE* file, char* buffer, std::size_t size, std::uint64_t offset);
bool WriteAt(std::FILE* file, const char* buffer, std::size_t size, std::uint64_t offset);
// Takes room for `length` bytes from the disk; the file may grow to it, with zeros.
bool Reserve(std::FILE* file, std::uint64_t length);
bool CutAndSync(std::FILE* file, std::uint64_t length);
// Where `source` from `offset` first differs from `target` (`length` at the
// most, the end of a shorter `target` counting as a difference); false when
// `source` ends early.
bool FirstDifference(std::FILE* source, std::uint64_t offset, std::FILE* target,
                     std::uint64_t length, std::uint64_t& at);

// What names one file on this machine, whatever path leads to it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
};
bool IdentityOf(std::FILE* file, FileIdentity& identity);
bool IdentityOfPath(const FilePath& path, FileIdentity& identity);

// Step P5 of in_place_save.h: makes the locked file hold exactly `length`
// bytes of `source` from `offset`. Unchanged when no byte was written (a full
// disk), Torn when it failed part-way.
enum class InPlaceResult { Written, Unchanged, Torn };
InPlaceResult OverwriteInPlace(std::FILE* source, std::uint64_t offset, std::uint64_t length,
                               const LockedFile& target);

// A folder of this user's own for redo records, made owner-only where it
// is missing when `create`: under the user's state folder on POSIX, under
// the local application data on Windows. False when it is missing, or what
// is there is a link, not a folder, not this user's or open to others.
bool PrivateFolder(FilePath& folder, bool create);

// Opens a redo record for reading: a regular file of this user's, reached
// through no link. Null, and `present` false, when nothing has the name.
std::FILE* OpenOwnRecord(const FilePath& path, bool& present);

bool PathExists(const FilePath& path);
void RemovePath(const FilePath& path);

// Removes the temporaries beside `path` that killed saves left: those no
// running save holds whose process has ended or that were last written over
// kStaleTemporarySeconds ago (process ids are reused; a live save writes now).
inline constexpr int kStaleTemporarySeconds = 60;
void RemoveStaleTemporaries(const FilePath& path);

// The process id in the name of one of our temporary files beside a file
// named `base`: base.<hex pid>-<hex counter>.tmp. False for any other name.
// `fold_case` for file systems that ignore case.
bool TemporaryOwner(std::string_view name, std::string_view base, bool fold_case,
                    unsigned long& pid);

unsigned long ProcessId();
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

}  // namespace ratecalc
