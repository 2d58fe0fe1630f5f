// The file operations of the settings code, done alike by posix/ and
// windows/file_access.cpp. What each step leaves on the disk: in_place_save.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ratecalc {

// Longer paths are not settings files this program can use.
inline constexpr std::size_t kMaxPathLength = 4095;

// A file held for a moment (a backup or virus scanner, another save) is
// retried this long.
inline constexpr int kBusyRetryMs = 1000;
inline constexpr int kBusyPauseMs = 50;

// A path: the program's 8-bit text on POSIX, UTF-8 on Windows.
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

// The caller's 8-bit path; false for an empty one.
bool PathFromCaller(std::string_view text, FilePath& path);

// The file `path` names, links followed; false for a link that is neither
// this user's nor root's (POSIX).
bool ResolveLinks(const FilePath& path, FilePath& resolved);

struct FileIdentity {
  std::uint64_t volume = 0;  // kept when its disk comes back under another device number
  std::uint64_t number = 0;
};

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

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens a regular file (never waiting on a FIFO or device) locked shared
// to read or exclusive to write, retrying a lock held elsewhere.
enum class OpenResult { kOpened, kMissing, kNotRegular, kDenied, kBusy };
OpenResult OpenLocked(const FilePath& path, bool exclusive, FileHandle& file);
void CloseFile(FileHandle file);  // and its lock

bool Describe(FileHandle file, std::uint64_t& length, FileIdentity& identity);
bool ReadAll(FileHandle file, char* buffer, std::size_t size);  // from the start
bool WriteAt(FileHandle file, const char* buffer, std::size_t size, std::uint64_t offset);
// Sets the length, a longer one's space taken at once, and forces it.
bool SetLengthAndSync(FileHandle file, std::uint64_t length);
bool Sync(FileHandle file);

// A new owner-only file, held while open (RemoveAbandoned leaves it); kNoFile
// when the name is taken.
FileHandle CreateHeld(const FilePath& path);
// Opens a regular file of this user's, reached through no link, that no
// running save holds, to read.
FileHandle OpenOwn(const FilePath& path);
// Removes such a file that no process holds: what a killed save left.
bool RemoveAbandoned(const FilePath& path);
bool SyncFolderOf(const FilePath& path);

// Gives the temporary what a replace keeps of `keep`, closes it and renames
// it over `target`, all forced; false, the temporary left, when it cannot.
bool ReplaceWith(FileHandle temporary, const FilePath& temporary_path, const FilePath& target,
                 const FileFacts& keep);

// The user's folder for redo records (made owner-only when `create`):
// ~/.local/state/KOVRateCalc (HOME if this user's, else the user database's),
// %LOCALAPPDATA%\KOVRateCalc on Windows. False when it is not this user's alone.
bool PrivateFolder(FilePath& folder, bool create);

void PauseMilliseconds(int milliseconds);

// Calls `attempt` until it returns true or kBusyRetryMs have passed.
template <typename Attempt>
void RetryWhileBusy(Attempt attempt) {
  for (int waited = 0; !attempt() && waited < kBusyRetryMs; waited += kBusyPauseMs) {
    PauseMilliseconds(kBusyPauseMs);
  }
}

}  // namespace ratecalc
