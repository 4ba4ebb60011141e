// Path joining and the directory part of a file name, for any separator.
// Built only on AString's public members, so a test program can compile this
// file in and check the other platform's rule.
#include "text/string_paths.h"

namespace brindle::detail {

void JoinPath(AString& path, char const* component, char separator) {
  // Copied first: `component` may lie in `path`'s own text.
  AString tail(component);
  tail.strip(AString::strip_leading, separator);
  path.strip(AString::strip_trailing, separator);
  path.append(separator, 1);
  path.append(tail.c_str(), 0, AString::npos);
}

AString DirectoryPart(AString const& file, char separator) {
  unsigned int last = file.rfind(separator, AString::npos);
  return last == AString::npos ? AString() : AString(file, 0, last + 1);
}

}  // namespace brindle::detail
