// _daylight follows the zone's rule in force now, not its history: zones that
// have daylight-saving time now, that had it once, and that never had it.
#include <gtest/gtest.h>

#include "brindle/calendar.h"
#include "tests/portable.h"

#if !defined(_WIN32)  // zones named as the POSIX C library names them
TEST(ZoneRule, DaylightSavingOnlyWhereTheZoneHasItNow) {
  unsigned int const july_2020 = 3771057600u;  // 1 July 2020, 12:00 UTC
  struct Row { char const* tz; int daylight; unsigned int hour, minute; };  // the local reading of july_2020
  for (Row const& row : {
           Row{"America/New_York", 1, 8, 0},
           Row{"Europe/London", 1, 13, 0},
           Row{"Australia/Sydney", 1, 23, 0},  // the built-in rule is the northern one
           Row{"America/Phoenix", 0, 5, 0},
           Row{"Asia/Tokyo", 0, 21, 0},
           Row{"Asia/Kolkata", 0, 17, 30},
           Row{"Asia/Shanghai", 0, 20, 0},
           Row{"Europe/Moscow", 0, 15, 0},
           Row{"America/Sao_Paulo", 0, 9, 0},
           Row{"Asia/Kathmandu", 0, 17, 45},  // never had daylight-saving time
       }) {
    SCOPED_TRACE(row.tz);
    brindle::testing::SetEnv("TZ", row.tz);
    _tzset();
    EXPECT_EQ(_daylight != 0, row.daylight != 0);
    ATime const t(july_2020);
    EXPECT_EQ(t.IsDST(), row.daylight);
    EXPECT_EQ(t.Hour() * 60 + t.Minute(), row.hour * 60 + row.minute);
    EXPECT_EQ(ATime(ADate(1, 7, 2020), row.hour, row.minute, 0).Seconds(), july_2020);
    // At the built-in rule's changes only a zone with daylight-saving time
    // changes, and only there is a local hour skipped (8 March 2020, 2:00).
    EXPECT_EQ(ATime::BeginDST(2020).IsDST(), row.daylight);
    EXPECT_EQ(ATime(ATime::EndDST(2020).Seconds() - 1).IsDST(), row.daylight);
    EXPECT_EQ(ATime(ADate(8, 3, 2020), 2, 30, 0).IsValid(), 1 - row.daylight);
  }
  brindle::testing::SetEnv("TZ", "UTC0");
  _tzset();
}
#endif
