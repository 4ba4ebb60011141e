// The platform services the library calls, by the platform's own names.
//
// Library sources include this header and nothing else of the system's for
// these services. On Windows they are the system's; on POSIX they are
// provided by platform/posix/, each written to the contract its callers rely
// on, as stated beside each declaration.
#ifndef BRINDLE_PLATFORM_PLATFORM_H
#define BRINDLE_PLATFORM_PLATFORM_H

#include "brindle/platform_types.h"

#if defined(_WIN32)

#include <windows.h>
#include <direct.h>  // _getcwd

namespace brindle {
inline constexpr char kPathSeparator = '\\';
}  // namespace brindle

#else  // POSIX

namespace brindle {
// The separator between the parts of a file path.
inline constexpr char kPathSeparator = '/';
}  // namespace brindle

#define WINAPI
#define TRUE 1
#define FALSE 0
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

extern "C" {

// DisableThreadLibraryCalls()
//
// Asks not to be told of thread creation and exit. There is no such
// notification on POSIX; always succeeds.
BOOL DisableThreadLibraryCalls(HINSTANCE module);

}  // extern "C"

// --- Files (platform/posix/files.cpp) ---------------------------------------

typedef void* HANDLE;

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  void* lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

// Values of GetLastError() set by the file calls.
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_TOO_MANY_OPEN_FILES 4u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_GEN_FAILURE 31u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_DISK_FULL 112u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_FILENAME_EXCED_RANGE 206u

extern "C" {

// GetFileAttributesA()
//
// The attributes of `path`, links followed: FILE_ATTRIBUTE_DIRECTORY for a
// directory, FILE_ATTRIBUTE_READONLY when no write permission bit is set,
// FILE_ATTRIBUTE_NORMAL when neither applies. INVALID_FILE_ATTRIBUTES when
// the path cannot be read (missing, no access, null).
DWORD GetFileAttributesA(char const* path);

// CreateFileA()
//
// Opens or creates `path` for GENERIC_READ and/or GENERIC_WRITE; the
// disposition is one of CREATE_NEW ... TRUNCATE_EXISTING. Returns a handle
// for CloseHandle(), or INVALID_HANDLE_VALUE with GetLastError() saying why:
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a missing path,
// ERROR_FILE_EXISTS for CREATE_NEW on an existing one, ERROR_ACCESS_DENIED
// for a directory (unless FILE_FLAG_BACKUP_SEMANTICS) and for writing or
// truncating a file that has no write permission bit, whoever the caller,
// ERROR_SHARING_VIOLATION when the file's sharing forbids the open.
//
// Sharing is emulated with advisory locks, so that cooperating processes see
// each other: a handle opened with share mode 0 holds, for its lifetime, an
// exclusive flock() lock and an open-file-description fcntl() lock (a write
// lock, or a read lock when the handle cannot write); any other share mode
// holds a shared flock() lock and, when the handle can read, an fcntl() read
// lock. An open fails as a sharing violation when the lock it wants
// conflicts with a flock() or fcntl() lock of another open file description.
// All non-zero share modes are alike: the access they allow is not checked.
// A program that opens the file with a plain open() and takes no lock is
// invisible to this emulation. A forked child shares the handle's open file
// description, and so its locks, until the child closes its copy. Closing a
// descriptor drops, by POSIX rules, any process-associated fcntl() lock the
// calling process holds on the file. Truncation happens only once the locks
// are held. On success GetLastError() is ERROR_ALREADY_EXISTS when OPEN_ALWAYS or
// CREATE_ALWAYS found the file there, ERROR_SUCCESS otherwise. A new file
// gets mode 0666 less the umask; other flags and attributes, and the
// template, are ignored; the handle is inherited by exec'd programs only
// when `security` asks for it.
HANDLE CreateFileA(char const* path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags_and_attributes, HANDLE template_file);

// CloseHandle()
//
// Closes a handle from CreateFileA(), releasing its locks. FALSE, with
// ERROR_INVALID_HANDLE, for a handle that is not open.
BOOL CloseHandle(HANDLE handle);

// GetLastError(), SetLastError()
//
// The calling thread's last error, as set by the file calls.
DWORD GetLastError(void);
void SetLastError(DWORD error);

}  // extern "C"

// --- Text services (platform/posix/code_pages.cpp, module_files.cpp,
// working_directory.cpp) -----------------------------------------------------

extern "C" {

// CharToOemA(), OemToCharA()
//
// Convert the NUL-terminated `source` from the ANSI code page 1252 to the OEM
// code page 437 (or back) into `destination`, one byte for one byte, by the C
// library's iconv tables; `destination` may be `source` itself. A character
// with no counterpart in the other code page becomes '?' (not a best fit, so
// the result does not depend on the locale's transliteration rules). FALSE,
// converting nothing, when either pointer is null; TRUE otherwise.
BOOL CharToOemA(char const* source, char* destination);
BOOL OemToCharA(char const* source, char* destination);

// GetModuleFileNameA()
//
// Stores the full path of `module`'s file and a NUL in `buffer` and returns
// the number of characters without the NUL: the main program's for a null
// module, the loaded object's for a dlopen() handle (found by comparing it
// with the process's link maps, never by dereferencing it). When the path
// does not fit, stores size - 1 characters and a NUL and returns `size`, so
// callers grow the buffer while the result equals `size`. 0 when the handle
// names no loaded object with a file, or `size` is 0. The last error is not
// set.
DWORD GetModuleFileNameA(HINSTANCE module, char* buffer, DWORD size);

// _getcwd()
//
// Stores the current working directory in `buffer` (at most `size` bytes
// with the NUL) and returns `buffer`, or null when it does not fit or cannot
// be read. A null `buffer` gets a block of its own from malloc(), sized to
// fit whatever `size` says, which the caller frees with free().
char* _getcwd(char* buffer, int size);

}  // extern "C"

#endif  // _WIN32

namespace brindle {

// ProbeExclusiveWrite()
//
// What CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
// FILE_ATTRIBUTE_NORMAL, nullptr) would meet now: ERROR_SUCCESS when it would
// open the file, otherwise the error it would fail with, among them
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a missing path,
// ERROR_ACCESS_DENIED for what this process may not write (a directory, a
// file with no write permission) and ERROR_SHARING_VIOLATION for a file
// another handle or lock holds, or a running program. `*held_here` is then
// true when this process is among the holders (others may hold it too): a
// handle or lock of its own, or the image of its program or a library it
// runs; false in every other case. Nothing is left open, and nothing is
// written.
//
// On Windows this is that open, closed at once (platform/windows/). On POSIX
// the file is not opened where the kernel's lock table can tell: no events,
// no broken leases, no dropped fcntl() locks; a FIFO, socket or device is
// never opened and gives ERROR_ACCESS_DENIED (platform/posix/files.cpp).
DWORD ProbeExclusiveWrite(char const* path, bool* held_here);

}  // namespace brindle

// The library's module entry, called by the platform once when a process
// loads the library (reason DLL_PROCESS_ATTACH) and once when it unloads it
// (DLL_PROCESS_DETACH), before and after every client call.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved);

#endif  // BRINDLE_PLATFORM_PLATFORM_H
