// A short printed tour of the library, one family at a time.
#include <brindle/brindle.h>

#include <cstdio>

#include "examples/tour/tour.h"

int main() {
  std::printf("%s\n", AString(100u, static_cast<HINSTANCE>(nullptr)).c_str());
  std::printf("time zone: %ld seconds west of UTC, daylight saving %s\n", _timezone, _daylight ? "yes" : "no");
  StringTour();
  TextEditingTour();
  CalendarTour();
  DaylightSavingTour();
  FsTour();
  ValuesTour();
  return 0;
}
