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

AFile::LockState AFile::GetLockState() const {
  DWORD const attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Directory;
  bool held_here = false;
  switch (brindle::ProbeExclusiveWrite(path, &held_here)) {
    case ERROR_SUCCESS:
      return Free;
    case ERROR_FILE_NOT_FOUND:  // removed since its attributes were read
    case ERROR_PATH_NOT_FOUND:
      return Missing;
    case ERROR_SHARING_VIOLATION:
      return held_here ? HeldByThisProcess : HeldByOtherProcess;
    default:
      return NotWritable;
  }
}

int AFile::IsLocked() const {
  LockState const state = GetLockState();
  return state == Free || state == Missing || state == Directory ? 1 : 0;
}
