// Module attach on POSIX: the dynamic loader runs the library's initialisers
// when it maps the library, dependencies first, so DllMain runs before any
// client's own static initialisers and before any client call. Nothing is
// run at detach: the library has nothing to undo.
#include <dlfcn.h>

#include "platform/platform.h"

namespace {

// The handle of the library itself, as dlopen() would give it.
HINSTANCE SelfHandle() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DllMain), &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  void* self = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (self != nullptr) {
    dlclose(self);  // RTLD_NOLOAD took a reference; the library stays loaded regardless
  }
  return static_cast<HINSTANCE>(self);
}

__attribute__((constructor)) void Attach() { DllMain(SelfHandle(), DLL_PROCESS_ATTACH, nullptr); }

}  // namespace

extern "C" BOOL DisableThreadLibraryCalls(HINSTANCE /*module*/) { return TRUE; }
