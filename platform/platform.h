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

#endif  // _WIN32

// The library's module entry, called by the platform once when a process
// loads the library (reason DLL_PROCESS_ATTACH) and once when it unloads it
// (DLL_PROCESS_DETACH), before and after every client call.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved);

#endif  // BRINDLE_PLATFORM_PLATFORM_H
