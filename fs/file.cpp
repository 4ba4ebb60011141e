// AFile: a file path, tested for existence and for exclusive write access.
#include <cstring>

#include "brindle/fs.h"
#include "platform/platform.h"

namespace {

// The characters of `text` that a count may take: never past its terminator.
int UsableCount(char const* text, int count) {
  if (text == nullptr || count <= 0) return 0;
  return static_cast<int>(strnlen(text, static_cast<std::size_t>(count)));
}

}  // namespace

AFile::AFile(CString const& text) : path(text) {}

AFile::AFile(char const* text, int count) : path(text, UsableCount(text, count)) {}

AFile::AFile(AFile const& other) = default;

AFile& AFile::operator=(AFile const& other) = default;

AFile::~AFile() = default;

int AFile::Exists() const {
  DWORD const attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
}

int AFile::IsLocked() const {
  if (Exists() == 0) return 1;
  // Open only what exists: a file removed since the test must not come back
  // as an empty one.
  HANDLE const handle =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD const error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 1 : 0;
  }
  CloseHandle(handle);
  return 1;
}
