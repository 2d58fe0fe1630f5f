// The file operations on POSIX systems.
#include "file_access.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace ratecalc {
namespace {

constexpr mode_t kOwnerOnlyFile = S_IRUSR | S_IWUSR;
constexpr mode_t kOwnerOnlyFolder = S_IRWXU;
constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
constexpr mode_t kPermissionBits = 07777;
// As the kernel's own limit on links followed while opening a path.
constexpr int kMaxLinkDepth = 40;
constexpr long kNanosecondsPerMillisecond = 1000000;

bool ProcessHasEnded(unsigned long pid) {
  return kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH;
}

// Whether this process is in the group, as the owner of a file it creates would be.
bool InGroup(gid_t group) {
  if (getegid() == group) return true;
  gid_t groups[NGROUPS_MAX];
  const int count = getgroups(NGROUPS_MAX, groups);
  for (int i = 0; i < count; ++i) {
    if (groups[i] == group) return true;
  }
  return false;
}

// Opens a regular file without waiting on a FIFO's writer or a device;
// -1 with errno EISDIR for anything else.
int OpenRegular(const FilePath& path, int flags) {
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
  if (fd == -1) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EISDIR;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// The folder holding `path`, "." when it names none.
FilePath FolderOf(const FilePath& path) {
  FilePath folder;
  const std::size_t length = FolderLength(path.View());
  folder.Assign(length == 0 ? "." : path.View().substr(0, length));
  return folder;
}

// A link in a sticky folder that all may write is followed only when it is
// this user's or the folder owner's: the rule the kernel applies when it
// follows links itself.
bool MayFollow(const FilePath& link, const struct stat& link_info) {
  struct stat folder {};
  if (stat(FolderOf(link).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || link_info.st_uid == geteuid() || link_info.st_uid == folder.st_uid;
}

bool SyncFolderOf(const FilePath& path) {
  const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd == -1) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

// Makes the folder if it is missing, owner-only; then it must be a folder
// of this user's that no one else may write, reached through no link.
bool OwnFolder(const FilePath& folder, bool create) {
  if (create) mkdir(folder.c_str(), kOwnerOnlyFolder);
  struct stat info {};
  return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

bool IsSeparator(char c) { return c == '/'; }

bool PathFromCaller(std::string_view text, FilePath& path) {
  return path.Assign(text) && path.length > 0;
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

bool IsReadOnlyFile(const FilePath& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

bool ResolveLinks(const FilePath& path, FilePath& resolved) {
  resolved = path;
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat info {};
    if (lstat(resolved.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    if (!MayFollow(resolved, info)) return false;
    char target[PATH_MAX];
    const ssize_t n = readlink(resolved.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return true;
    const std::string_view link(target, static_cast<std::size_t>(n));
    FilePath next;
    if (link.front() != '/') next.Assign(resolved.View().substr(0, FolderLength(resolved.View())));
    if (!next.Append(link)) return true;
    resolved = next;
  }
  return true;
}

FileFacts InspectFile(const FilePath& path) {
  FileFacts facts;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return facts;
  facts.exists = true;
  facts.regular = S_ISREG(info.st_mode);
  facts.several_names = info.st_nlink > 1;
  facts.mode = info.st_mode & kPermissionBits;
  facts.owner = static_cast<long>(info.st_uid);
  facts.group = static_cast<long>(info.st_gid);
  facts.foreign_owner = geteuid() != 0 && (info.st_uid != geteuid() || !InGroup(info.st_gid));
  return facts;
}

ReadResult OpenForReading(const FilePath& path, std::FILE*& file) {
  file = nullptr;
  const int fd = OpenRegular(path, O_RDONLY);
  if (fd == -1) {
    if (errno == ENOENT) return ReadResult::Missing;
    return errno == EISDIR ? ReadResult::NotRegular : ReadResult::Unreadable;
  }
  // A save writing the file in place holds it exclusively.
  if (flock(fd, LOCK_SH | LOCK_NB) != 0 || !(file = fdopen(fd, "rb"))) {
    close(fd);
    return ReadResult::Unreadable;
  }
  return ReadResult::Read;
}

LockedFile OpenLocked(const FilePath& path) {
  LockedFile locked;
  const int fd = OpenRegular(path, O_RDWR);
  if (fd == -1) return locked;
  const bool held = RetryWhileBusy([fd] { return flock(fd, LOCK_EX | LOCK_NB) == 0; });
  locked.file_ = held ? fdopen(fd, "r+b") : nullptr;
  if (!locked.file_) close(fd);
  return locked;
}

void CloseLocked(LockedFile& locked) {
  std::fclose(locked.file_);
  locked.file_ = nullptr;
}

std::FILE* CreateTemporaryBeside(const FilePath& target, FilePath& temporary) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    if (!NextTemporaryPath(target, temporary)) return nullptr;
    const int fd = open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnlyFile);
    if (fd == -1) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    // The lock marks it as held by a running save. A cleaner may have
    // removed the name between the two steps: then try the next one.
    struct stat opened {};
    struct stat named {};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 &&
        stat(temporary.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
        opened.st_dev == named.st_dev) {
      if (std::FILE* file = fdopen(fd, "r+b")) return file;
      unlink(temporary.c_str());
      close(fd);
      return nullptr;
    }
    close(fd);
  }
  return nullptr;
}

std::FILE* CreateScratchFile() { return std::tmpfile(); }

// A replace keeps the permission bits, and the owner and group where this
// user may give them; a new file gets the mode any new file gets.
bool ReplaceWithTemporary(std::FILE* temporary, const FilePath& temporary_path,
                          const FilePath& target, const FileFacts& keep) {
  const int fd = fileno(temporary);
  bool ok = true;
  if (keep.exists) {
    // The mode after the owner, since a change of owner clears the set-id bits.
    if (fchown(fd, static_cast<uid_t>(keep.owner), static_cast<gid_t>(keep.group)) != 0) {
      [[maybe_unused]] const int ignored =
          fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(keep.group));
    }
    ok = fchmod(fd, static_cast<mode_t>(keep.mode)) == 0;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    ok = fchmod(fd, kNewFileMode & ~mask) == 0;
  }
  if (ok) return CloseAndRename(temporary, temporary_path, target);
  std::fclose(temporary);
  return false;
}

// Renamed while still open, so that it is held until it has its place.
bool CloseAndRename(std::FILE* file, const FilePath& from, const FilePath& to) {
  const bool ok = std::fflush(file) == 0 && fsync(fileno(file)) == 0 &&
                  std::rename(from.c_str(), to.c_str()) == 0;
  std::fclose(file);
  return ok && SyncFolderOf(to);
}

bool LengthOf(std::FILE* file, std::uint64_t& length) {
  struct stat info {};
  if (fstat(fileno(file), &info) != 0) return false;
  length = static_cast<std::uint64_t>(info.st_size);
  return true;
}

std::size_t ReadAt(std::FILE* file, char* buffer, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got =
        pread(fileno(file), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool WriteAt(std::FILE* file, const char* buffer, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n =
        pwrite(fileno(file), buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool Reserve(std::FILE* file, std::uint64_t length) {
  // A file system that cannot reserve (EINVAL, EOPNOTSUPP) gets the write
  // unreserved; one that has no room says so.
  const int result = posix_fallocate(fileno(file), 0, static_cast<off_t>(length));
  return result == 0 || result == EINVAL || result == EOPNOTSUPP;
}

bool CutAndSync(std::FILE* file, std::uint64_t length) {
  return ftruncate(fileno(file), static_cast<off_t>(length)) == 0 && fsync(fileno(file)) == 0;
}

bool IdentityOf(std::FILE* file, FileIdentity& identity) {
  struct stat info {};
  if (fstat(fileno(file), &info) != 0) return false;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.number = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

bool IdentityOfPath(const FilePath& path, FileIdentity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.number = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

bool PrivateFolder(FilePath& folder, bool create) {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') {
    if (!folder.Assign(state)) return false;
  } else {
    const char* home = std::getenv("HOME");
    const passwd* user = home && home[0] == '/' ? nullptr : getpwuid(geteuid());
    if (user) home = user->pw_dir;
    if (!home || home[0] != '/' || !folder.Assign(home) || !folder.Append("/.local")) return false;
    if (create) mkdir(folder.c_str(), kOwnerOnlyFolder);
    if (!folder.Append("/state")) return false;
  }
  if (create) mkdir(folder.c_str(), kOwnerOnlyFolder);
  return folder.Append("/KOVRateCalc") && OwnFolder(folder, create);
}

std::FILE* OpenOwnRecord(const FilePath& path, bool& present) {
  present = PathExists(path);
  const int fd = OpenRegular(path, O_RDONLY | O_NOFOLLOW);
  if (fd == -1) return nullptr;
  struct stat info {};
  std::FILE* file = fstat(fd, &info) == 0 && info.st_uid == geteuid() ? fdopen(fd, "rb") : nullptr;
  if (!file) close(fd);
  return file;
}

bool PathExists(const FilePath& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

void RemovePath(const FilePath& path) { unlink(path.c_str()); }

void RemoveStaleTemporaries(const FilePath& path) {
  const std::size_t folder_length = FolderLength(path.View());
  const std::string_view base = TextFrom(path.View(), folder_length);
  DIR* dir = opendir(FolderOf(path).c_str());
  if (!dir) return;
  const std::time_t now = std::time(nullptr);
  FilePath candidate;
  unsigned long pid = 0;
  while (const dirent* entry = readdir(dir)) {
    if (!TemporaryOwner(entry->d_name, base, false, pid) ||
        !candidate.Assign(path.View().substr(0, folder_length)) ||
        !candidate.Append(entry->d_name)) {
      continue;
    }
    // A running save holds a lock on its file.
    const int fd = open(candidate.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd == -1) continue;
    struct stat info {};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        (now - info.st_mtime > kStaleTemporarySeconds || ProcessHasEnded(pid))) {
      unlink(candidate.c_str());
    }
    close(fd);
  }
  closedir(dir);
}

void PauseMilliseconds(int milliseconds) {
  const timespec pause{milliseconds / 1000, (milliseconds % 1000) * kNanosecondsPerMillisecond};
  nanosleep(&pause, nullptr);
}

}  // namespace ratecalc
