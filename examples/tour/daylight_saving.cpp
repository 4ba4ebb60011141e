// Tour: the built-in daylight-saving rule against the platform's local time.
#include <brindle/brindle.h>

#include <iostream>

#include "examples/tour/tour.h"

void DaylightSavingTour() {
  std::cout << "\nATime::CheckDST: the built-in rule against this machine's zone (TZ, or the system's)\n";
  unsigned int const year = ADate().Year();
  for (unsigned int y : {year, year + 1}) {
    ATime::DstCheck const check = ATime::CheckDST(y);
    std::cout << check;
    if (check.checked != 0 && !check.mismatches.empty()) {
      std::cout << "  in " << check.mismatches.size() << " span(s) ATime's local clock is an hour off the platform's\n";
    }
  }
}
