// The module's load sequence.
//
// Everything the library needs at load is either constant-initialised or set
// up here, once, before any client call. No static object of the library has
// a destructor, so unloading runs nothing of ours.
#include "platform/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    // The library keeps no per-thread state that needs notice of threads.
    DisableThreadLibraryCalls(module);
    // The calendar classes read _timezone and _daylight from here on.
    _tzset();
  }
  return TRUE;
}
