// The C runtime's time-zone state.
//
// Callers rely on: after _tzset(), _timezone holds the seconds west of UTC of
// the zone's standard time and _daylight is non-zero exactly when the zone
// has a daylight-saving rule, both read from TZ (or the system's zone when TZ
// is unset), as the C library's tzset() reads them.
#include <time.h>

#include "platform/platform.h"

extern "C" {

long _timezone = 0;
int _daylight = 0;

void _tzset(void) {
  tzset();
  _timezone = timezone;
  _daylight = daylight != 0 ? 1 : 0;
}

}  // extern "C"
