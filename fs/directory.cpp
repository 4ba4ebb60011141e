// ADirectory: a directory path, joined with names and tested on disk.
#include "brindle/fs.h"
#include "platform/platform.h"

ADirectory::ADirectory() = default;

ADirectory::ADirectory(char const* text) : path(text) {}

ADirectory::ADirectory(ADirectory const& other) = default;

ADirectory& ADirectory::operator=(ADirectory const& other) = default;

ADirectory::~ADirectory() = default;

ADirectory ADirectory::operator^(char const* name) const {
  ADirectory joined;
  joined.path.Format("%s%c%s", static_cast<char const*>(path), brindle::kPathSeparator,
                     name != nullptr ? name : "");
  return joined;
}

bool ADirectory::ExistsAsDirectory() const {
  DWORD const attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
