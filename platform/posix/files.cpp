// Files on POSIX: GetFileAttributesA, CreateFileA, CloseHandle, GetLastError.
//
// Callers rely on: GetFileAttributesA() gives INVALID_FILE_ATTRIBUTES for a
// path that cannot be read and the directory bit for a directory (links
// followed). CreateFileA() never blocks, never creates a file with
// OPEN_EXISTING, and fails with a reason in GetLastError(): a missing path,
// a sharing violation, or access denied (a file with no write permission bit
// is never opened for writing, even by root, so that a read-only file reads
// as read-only whoever asks). CloseHandle() releases everything the handle
// held.
//
// Sharing is emulated with advisory locks taken on the handle's own open
// file description: flock() locks, and open-file-description fcntl() locks so
// that programs using fcntl() or lockf() see the handle too. Neither kind is
// dropped when some other descriptor for the file is closed.
//
// brindle::ProbeExclusiveWrite() answers for an exclusive write open without
// opening the file: every lock and lease on a file conflicts with that open,
// so the kernel's lock table (/proc/locks) says whether it would meet one,
// the processes' programs (/proc/<pid>/exe) whether it is one the kernel
// keeps writers out of, and this process's own descriptors
// (/proc/self/fdinfo) whether one of them holds it. Opening the file would
// fire inotify events, break leases, wake a FIFO's blocked reader and, on
// closing, drop this process's fcntl() locks on it; it is left for where the
// lock table cannot tell.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

thread_local DWORD last_error = ERROR_SUCCESS;

