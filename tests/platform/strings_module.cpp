// A loadable module with string resources of its own, for the LoadStringA
// tests. Identifier 1 is also in the test program's table, with another text.
#include "brindle/string_table.h"

static const brindle::StringTable strings = {{1, "module one"}, {7, "seven in the module"}};
