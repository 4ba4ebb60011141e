/// @file
/// Brindle: the whole public surface in one header.
///
/// Thread safety: as each included header states.
#ifndef BRINDLE_BRINDLE_H
#define BRINDLE_BRINDLE_H

#include "brindle/version.h"
#include "brindle/export.h"
#include "brindle/platform_types.h"
#include "brindle/framework.h"
#include "brindle/string_table.h"
#include "brindle/astring.h"
#include "brindle/calendar.h"
#include "brindle/scramble.h"
#include "brindle/fs.h"
#include "brindle/bits.h"
#include "brindle/geometry.h"
// Not brindle/rpc_runtime.h: it needs libtirpc's headers, which only RPC
// clients and servers have.
#include "brindle/rpc.h"

#endif  // BRINDLE_BRINDLE_H
