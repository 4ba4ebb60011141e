// Brindle: the whole public surface in one header.
#ifndef BRINDLE_BRINDLE_H
#define BRINDLE_BRINDLE_H

#include "brindle/export.h"
#include "brindle/platform_types.h"
#include "brindle/framework.h"
#include "brindle/string_table.h"
#include "brindle/astring.h"

#endif  // BRINDLE_BRINDLE_H
