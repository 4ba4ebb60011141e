#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "tests/portable.h"
#include "brindle/brindle.h"

namespace {

// Pins the zone for each test and restores UTC afterwards.
class CTimeTest : public ::testing::Test {
 protected:
  void UseZone(char const* tz) {
    brindle::testing::SetEnv("TZ", tz);
    _tzset();
  }
  void TearDown() override { UseZone("UTC0"); }
};

TEST_F(CTimeTest, LocalCalendarRoundTrip) {
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  CTime t(1998, 1, 5, 13, 14, 15);
  EXPECT_EQ(t.GetTime(), 884024055);  // 18:14:15 UTC
  struct tm fields {};
  ASSERT_NE(t.GetLocalTm(&fields), nullptr);
  EXPECT_EQ(fields.tm_year, 98);
  EXPECT_EQ(fields.tm_mon, 0);
  EXPECT_EQ(fields.tm_mday, 5);
  EXPECT_EQ(fields.tm_hour, 13);
  EXPECT_EQ(t.GetYear(), 1998);
  EXPECT_EQ(t.GetMonth(), 1);
  EXPECT_EQ(t.GetDay(), 5);
  EXPECT_EQ(t.GetHour(), 13);
  EXPECT_EQ(t.GetMinute(), 14);
  EXPECT_EQ(t.GetSecond(), 15);
  EXPECT_EQ(t.GetDayOfWeek(), 2);  // a Monday
  EXPECT_EQ(CTime(t.GetTime()), t);
}

TEST_F(CTimeTest, DaylightSavingTime) {
  UseZone("EST5EDT,M3.2.0,M11.1.0");
  CTime summer(2026, 7, 1, 12, 0, 0);
  EXPECT_EQ(summer.GetTime(), 1782921600);  // 16:00 UTC
  struct tm fields {};
  summer.GetLocalTm(&fields);
  EXPECT_GT(fields.tm_isdst, 0);
  // The flag says which clock the fields are on, where the zone's rule does
  // not decide it.
  EXPECT_EQ(CTime(2026, 7, 1, 12, 0, 0, 0).GetTime() - summer.GetTime(), 3600);
}

TEST_F(CTimeTest, DefaultAndNullRecord) {
  EXPECT_EQ(CTime().GetTime(), 0);
  CTime epoch(0);
  struct tm* fields = epoch.GetGmtTm(nullptr);
  ASSERT_NE(fields, nullptr);
  EXPECT_EQ(fields->tm_year, 70);
  EXPECT_LE(CTime(1), CTime::GetCurrentTime());
}

}  // namespace
