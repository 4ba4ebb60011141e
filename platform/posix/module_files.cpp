// Module file names on POSIX: GetModuleFileNameA.
//
// Callers rely on: the full path of the module's file and a NUL in the
// buffer, and the number of characters stored; a path that does not fit is
// cut to size - 1 characters and the result is `size`, so a caller grows its
// buffer until the result is below the size; 0 for a handle that names no
// loaded object with a file.
//
// The main program's path is the kernel's (/proc/self/exe), or without /proc
// the name it was started with, made absolute. A loaded object's path is the
// name the loader recorded when that is absolute; a relative one may have
// been given against another working directory, so the file the kernel shows
// mapped at the object's dynamic section is taken instead (/proc/self/maps).
#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/module_maps.h"

namespace {

std::string MainProgramPath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) break;
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);  // possibly cut: read again with more room
  }
  auto const* started_as = reinterpret_cast<char const*>(getauxval(AT_EXECFN));
  if (started_as == nullptr) return {};
  char* absolute = realpath(started_as, nullptr);
  if (absolute == nullptr) return {};
  path = absolute;
  std::free(absolute);
  return path;
}

// The file the process has mapped at `address`, or empty when none.
std::string MappedFile(void const* address) {
  std::FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) return {};
  auto const at = reinterpret_cast<std::uintptr_t>(address);
  std::string path;
  char* line = nullptr;
  std::size_t room = 0;
  while (getline(&line, &room, maps) > 0) {
    // start-end perms offset device inode   path
    unsigned long start = 0;
    unsigned long end = 0;
    int name = -1;
    if (std::sscanf(line, "%lx-%lx %*s %*s %*s %*s %n", &start, &end, &name) < 2 || name < 0) continue;
    if (at < start || at >= end) continue;
    char const* p = line + name;
    if (*p == '/') path.assign(p, std::strcspn(p, "\n"));
    break;
  }
  std::free(line);
  std::fclose(maps);
  return path;
}

std::string ModulePath(HINSTANCE module) {
  if (module == nullptr) return MainProgramPath();
  link_map* map = brindle::ResolveModule(module);
  if (map == nullptr) return {};
  if (map == brindle::MainProgramMap()) return MainProgramPath();
  if (map->l_name != nullptr && map->l_name[0] == '/') return map->l_name;
  return MappedFile(map->l_ld);
}

}  // namespace

extern "C" DWORD GetModuleFileNameA(HINSTANCE module, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  std::string path = ModulePath(module);
  if (path.empty()) {
    buffer[0] = '\0';
    return 0;
  }
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
