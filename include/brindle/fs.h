/// @file
/// File-system locations: directory and file paths, and the well-known folders
/// of the running system.
///
/// Each class holds its path as a public CString named `path`, which client
/// code reads and changes directly. Paths use the platform's own separator
/// (`'/'` on POSIX, `'\\'` on Windows). No operation reports an error: a missing
/// environment variable leaves a path empty, and a path that cannot be read
/// tests as not existing.
///
/// @code
/// ADirectory docs = ADirectory("/home/ann") ^ "docs";  // "/home/ann/docs"
/// AFile report((docs ^ "report.txt").path);
/// if (docs.ExistsAsDirectory() && report.Exists()) { ... }
/// @endcode
///
/// Thread safety: no object is synchronised; distinct objects may be used on
/// several threads at once, and the tests on the file system (Exists(),
/// GetLockState(), ...) may run on several threads at once. The well-known
/// folders read the environment when constructed: construct them while no
/// thread changes the environment.
#ifndef BRINDLE_FS_H
#define BRINDLE_FS_H

#include "brindle/export.h"
#include "brindle/framework.h"

// ---------------------------------------------------------------------------
/// A directory path.
// ---------------------------------------------------------------------------
class BRINDLE_API ADirectory {
 public:
  /// An empty path.
  ADirectory();
  /// A copy of `text`; a null text gives an empty path.
  ADirectory(char const* text);  // NOLINT(google-explicit-constructor)
  /// A copy of `other`'s path.
  ADirectory(ADirectory const& other);
  /// Takes a copy of `other`'s path.
  ADirectory& operator=(ADirectory const& other);
  ~ADirectory();

  /// A new directory whose path is this path, one separator and `name` (a null
  /// name joins as empty). Nothing is trimmed: a path that already ends with
  /// the separator gives two in a row, and the empty path gives a result that
  /// begins with the separator. This object is unchanged.
  ADirectory operator^(char const* name) const;

  /// True when the path names an existing directory (links followed); false
  /// for a missing or unreadable path and for anything that is not a directory.
  bool ExistsAsDirectory() const;

  CString path;  ///< The path, for client code to read and change.
};

// ---------------------------------------------------------------------------
// The well-known folders
// ---------------------------------------------------------------------------

/// The system directory: "windir" S "System32" in the NT family, "windir" S
/// "System" otherwise; empty when "windir" is not set.
///
/// The well-known folders each read the environment afresh when constructed:
/// the system family is the NT family exactly when "OS" is "Windows_NT"
/// (compared byte for byte). Values are used as they are, without trimming;
/// a variable that is not set leaves the path empty. S is the separator.
class BRINDLE_API AdirSystem32 : public ADirectory {
 public:
  AdirSystem32();  ///< The folder, as the environment names it now.
  AdirSystem32(AdirSystem32 const& other);  ///< A copy of `other`'s path.
  AdirSystem32& operator=(AdirSystem32 const& other);  ///< Takes a copy of `other`'s path.
  ~AdirSystem32();
};

/// The desktop shared by all users: "windir" S "PROFILES" S "All Users" S
/// "Desktop" in the NT family, "windir" S "Desktop" otherwise; empty when
/// "windir" is not set. The environment is read as for AdirSystem32.
class BRINDLE_API AdirDesktop : public ADirectory {
 public:
  AdirDesktop();  ///< The folder, as the environment names it now.
  AdirDesktop(AdirDesktop const& other);  ///< A copy of `other`'s path.
  AdirDesktop& operator=(AdirDesktop const& other);  ///< Takes a copy of `other`'s path.
  ~AdirDesktop();
};

/// The Start-menu programs folder: V S "Start Menu" S "Programs", where V is
/// "USERPROFILE" in the NT family and "windir" otherwise; empty when that one
/// variable is not set. The environment is read as for AdirSystem32.
class BRINDLE_API AdirTaskBarProgs : public ADirectory {
 public:
  AdirTaskBarProgs();  ///< The folder, as the environment names it now.
  AdirTaskBarProgs(AdirTaskBarProgs const& other);  ///< A copy of `other`'s path.
  AdirTaskBarProgs& operator=(AdirTaskBarProgs const& other);  ///< Takes a copy of `other`'s path.
  ~AdirTaskBarProgs();
};

// ---------------------------------------------------------------------------
/// A file path. Classes derived from AFile may be destroyed through an AFile
/// pointer.
// ---------------------------------------------------------------------------
class BRINDLE_API AFile {
 public:
  /// A copy of `path`.
  AFile(CString const& path);  // NOLINT(google-explicit-constructor)
  /// The first `count` characters of `text`, stopping early at its
  /// terminator; a null text or a count of 0 or less gives an empty path.
  AFile(char const* text, int count);
  /// A copy of `other`'s path.
  AFile(AFile const& other);
  /// Takes a copy of `other`'s path.
  AFile& operator=(AFile const& other);
  virtual ~AFile();

  /// 1 when the path names an existing file that is not a directory (links
  /// followed), 0 otherwise.
  int Exists() const;

  /// Why the file could or could not be opened for exclusive writing now:
  /// the answer of GetLockState().
  enum LockState : int {
    Free = 0,                ///< It could: nothing holds it.
    Missing = 1,             ///< The path names nothing that can be seen.
    Directory = 2,           ///< The path names a directory.
    NotWritable = 3,         ///< This process may not open it for writing: no
                             ///< write permission, a read-only file system;
                             ///< on POSIX also a FIFO, socket or device.
    HeldByOtherProcess = 4,  ///< Held by other processes only.
    HeldByThisProcess = 5,   ///< Held by this process (others may hold it as
                             ///< well): one of its handles or locks, or the
                             ///< program (on Windows, or a DLL) it runs.
  };

  /// Whether the file could be opened for exclusive writing at this moment,
  /// and if not, why. Nothing is written, created or left open.
  ///
  /// On Windows the test is that open (write access, share mode 0), closed
  /// at once; a sharing violation is HeldByThisProcess when this process has
  /// the file loaded as its program or a DLL, or holds a handle to it that
  /// takes part in sharing (one that reads, writes, runs or may delete it).
  ///
  /// On POSIX, where opens do not exclude each other, sharing is seen through
  /// advisory locks: the file is held while an open file description has a
  /// flock() lock, an fcntl() lock (open-file-description or
  /// process-associated, on any range) or a lease on it, or while a process
  /// runs it as its program (the kernel refuses to write a running program).
  /// The file is not opened: the kernel's lock table and /proc tell, so no
  /// inotify watcher, lease holder or FIFO reader notices the test, and this
  /// process's own fcntl() locks stay. A FIFO, socket or device is never
  /// opened and reads as NotWritable. A file with no write permission bit is
  /// NotWritable, even for root. Not seen: a program that opens the file with
  /// a plain open() and takes no lock; processes this one may not inspect
  /// through /proc (other users', unless running as root) running the file;
  /// locks of processes in another PID namespace, other than
  /// open-file-description ones; locks that a FUSE file system keeps in its
  /// own server. Where the lock table cannot tell (no /proc; network and
  /// cluster file systems; on btrfs, a file whose inode number a lock in the
  /// same file system carries) the file is opened for writing with the
  /// emulated share mode 0 and closed at once: watchers see that open, and
  /// its close drops this process's own process-associated fcntl() locks on
  /// the file.
  LockState GetLockState() const;

  /// Despite its name, 1 means "not held": 1 when GetLockState() is Free,
  /// Missing or Directory, 0 otherwise (held, or not writable).
  int IsLocked() const;

  CString path;  ///< The path, for client code to read and change.
};

#endif  // BRINDLE_FS_H
