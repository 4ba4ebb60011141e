// File-system locations: directory and file paths, and the well-known folders
// of the running system.
//
// Each class holds its path as a public CString named `path`, which client
// code reads and changes directly. Paths use the platform's own separator
// ('/' on POSIX, '\\' on Windows). No operation reports an error: a missing
// environment variable leaves a path empty, and a path that cannot be read
// tests as not existing.
//
//   ADirectory docs = ADirectory("/home/ann") ^ "docs";  // "/home/ann/docs"
//   AFile report((docs ^ "report.txt").path);
//   if (docs.ExistsAsDirectory() && report.Exists()) { ... }
#ifndef BRINDLE_FS_H
#define BRINDLE_FS_H

#include "brindle/export.h"
#include "brindle/framework.h"

// ---------------------------------------------------------------------------
// ADirectory: a directory path.
// ---------------------------------------------------------------------------
class BRINDLE_API ADirectory {
 public:
  // An empty path.
  ADirectory();
  // A copy of `text`; a null text gives an empty path.
  ADirectory(char const* text);  // NOLINT(google-explicit-constructor)
  ADirectory(ADirectory const& other);
  ADirectory& operator=(ADirectory const& other);
  ~ADirectory();

  // operator^()
  //
  // A new directory whose path is this path, one separator and `name` (a null
  // name joins as empty). Nothing is trimmed: a path that already ends with
  // the separator gives two in a row, and the empty path gives a result that
  // begins with the separator. This object is unchanged.
  ADirectory operator^(char const* name) const;

  // ExistsAsDirectory()
  //
  // True when the path names an existing directory (links followed); false
  // for a missing or unreadable path and for anything that is not a directory.
  bool ExistsAsDirectory() const;

  CString path;
};

// ---------------------------------------------------------------------------
// The well-known folders. Each construction reads the environment afresh:
// the system family is the NT family exactly when "OS" is "Windows_NT"
// (compared byte for byte). Values are used as they are, without trimming;
// a variable that is not set leaves the path empty. S below is the separator.
// ---------------------------------------------------------------------------

// The system directory: "windir" S "System32" in the NT family, "windir" S
// "System" otherwise; empty when "windir" is not set.
class BRINDLE_API AdirSystem32 : public ADirectory {
 public:
  AdirSystem32();
  AdirSystem32(AdirSystem32 const& other);
  AdirSystem32& operator=(AdirSystem32 const& other);
  ~AdirSystem32();
};

// The desktop shared by all users: "windir" S "PROFILES" S "All Users" S
// "Desktop" in the NT family, "windir" S "Desktop" otherwise; empty when
// "windir" is not set.
class BRINDLE_API AdirDesktop : public ADirectory {
 public:
  AdirDesktop();
  AdirDesktop(AdirDesktop const& other);
  AdirDesktop& operator=(AdirDesktop const& other);
  ~AdirDesktop();
};

// The Start-menu programs folder: V S "Start Menu" S "Programs", where V is
// "USERPROFILE" in the NT family and "windir" otherwise; empty when that one
// variable is not set.
class BRINDLE_API AdirTaskBarProgs : public ADirectory {
 public:
  AdirTaskBarProgs();
  AdirTaskBarProgs(AdirTaskBarProgs const& other);
  AdirTaskBarProgs& operator=(AdirTaskBarProgs const& other);
  ~AdirTaskBarProgs();
};

// ---------------------------------------------------------------------------
// AFile: a file path. Classes derived from AFile may be destroyed through an
// AFile pointer.
// ---------------------------------------------------------------------------
class BRINDLE_API AFile {
 public:
  AFile(CString const& path);  // NOLINT(google-explicit-constructor)
  // The first `count` characters of `text`, stopping early at its
  // terminator; a null text or a count of 0 or less gives an empty path.
  AFile(char const* text, int count);
  AFile(AFile const& other);
  AFile& operator=(AFile const& other);
  virtual ~AFile();

  // Exists()
  //
  // 1 when the path names an existing file that is not a directory (links
  // followed), 0 otherwise.
  int Exists() const;

  // IsLocked()
  //
  // Despite its name, 1 means "not held": the result is 1 for a missing path,
  // for a directory, and for a file that this process can open for exclusive
  // writing at this moment; it is 0 for an existing file whose exclusive
  // write open fails (another opener holds it, it has no write permission,
  // access is denied). The test opens the file and closes it at once, never
  // reads or writes it, and never creates a file: a path removed while it is
  // tested counts as missing.
  //
  // On POSIX, where opens do not exclude each other, sharing is seen through
  // advisory locks: the file counts as held while another open file
  // description has a flock() lock or an fcntl() lock (open-file-description
  // or process-associated, on any range) on it. A program that opens the file
  // with a plain open() and takes no lock is invisible. The test opens and
  // closes a descriptor for the file, so, by POSIX rules, it drops any
  // process-associated fcntl() lock this process itself holds on the file.
  int IsLocked() const;

  CString path;
};

#endif  // BRINDLE_FS_H
