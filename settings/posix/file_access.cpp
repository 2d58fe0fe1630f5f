// The file operations on POSIX systems.
#include "file_access.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace ratecalc {
namespace {

constexpr mode_t kOwnerOnlyFile = S_IRUSR | S_IWUSR;
constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
constexpr int kMaxLinkDepth = 40;  // as the kernel's own limit
// A user in more groups counts as not in the file's: written in place.
constexpr int kMaxGroups = 64;
constexpr long kNanosecondsPerMillisecond = 1000000;

int Fd(FileHandle file) { return static_cast<int>(file); }

// `fd` when `keep`, else closed: kNoFile.
FileHandle KeptOrClosed(int fd, bool keep) {
  if (fd != -1 && !keep) close(fd);
  return keep ? fd : kNoFile;
}

bool InGroup(gid_t group) {
  gid_t groups[kMaxGroups];
  const int count = std::max(getgroups(kMaxGroups, groups), 0);
  return getegid() == group || std::find(groups, groups + count, group) != groups + count;
}

// The folder holding `path`, with its '/'; "." when it names none.
FilePath FolderOf(const FilePath& path) {
  FilePath folder;
  const std::size_t slash = path.View().rfind('/');
  folder.Assign(slash == std::string_view::npos ? "." : std::string_view(path.chars, slash + 1));
  return folder;
}

FileIdentity IdentityOf(const struct stat& info, bool named, const struct statvfs& volume) {
  return {named && volume.f_fsid != 0 ? volume.f_fsid : info.st_dev, info.st_ino};
}

// Whether the name still leads to the open file.
bool NameLeadsTo(const FilePath& path, int fd) {
  struct stat named {};
  struct stat opened {};
  return lstat(path.c_str(), &named) == 0 && fstat(fd, &opened) == 0 &&
         named.st_ino == opened.st_ino && named.st_dev == opened.st_dev;
}

// pread or pwrite until done: either may move fewer bytes than asked.
template <typename Buffer, typename Transfer>
bool Whole(Transfer transfer, FileHandle file, Buffer buffer, std::size_t size,
           std::uint64_t offset) {
  ssize_t n = 1;
  for (std::size_t done = 0; done < size && n > 0; done += static_cast<std::size_t>(n)) {
    n = transfer(Fd(file), buffer + done, size - done, static_cast<off_t>(offset + done));
  }
  return n > 0 || size == 0;
}

}  // namespace

bool PathFromCaller(std::string_view text, FilePath& path) {
  return path.Assign(text) && path.length > 0;
}

