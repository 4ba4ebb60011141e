// Module handles on POSIX: see module_maps.h.
#include "platform/posix/module_maps.h"

#include <dlfcn.h>

namespace brindle {

link_map* MainProgramMap() {
  static link_map* const main_map = [] {
    link_map* map = nullptr;
    void* self = dlopen(nullptr, RTLD_LAZY);
    if (self != nullptr) {
      dlinfo(self, RTLD_DI_LINKMAP, &map);
      dlclose(self);
    }
    return map;
  }();
  return main_map;
}

link_map* ResolveModule(HINSTANCE module) {
  link_map* main_map = MainProgramMap();
  if (module == nullptr) return main_map;
  for (link_map* map = main_map; map != nullptr; map = map->l_next) {
    if (static_cast<void const*>(map) == static_cast<void const*>(module)) return map;
  }
  return nullptr;
}

}  // namespace brindle
