// Module handles on POSIX. Internal to the platform layer.
//
// A module handle is what dlopen() returned, which names the object's link
// map; null names the main program. A handle is resolved by finding it among
// the process's link maps, so an unknown or stale handle is never
// dereferenced.
#ifndef BRINDLE_PLATFORM_POSIX_MODULE_MAPS_H
#define BRINDLE_PLATFORM_POSIX_MODULE_MAPS_H

#include <link.h>

#include "brindle/platform_types.h"

namespace brindle {

// The main program's link map: the head of the process's list.
link_map* MainProgramMap();

// The link map of `module` (null: the main program), or null when the handle
// names no loaded object.
link_map* ResolveModule(HINSTANCE module);

}  // namespace brindle

#endif  // BRINDLE_PLATFORM_POSIX_MODULE_MAPS_H
