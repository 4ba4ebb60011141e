// The platform's own types and the runtime names that client code may use.
//
// On Windows these come from the system headers. On POSIX the library
// provides stand-ins with the same names and shapes, so that code written for
// the original platform compiles unchanged: the geometry records are runs of
// signed 32-bit integers, BYTE/WORD/UINT/DWORD have their platform widths, and
// a module handle is opaque.
#ifndef BRINDLE_PLATFORM_TYPES_H
#define BRINDLE_PLATFORM_TYPES_H

#include "brindle/export.h"

#if defined(_WIN32)

#include <windows.h>
#include <time.h>

#else  // POSIX stand-ins

#include <cstdint>

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef unsigned int UINT;
typedef std::int32_t LONG;
typedef int BOOL;

// A module handle. Null names the main program; any other value is a handle
// returned by dlopen(), converted with static_cast<HINSTANCE>(handle).
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

extern "C" {

// _tzset()
//
// Reads the time-zone setting from the environment (TZ, or the system's zone
// when TZ is unset) into _timezone (seconds west of UTC of standard time) and
// _daylight (non-zero when the zone's rule in force now has daylight-saving
// time: some day of the current year is in it; a zone that has given it up,
// such as America/Phoenix, gives 0). The library calls it once at load.
BRINDLE_API void _tzset(void);
BRINDLE_API extern long _timezone;
BRINDLE_API extern int _daylight;

// LoadStringA()
//
// Copies the string resource `id` of `module` (null: the main program) into
// `buffer`, at most `size` - 1 characters and a terminating NUL, and returns
// the number of characters copied. Returns 0, with an empty buffer when one
// was given, when the module has no such resource, when `buffer` is null or
// when `size` is not positive. A module carries its resources in a
// brindle::StringTable (<brindle/string_table.h>).
BRINDLE_API int LoadStringA(HINSTANCE module, UINT id, char* buffer, int size);

}  // extern "C"

#endif  // _WIN32

static_assert(sizeof(POINT) == 8 && sizeof(SIZE) == 8 && sizeof(RECT) == 16,
              "geometry records are runs of 32-bit integers");
// 64-bit Windows is LLP64: LONG stays 32-bit there, as on 32-bit targets.
static_assert(sizeof(WORD) == 2 && sizeof(UINT) == 4 && sizeof(DWORD) == 4 && sizeof(LONG) == 4,
              "the interface's 16- and 32-bit quantities keep their width on every target");

#endif  // BRINDLE_PLATFORM_TYPES_H
