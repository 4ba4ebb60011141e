// The working directory on POSIX: _getcwd.
//
// Callers rely on: the directory and a NUL in the buffer, or null when it
// does not fit (or cannot be read); with a null buffer, a block from malloc()
// that holds the whole name, however long, for the caller to free().
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "platform/platform.h"

extern "C" char* _getcwd(char* buffer, int size) {
  if (buffer == nullptr) return getcwd(nullptr, 0);  // sized to fit
  if (size <= 0) {
    errno = EINVAL;
    return nullptr;
  }
  return getcwd(buffer, static_cast<std::size_t>(size));
}