// Anyone who may write a link's folder could have made it: in a team or
// sticky folder, or another user's, it might lead into this user's files.
bool ResolveLinks(const FilePath& path, FilePath& resolved) {
  resolved = path;
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat link {};
    if (lstat(resolved.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return true;
    if (link.st_uid != geteuid() && link.st_uid != 0) return false;
    const FilePath folder_path = FolderOf(resolved);
    char target[PATH_MAX];
    const ssize_t n = readlink(resolved.c_str(), target, sizeof target);
    FilePath next = target[0] == '/' ? FilePath{} : folder_path;
    if (n <= 0 || !next.Append({target, static_cast<std::size_t>(n)})) return true;
    resolved = next;
  }
  return true;
}

FileFacts InspectFile(const FilePath& path) {
  struct stat info {};
  struct statvfs volume {};
  if (stat(path.c_str(), &info) != 0) return {};
  const bool others = info.st_uid != geteuid() || !InGroup(info.st_gid);
  return {.exists = true,
          .regular = S_ISREG(info.st_mode),
          .read_only = (info.st_mode & S_IWUSR) == 0,
          .in_place = info.st_nlink > 1 || (geteuid() != 0 && others) ||
                      listxattr(path.c_str(), nullptr, 0) > 0,
          .mode = info.st_mode & 07777u,
          .owner = static_cast<long>(info.st_uid),
          .group = static_cast<long>(info.st_gid),
          .identity = IdentityOf(info, statvfs(path.c_str(), &volume) == 0, volume)};
}

// Record locks, not flock: an exclusive one needs a descriptor that may write.
OpenResult OpenLocked(const FilePath& path, bool exclusive, FileHandle& file) {
  OpenResult result = OpenResult::kBusy;
  RetryWhileBusy([&] {
    const int fd = open(path.c_str(), (exclusive ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    struct flock whole {};
    whole.l_type = static_cast<short>(exclusive ? F_WRLCK : F_RDLCK);
    if (fd == -1) {
      result = errno == ENOENT                     ? OpenResult::kMissing
               : errno == EISDIR || errno == ENXIO ? OpenResult::kNotRegular
               : errno == EACCES || errno == EPERM ? OpenResult::kDenied
                                                   : OpenResult::kBusy;
    } else if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      result = OpenResult::kNotRegular;
    } else if (fcntl(fd, F_OFD_SETLK, &whole) == 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      file = fd;
      return (result = OpenResult::kOpened), true;
    }
    if (fd != -1) close(fd);
    return result != OpenResult::kBusy;
  });
  return result;
}

void CloseFile(FileHandle file) { close(Fd(file)); }

bool Describe(FileHandle file, std::uint64_t& length, FileIdentity& identity) {
  struct stat info {};
  struct statvfs volume {};
  const bool known = fstat(Fd(file), &info) == 0;
  length = static_cast<std::uint64_t>(info.st_size);
  identity = IdentityOf(info, fstatvfs(Fd(file), &volume) == 0, volume);
  return known;
}

bool ReadAll(FileHandle file, char* buffer, std::size_t size) {
  return Whole(pread, file, buffer, size, 0);
}

bool WriteAt(FileHandle file, const char* buffer, std::size_t size, std::uint64_t offset) {
  return Whole(pwrite, file, buffer, size, offset);
}

bool SetLengthAndSync(FileHandle file, std::uint64_t length) {
  struct stat info {};
  const auto size = static_cast<off_t>(length);
  int failed = fstat(Fd(file), &info);
  if (!failed && size > info.st_size) failed = posix_fallocate(Fd(file), 0, size);
  // A file system that cannot take the space ahead is extended plainly.
  if (size < info.st_size || failed == EINVAL || failed == EOPNOTSUPP) {
    failed = ftruncate(Fd(file), size);
  }
  return failed == 0 && fsync(Fd(file)) == 0;
}

bool Sync(FileHandle file) { return fsync(Fd(file)) == 0; }

FileHandle CreateHeld(const FilePath& path) {
  const int fd =
      open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kOwnerOnlyFile);
  // A cleaner may have removed the name between the two steps.
  return KeptOrClosed(fd, fd != -1 && flock(fd, LOCK_EX | LOCK_NB) == 0 && NameLeadsTo(path, fd));
}

FileHandle OpenOwn(const FilePath& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  return KeptOrClosed(fd, fd != -1 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                              info.st_uid == geteuid() && flock(fd, LOCK_SH | LOCK_NB) == 0);
}

// A running save holds a lock on its file.
bool RemoveAbandoned(const FilePath& path) {
  const FileHandle fd = OpenOwn(path);
  const bool removed = fd != kNoFile && flock(Fd(fd), LOCK_EX | LOCK_NB) == 0 &&
                       NameLeadsTo(path, Fd(fd)) && unlink(path.c_str()) == 0;
  if (fd != kNoFile) CloseFile(fd);
  return removed;
}

bool SyncFolderOf(const FilePath& path) {
  const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = fd != -1 && fsync(fd) == 0;
  KeptOrClosed(fd, false);
  return synced;
}

// A replace keeps the mode, the owner and the group, or is not done (the
// file is then written in place); a new file gets the mode any new file gets.
bool ReplaceWith(FileHandle temporary, const FilePath& temporary_path, const FilePath& target,
                 const FileFacts& keep) {
  const int fd = Fd(temporary);
  const mode_t mask = umask(0);
  umask(mask);
  // The mode after the owner, since a change of owner clears the set-id bits.
  // Renamed while still open and held, so that no cleaner takes it first.
  const bool replaced =
      (!keep.exists ||
       fchown(fd, static_cast<uid_t>(keep.owner), static_cast<gid_t>(keep.group)) == 0) &&
      fchmod(fd, keep.exists ? static_cast<mode_t>(keep.mode) : kNewFileMode & ~mask) == 0 &&
      fsync(fd) == 0 && std::rename(temporary_path.c_str(), target.c_str()) == 0;
  close(fd);
  return replaced && SyncFolderOf(target);
}

bool PrivateFolder(FilePath& folder, bool create) {
  const char* home = std::getenv("HOME");
  struct stat info {};
  if (!home || home[0] != '/' || stat(home, &info) != 0 || !S_ISDIR(info.st_mode) ||
      info.st_uid != geteuid()) {
    const passwd* user = getpwuid(geteuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (!home || !folder.Assign(home)) return false;
  for (const std::string_view part : {"/.local", "/state", "/KOVRateCalc"}) {
    if (!folder.Append(part)) return false;
    if (create) mkdir(folder.c_str(), S_IRWXU);
  }
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

void PauseMilliseconds(int milliseconds) {
  const timespec pause{milliseconds / 1000, (milliseconds % 1000) * kNanosecondsPerMillisecond};
  nanosleep(&pause, nullptr);
}

}  // namespace ratecalc
