// The path rules behind AString::operator^= and AString::getcfd, with the
// separator as a parameter so that either platform's rule can be exercised on
// any host. Internal.
#ifndef BRINDLE_TEXT_STRING_PATHS_H
#define BRINDLE_TEXT_STRING_PATHS_H

#include "brindle/astring.h"

namespace brindle::detail {

// Joins `component` (null: empty) to `path` with exactly one `separator`
// between them: the component's leading separators and the path's trailing
// ones are dropped first.
void JoinPath(AString& path, char const* component, char separator);

// `file` up to and including its last `separator`; empty when it has none.
AString DirectoryPart(AString const& file, char separator);

}  // namespace brindle::detail

#endif  // BRINDLE_TEXT_STRING_PATHS_H
