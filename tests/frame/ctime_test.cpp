#include <ctime>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/brindle.h"
#include "tests/portable.h"

namespace {

// A client's own static initialiser may already use the library.
AString const early_string("built before main");

void UseZone(char const* tz) {
  brindle::testing::SetEnv("TZ", tz);
  _tzset();
}

// The process starts with TZ=UTC0 (see tests/CMakeLists.txt), read at load;
// _tzset follows the environment.
TEST(CTimeTest, ZoneAndLocalCalendar) {
  EXPECT_STREQ(early_string.c_str(), "built before main");
  EXPECT_TRUE(_timezone == 0 && _daylight == 0);
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  CTime t(1998, 1, 5, 13, 14, 15);
  EXPECT_EQ(t.GetTime(), 884024055);  // 18:14:15 UTC
  struct tm fields {};
  ASSERT_NE(t.GetLocalTm(&fields), nullptr);
  EXPECT_EQ(fields.tm_year * 10000 + fields.tm_mon * 100 + fields.tm_mday, 980005);
  EXPECT_EQ((std::vector{t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond(),
                         t.GetDayOfWeek()}),
            (std::vector{1998, 1, 5, 13, 14, 15, 2}));  // a Monday
  CTime summer(2026, 7, 1, 12, 0, 0);
  EXPECT_EQ(summer.GetTime(), 1782921600);  // 16:00 UTC
  // The flag says which clock the fields are on, where the zone's rule does
  // not decide it.
  EXPECT_EQ(CTime(2026, 7, 1, 12, 0, 0, 0).GetTime() - summer.GetTime(), 3600);
  UseZone("UTC0");
  EXPECT_EQ(CTime(0).GetGmtTm(nullptr)->tm_year, 70);
  EXPECT_LE(CTime(1), CTime::GetCurrentTime());
}

}  // namespace
