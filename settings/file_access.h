// The file operations the settings code needs beyond the C library, done
// alike by posix/file_access.cpp and windows/file_access.cpp, as the build
// chooses. What each step leaves on the disk is in in_place_save.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ratecalc {

// Longer paths are not settings files this program can use.
inline constexpr std::size_t kMaxPathLength = 4095;

// A file another program holds for a moment, or another save has locked, is
// retried this long: about a second, which outlasts a backup or virus
// scanner's look at the file.
inline constexpr int kBusyRetryMs = 1000;
inline constexpr int kBusyPauseMs = 50;

// A path as the platform's calls take it: the program's 8-bit text on
// POSIX, UTF-8 on Windows (turned into UTF-16 for every call there).
struct FilePath {
  char chars[kMaxPathLength + 1] = {};
  std::size_t length = 0;

  // False, leaving the path empty, when the text does not fit or holds a NUL.
  bool Assign(std::string_view text) { return (length = 0), Append(text); }
  bool Append(std::string_view text) {
    const bool fits = text.size() <= kMaxPathLength - length && text.find('\0') == text.npos;
    if (fits) std::memcpy(chars + length, text.data(), text.size());
    length = fits ? length + text.size() : 0;
    chars[length] = '\0';
    return fits;
  }
  bool AppendHex(std::uint64_t value) {
    char digits[16];
    std::size_t n = sizeof digits;
    do digits[--n] = "0123456789abcdef"[value % 16];
    while ((value /= 16) != 0);
    return Append({digits + n, sizeof digits - n});
  }
  const char* c_str() const { return chars; }
  std::string_view View() const { return {chars, length}; }
};

// The caller's path, in 8-bit text of the Windows code page; false for an
// empty one, which names no file.
bool PathFromCaller(std::string_view text, FilePath& path);

// The file `path` names once symbolic links are followed. False for a link
// in a folder that all may write and that keeps others' names (sticky) when
// the link is neither this user's nor the folder owner's: another user may
// have planted it. (Windows follows links itself when it writes in place.)
bool ResolveLinks(const FilePath& path, FilePath& resolved);

// What names one file on this machine, whatever path leads to it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
};

// What a save must know and keep of a file.
struct FileFacts {
  bool exists = false;
  bool regular = false;    // a FIFO, device, socket or folder is never written
  bool read_only = false;  // the owner's write bit, or the read-only attribute
  bool in_place = false;   // several names, a link, or a new file could not keep its owner
  unsigned long mode = 0;  // POSIX permission bits, or Windows attributes
  long owner = -1;
  long group = -1;
  FileIdentity identity;
};
FileFacts InspectFile(const FilePath& path);

// An open file: a descriptor on POSIX, a handle on Windows.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens a regular file, never waiting on a FIFO or device, locked shared
// (to read) or exclusive (to read and write) against other saves and
// loads; a lock held elsewhere is retried for kBusyRetryMs.
enum class OpenResult { kOpened, kMissing, kNotRegular, kBusy };
OpenResult OpenLocked(const FilePath& path, bool exclusive, FileHandle& file);
void CloseFile(FileHandle file);  // and its lock

bool LengthOf(FileHandle file, std::uint64_t& length);
bool IdentityOf(FileHandle file, FileIdentity& identity);
bool ReadAt(FileHandle file, char* buffer, std::size_t size, std::uint64_t offset);
bool WriteAt(FileHandle file, const char* buffer, std::size_t size, std::uint64_t offset);
// Makes the file `length` bytes long, a longer one with its disk space
// taken at once (or failing on a full disk), and forces it to the disk.
bool SetLengthAndSync(FileHandle file, std::uint64_t length);
bool Sync(FileHandle file);

// Creates the file owner-only, open to read and write and held: while it is
// open, RemoveAbandoned leaves it (a lock on POSIX, no delete sharing on
// Windows). kNoFile when the name is taken or cannot be made.
FileHandle CreateHeld(const FilePath& path);
// Removes a regular file of this user's, reached through no link, that no
// process holds: what a killed save left.
bool RemoveAbandoned(const FilePath& path);
// Opens such a file, held or not, to read; kNoFile for anything else.
FileHandle OpenOwn(const FilePath& path);
bool SyncFolderOf(const FilePath& path);

// Gives the temporary what a replace keeps of `keep`, forces it to the disk,
// closes it and renames it over `target` in one step, forced to the disk.
// False when the file could not be replaced; the temporary is still there.
bool ReplaceWith(FileHandle temporary, const FilePath& temporary_path, const FilePath& target,
                 const FileFacts& keep);

// The user's folder for redo records, made owner-only with any folder missing
// on the way when `create`: .local/state/KOVRateCalc in the home folder on
// POSIX (HOME when it is this user's folder, else the user database's),
// %LOCALAPPDATA%\KOVRateCalc on Windows. False when what is there (links
// followed) is no folder of this user's alone.
bool PrivateFolder(FilePath& folder, bool create);

void PauseMilliseconds(int milliseconds);

// Calls `attempt` until it returns true or kBusyRetryMs have passed.
template <typename Attempt>
bool RetryWhileBusy(Attempt attempt) {
  for (int waited = 0;; waited += kBusyPauseMs) {
    if (attempt()) return true;
    if (waited >= kBusyRetryMs) return false;
    PauseMilliseconds(kBusyPauseMs);
  }
}

}  // namespace ratecalc
