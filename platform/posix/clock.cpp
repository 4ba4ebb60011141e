// The C runtime's time-zone state.
//
// Callers rely on: after _tzset(), _timezone holds the seconds west of UTC of
// the zone's standard time and _daylight is non-zero exactly when the zone's
// rule in force now has daylight-saving time, both read from TZ (or the
// system's zone when TZ is unset) as the C library's tzset() reads them.
//
// The C library's own `daylight` is non-zero when the zone has had
// daylight-saving time at any time in its history (Phoenix in 1967, Tokyo in
// 1951), so it is not used: the zone counts as observing daylight-saving time
// when some day of the current year is in it.
#include <time.h>

#include "platform/platform.h"

namespace {

bool DaylightSavingThisYear() {
  time_t const now = time(nullptr);
  struct tm local;
  if (localtime_r(&now, &local) == nullptr) return daylight != 0;
  struct tm first_noon{};
  first_noon.tm_year = local.tm_year;
  first_noon.tm_mday = 1;
  first_noon.tm_hour = 12;
  time_t const start = timegm(&first_noon);
  // Noon UTC of each day: no zone keeps daylight-saving time for less than
  // a day, and one that keeps it over the new year is in it on 1 January.
  for (int day = 0; day < 366; ++day) {
    time_t const instant = start + static_cast<time_t>(day) * 86400;
    if (localtime_r(&instant, &local) != nullptr && local.tm_isdst > 0) return true;
  }
  return false;
}

}  // namespace

extern "C" {

long _timezone = 0;
int _daylight = 0;

void _tzset(void) {
  tzset();
  _timezone = timezone;
  _daylight = DaylightSavingThisYear() ? 1 : 0;
}

}  // extern "C"