// The error for a missing path: the file, or a directory on the way to it.
DWORD MissingError(char const* path) {
  char const* slash = std::strrchr(path, '/');
  if (slash == nullptr) return ERROR_FILE_NOT_FOUND;
  std::string parent(path, static_cast<std::size_t>(slash - path));
  struct stat st;
  bool const parent_is_dir = stat(parent.empty() ? "/" : parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return parent_is_dir ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD ErrorOf(int error, char const* path) {
  switch (error) {
    case ENOENT:
      return MissingError(path);
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ENXIO:  // a FIFO without a reader
      return ERROR_ACCESS_DENIED;
    case ETXTBSY:  // writing a program that is running
    case EWOULDBLOCK:
      return ERROR_SHARING_VIOLATION;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// Handles are descriptors offset by one, so that no handle is null.
HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1); }

int DescriptorOf(HANDLE handle) {
  std::intptr_t value = reinterpret_cast<std::intptr_t>(handle);
  if (value < 1 || value - 1 > INT_MAX) return -1;
  return static_cast<int>(value - 1);
}

HANDLE Fail(DWORD error) {
  last_error = error;
  return INVALID_HANDLE_VALUE;
}

bool HasWritePermission(struct stat const& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// An fcntl() lock request or probe over the whole file.
struct flock WholeFile(short type) {
  struct flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end, however far the file grows
  return lock;
}

bool IsConflict(int error) { return error == EWOULDBLOCK || error == EAGAIN || error == EACCES; }

// Takes the locks that announce this handle's sharing. False, with errno set
// to EWOULDBLOCK, when another open file description's lock conflicts.
// Where the file system has no locks the handle opens unannounced.
bool TakeSharingLocks(int fd, bool exclusive, bool readable, bool writable) {
  if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && IsConflict(errno)) {
    errno = EWOULDBLOCK;
    return false;
  }
  // An fcntl() lock needs the matching access: a write lock a writable
  // descriptor, a read lock a readable one. What cannot be held is probed.
  short const wanted = exclusive ? F_WRLCK : F_RDLCK;
  short held = F_UNLCK;
  if (exclusive && writable) {
    held = F_WRLCK;
  } else if (readable) {
    held = F_RDLCK;
  }
  if (held != F_UNLCK) {
    struct flock lock = WholeFile(held);
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0 && IsConflict(errno)) {
      errno = EWOULDBLOCK;
      return false;
    }
  }
  if (held != wanted) {
    // The probe ignores this description's own lock.
    struct flock probe = WholeFile(wanted);
    if (fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
      errno = EWOULDBLOCK;
      return false;
    }
  }
  return true;
}

int OpenRetrying(char const* path, int flags) {
  int fd;
  do {
    fd = open(path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// File systems whose locks the lock table does not hold: network and cluster
// file systems keep them on a server or share them between nodes.
bool LocksOutOfSight(char const* path) {
  struct statfs fs;
  if (statfs(path, &fs) != 0) return true;
  switch (static_cast<std::uint32_t>(fs.f_type)) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case CEPH_SUPER_MAGIC:
    case V9FS_MAGIC:
    case AFS_FS_MAGIC:
    case OCFS2_SUPER_MAGIC:
    case 0x01161970u:  // GFS2
      return true;
    default:
      return false;
  }
}

// The device of the file system `path` is on, as the lock table names it;
// stat() may show another (btrfs gives each subvolume its own).
dev_t FileSystemDevice(char const* path, dev_t shown) {
  struct statx st;
  if (statx(AT_FDCWD, path, 0, STATX_MNT_ID, &st) != 0 || (st.stx_mask & STATX_MNT_ID) == 0) return shown;
  FILE* mounts = std::fopen("/proc/self/mountinfo", "re");
  if (mounts == nullptr) return shown;
  dev_t device = shown;
  unsigned long long id = 0;
  unsigned int major = 0, minor = 0;
  // "36 35 98:0 /mnt1 /mnt2 rw,noatime ..."; the rest of each line is skipped.
  while (std::fscanf(mounts, "%llu %*u %u:%u%*[^\n]", &id, &major, &minor) == 3) {
    if (id == st.stx_mnt_id) {
      device = makedev(major, minor);
      break;
    }
  }
  std::fclose(mounts);
  return device;
}

enum class TableSays { kFree, kHeld, kCannotTell };

// Whether the lock table has a lock on the file: a flock() or fcntl() lock
// (process-associated or open-file-description, any range) or a lease, each
// of which an exclusive write open conflicts with. A waiting request's line
// ("1: -> FLOCK ...") has one field more, so its device never parses: it
// holds nothing. Where stat() shows another device than the table, a lock on
// the file system's device and the file's inode number may be on another
// file (btrfs numbers the inodes of each subvolume afresh): the table cannot
// tell.
TableSays AskLockTable(char const* path, struct stat const& file) {
  FILE* table = std::fopen("/proc/locks", "re");
  if (table == nullptr) return TableSays::kCannotTell;
  TableSays says = TableSays::kFree;
  bool mount_read = false;
  dev_t mount_device = file.st_dev;
  char line[256];
  while (says != TableSays::kHeld && std::fgets(line, sizeof line, table) != nullptr) {
    // "1: FLOCK  ADVISORY  WRITE 3798 fe:00:10747905 0 EOF"
    unsigned int major = 0, minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(line, "%*d: %*s %*s %*s %*s %x:%x:%llu", &major, &minor, &inode) != 3 || inode != file.st_ino) {
      continue;
    }
    dev_t const device = makedev(major, minor);
    if (device != file.st_dev && !mount_read) {
      mount_device = FileSystemDevice(path, file.st_dev);
      mount_read = true;
    }
    if (device == file.st_dev) {
      says = TableSays::kHeld;
    } else if (device == mount_device) {
      says = TableSays::kCannotTell;
    }
  }
  std::fclose(table);
  return says;
}

// Whether `path` (taken from `dir`; with an empty path, the descriptor `dir`
// itself) is `file`. Only the kernel's cached attributes are read, so that an
// unrelated file on an unreachable server cannot hold the probe up.
bool IsFile(int dir, char const* path, struct stat const& file) {
  struct statx st;
  return statx(dir, path, AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO, &st) == 0 &&
         makedev(st.stx_dev_major, st.stx_dev_minor) == file.st_dev && st.stx_ino == file.st_ino;
}

// Calls `visit` with the name of each numbered entry of the /proc directory
// `dir` (processes, or a process's descriptors) until it returns true;
// whether one did.
template <typename Visit>
bool AnyNumberedEntry(char const* dir, Visit visit) {
  DIR* entries = opendir(dir);
  if (entries == nullptr) return false;
  bool found = false;
  for (dirent const* entry = readdir(entries); entry != nullptr && !found; entry = readdir(entries)) {
    std::string const name = entry->d_name;
    found = name.find_first_not_of("0123456789") == std::string::npos && visit(name);
  }
  closedir(entries);
  return found;
}

// Whether one of this process's descriptors for the file holds a lock on it:
// each descriptor's fdinfo lists the locks held through it.
bool LockedThroughOwnDescriptor(struct stat const& file) {
  return AnyNumberedEntry("/proc/self/fd", [&file](std::string const& fd) {
    if (!IsFile(std::atoi(fd.c_str()), "", file)) return false;
    FILE* info = std::fopen(("/proc/self/fdinfo/" + fd).c_str(), "re");
    bool locked = false;
    char line[256];
    while (info != nullptr && !locked && std::fgets(line, sizeof line, info) != nullptr) {
      locked = std::strncmp(line, "lock:", 5) == 0;
    }
    if (info != nullptr) std::fclose(info);
    return locked;
  });
}

// Whether the file is the program a process runs, which the kernel refuses
// to open for writing (ETXTBSY); `*here` when that process is this one. Only
// processes whose /proc entries this one may read are seen.
bool RunningProgram(struct stat const& file, bool* here) {
  if ((file.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) == 0) return false;
  *here = IsFile(AT_FDCWD, "/proc/self/exe", file);
  return *here || AnyNumberedEntry("/proc", [&file](std::string const& pid) {
    return IsFile(AT_FDCWD, ("/proc/" + pid + "/exe").c_str(), file);
  });
}

}  // namespace

namespace brindle {

DWORD ProbeExclusiveWrite(char const* path, bool* held_here) {
  *held_here = false;
  if (path == nullptr) return ERROR_INVALID_PARAMETER;
  struct stat st;
  if (stat(path, &st) != 0) return ErrorOf(errno, path);
  // Only an ordinary file is probed. A FIFO, socket or device is never
  // opened (a FIFO's blocked reader would wake, a device may act on an open)
  // and offers no exclusive writing to see.
  if (!S_ISREG(st.st_mode) || !HasWritePermission(st)) return ERROR_ACCESS_DENIED;
  if (faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0) return ErrorOf(errno, path);
  bool running_here = false;
  TableSays table = TableSays::kHeld;
  if (!RunningProgram(st, &running_here)) {
    table = LocksOutOfSight(path) ? TableSays::kCannotTell : AskLockTable(path, st);
  }
  if (table == TableSays::kFree) return ERROR_SUCCESS;
  // Asked before any open: closing one drops this process's fcntl() locks.
  bool const own = running_here || LockedThroughOwnDescriptor(st);
  DWORD result = ERROR_SHARING_VIOLATION;
  if (table == TableSays::kCannotTell) {  // the open itself
    HANDLE const handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    result = handle != INVALID_HANDLE_VALUE && CloseHandle(handle) ? ERROR_SUCCESS : last_error;
  }
  *held_here = own && result == ERROR_SHARING_VIOLATION;
  return result;
}

}  // namespace brindle

extern "C" {

DWORD GetLastError(void) { return last_error; }

void SetLastError(DWORD error) { last_error = error; }

DWORD GetFileAttributesA(char const* path) {
  struct stat st;
  if (path == nullptr) {
    last_error = ERROR_INVALID_PARAMETER;
    return INVALID_FILE_ATTRIBUTES;
  }
  if (stat(path, &st) != 0) {
    last_error = ErrorOf(errno, path);
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (!HasWritePermission(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

HANDLE CreateFileA(char const* path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags_and_attributes, HANDLE /*template_file*/) {
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  bool const wants_read = (access & GENERIC_READ) != 0;
  bool const wants_write = (access & GENERIC_WRITE) != 0;
  bool create = false;
  bool create_only = false;
  bool truncate = false;
  switch (disposition) {
    case CREATE_NEW:
      create = create_only = true;
      break;
    case CREATE_ALWAYS:
      create = truncate = true;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      create = true;
      break;
    case TRUNCATE_EXISTING:
      if (!wants_write) return Fail(ERROR_INVALID_PARAMETER);
      truncate = true;
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }

  // Truncation needs a writable descriptor whatever access was asked for.
  bool const writable = wants_write || truncate;
  bool const readable = wants_read || !writable;
  int flags = (readable && writable) ? O_RDWR : writable ? O_WRONLY : O_RDONLY;
  // Non-blocking so that opening a FIFO or a device cannot hang.
  flags |= O_NOCTTY | O_NONBLOCK;
  if (security == nullptr || !security->bInheritHandle) flags |= O_CLOEXEC;

  // Existing and new files are told apart, because only an existing file's
  // permissions are checked and only an existing file is truncated.
  int fd = -1;
  bool existed = true;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    if (!create_only) {
      fd = OpenRetrying(path, flags);
      if (fd >= 0 || errno != ENOENT || !create) break;
    }
    fd = OpenRetrying(path, flags | O_CREAT | O_EXCL);
    if (fd >= 0) {
      existed = false;
    } else if (errno != EEXIST || create_only) {
      break;  // EEXIST otherwise: created by someone else meanwhile, open it
    }
  }
  if (fd < 0) return Fail(ErrorOf(errno, path));

  auto fail_open = [fd](DWORD error) {
    close(fd);
    return Fail(error);
  };
  struct stat st;
  if (fstat(fd, &st) != 0) return fail_open(ErrorOf(errno, path));
  if (S_ISDIR(st.st_mode) && (flags_and_attributes & FILE_FLAG_BACKUP_SEMANTICS) == 0) {
    return fail_open(ERROR_ACCESS_DENIED);
  }
  if (existed && writable && !HasWritePermission(st)) return fail_open(ERROR_ACCESS_DENIED);
  int const status = fcntl(fd, F_GETFL);
  if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) return fail_open(ErrorOf(errno, path));

  if (!TakeSharingLocks(fd, share_mode == 0, readable, writable)) return fail_open(ERROR_SHARING_VIOLATION);
  if (truncate && existed && S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) return fail_open(ErrorOf(errno, path));

  last_error = (existed && create && !create_only) ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
  return HandleOf(fd);
}

BOOL CloseHandle(HANDLE handle) {
  int const fd = DescriptorOf(handle);
  // EINTR still closes the descriptor on Linux: not to be retried.
  if (fd < 0 || (close(fd) != 0 && errno == EBADF)) {
    last_error = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
