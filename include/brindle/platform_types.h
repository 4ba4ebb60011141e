/// @file
/// The platform's own types and the runtime names that client code may use.
///
/// On Windows these come from the system headers. On POSIX the library
/// provides stand-ins with the same names and shapes, so that code written for
/// the original platform compiles unchanged: the geometry records are runs of
/// signed 32-bit integers, BYTE/WORD/UINT/DWORD have their platform widths, and
/// a module handle is opaque.
///
/// Thread safety: LoadStringA() may run on several threads at once. _tzset()
/// writes _timezone and _daylight, which the calendar classes read, without
/// synchronisation: call it only while no other thread uses them (the library
/// itself calls it once, at load).
#ifndef BRINDLE_PLATFORM_TYPES_H
#define BRINDLE_PLATFORM_TYPES_H

#include "brindle/export.h"

#if defined(_WIN32)

#include <windows.h>
#include <time.h>

#else  // POSIX stand-ins

#include <cstdint>

typedef std::uint8_t BYTE;    ///< An unsigned 8-bit byte.
typedef std::uint16_t WORD;   ///< An unsigned 16-bit word.
typedef std::uint32_t DWORD;  ///< An unsigned 32-bit double word.
typedef unsigned int UINT;    ///< An unsigned int (32-bit on every target).
typedef std::int32_t LONG;    ///< A signed 32-bit integer, also where long is wider.
typedef int BOOL;             ///< A truth value as an int: 0 is false.

struct HINSTANCE__;
/// A module handle. Null names the main program; any other value is a handle
/// returned by dlopen(), converted with `static_cast<HINSTANCE>(handle)`.
typedef HINSTANCE__* HINSTANCE;

/// A point, by its two coordinates.
struct POINT {
  LONG x;  ///< The horizontal coordinate.
  LONG y;  ///< The vertical coordinate.
};

/// An extent, or the distance between two points.
struct SIZE {
  LONG cx;  ///< The width: the extent along x.
  LONG cy;  ///< The height: the extent along y.
};

/// A rectangle, by its edges; the right and bottom edges lie outside it.
struct RECT {
  LONG left;    ///< The left edge: the first column inside.
  LONG top;     ///< The top edge: the first row inside.
  LONG right;   ///< The right edge: the first column outside.
  LONG bottom;  ///< The bottom edge: the first row outside.
};

extern "C" {

/// Reads the time-zone setting from the environment (TZ, or the system's zone
/// when TZ is unset) into _timezone (seconds west of UTC of standard time) and
/// _daylight (non-zero when the zone's rule in force now has daylight-saving
/// time: some day of the current year is in it; a zone that has given it up,
/// such as America/Phoenix, gives 0). The library calls it once at load.
BRINDLE_API void _tzset(void);
/// Seconds west of UTC of the zone's standard time, as _tzset() last read it.
BRINDLE_API extern long _timezone;
/// Non-zero when the zone observes daylight-saving time this year, as
/// _tzset() last read it.
BRINDLE_API extern int _daylight;

/// Copies the string resource `id` of `module` (null: the main program) into
/// `buffer`, at most `size` - 1 characters and a terminating NUL, and returns
/// the number of characters copied. Returns 0, with an empty buffer when one
/// was given, when the module has no such resource, when `buffer` is null or
/// when `size` is not positive. A module carries its resources in a
/// brindle::StringTable (`<brindle/string_table.h>`).
BRINDLE_API int LoadStringA(HINSTANCE module, UINT id, char* buffer, int size);

}  // extern "C"

#endif  // _WIN32

static_assert(sizeof(POINT) == 8 && sizeof(SIZE) == 8 && sizeof(RECT) == 16,
              "geometry records are runs of 32-bit integers");
// 64-bit Windows is LLP64: LONG stays 32-bit there, as on 32-bit targets.
static_assert(sizeof(WORD) == 2 && sizeof(UINT) == 4 && sizeof(DWORD) == 4 && sizeof(LONG) == 4,
              "the interface's 16- and 32-bit quantities keep their width on every target");

#endif  // BRINDLE_PLATFORM_TYPES_H
