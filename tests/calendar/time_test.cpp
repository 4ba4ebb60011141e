// ATime: instants, local time, the daylight-saving rule, CTime and text.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <random>
#include <sstream>
#include <type_traits>

#include <gtest/gtest.h>

#include "tests/portable.h"
#include "brindle/calendar.h"

namespace {

static_assert(sizeof(ATime) == 4, "one 32-bit count");
static_assert(std::is_trivially_copyable_v<ATime>);

constexpr std::int64_t kUnixEpoch = 2177452800;  // 1970-01-01 as a count

// A client's static initialisers may use the constants: they are built
// before any code runs.
ADate const early_ref = ATime::RefDate;
unsigned int const early_span = ATime::MaxDate - ATime::RefDate;

// The count of a UTC reading.
std::uint32_t Utc(ADate const& date, unsigned int h, unsigned int m = 0, unsigned int s = 0) {
  return (date - ATime::RefDate) * 86400u + h * 3600u + m * 60u + s;
}

// Pins the zone for each test; restores UTC and the print settings after.
class Calendar : public ::testing::Test {
 protected:
  static void UseZone(char const* tz) {
    brindle::testing::SetEnv("TZ", tz);
    _tzset();
  }
  void TearDown() override {
    UseZone("UTC0");
    ADate::SetPrintOption(ADate::MonthDayYear);
    ATime::PrintDate(1);
  }
};

// The old rule's years, with a rule for the C library that agrees where
// the built-in table is the real one.
constexpr char kEastern1998[] = "EST5EDT,M4.1.0,M10.5.0";
constexpr char kEastern2007[] = "EST5EDT,M3.2.0,M11.1.0";

TEST_F(Calendar, ConstantsAtLoad) {
  EXPECT_EQ(ATime::RefDate, ADate(1, 1, 1901));
  EXPECT_EQ(ATime::RefDate, ADate(0, 0));
  EXPECT_EQ(ATime::MaxDate, ADate(5, 2, 2037));
  EXPECT_EQ(ATime::MaxDate, ADate(49709, 0));
  EXPECT_EQ(ATime::MaxDate - ATime::RefDate, 49709u);
  EXPECT_EQ(early_ref, ADate(1, 1, 1901));
  EXPECT_EQ(early_span, 49709u);
  EXPECT_NE(ATime::PrintDateFlag, 0);
}

TEST_F(Calendar, CountsInUtc) {
  EXPECT_EQ(ATime(ADate(1, 1, 1901), 0, 0, 1).Seconds(), 1u);
  EXPECT_EQ(ATime(ADate(2, 1, 1901), 0, 0, 0).Seconds(), 86400u);
  EXPECT_EQ(ATime(ADate(1, 1, 1901), 0, 0, 0).Seconds(), 0u);
  EXPECT_EQ(ATime(ADate(1, 1, 1901), 0, 0, 0).IsValid(), 0);
  EXPECT_EQ(ATime(ATime::MaxDate, 23, 59, 59).Seconds(), 4294943999u);
  EXPECT_EQ(ATime(ADate(31, 4, 1998), 12, 0, 0).Seconds(), 0u);  // invalid date
  // Fields are not validated: hour 25 is 1:00 the next day.
  EXPECT_EQ(ATime(ADate(5, 1, 1998), 25, 0, 0), ATime(ADate(6, 1, 1998), 1, 0, 0));

  ATime const t(ADate(5, 1, 1998), 15, 4, 5);
  EXPECT_EQ(t.Seconds(), Utc(ADate(5, 1, 1998), 15, 4, 5));
  EXPECT_EQ(t.Hash(), t.Seconds());
  EXPECT_EQ(t.Hour(), 15u);
  EXPECT_EQ(t.HourGMT(), 15u);
  EXPECT_EQ(t.Minute(), 4u);
  EXPECT_EQ(t.MinuteGMT(), 4u);
  EXPECT_EQ(t.Second(), 5u);
  EXPECT_EQ(t.IsDST(), 0);
  EXPECT_EQ(ADate(t), ADate(5, 1, 1998));
  EXPECT_EQ(ADate(ATime(0u)).Hash(), 0u);
}

TEST_F(Calendar, DaylightSavingBoundaries) {
  UseZone(kEastern1998);
  ASSERT_EQ(_timezone, 18000);
  ASSERT_NE(_daylight, 0);
  struct Row {
    unsigned int year;
    ADate begin, end;
  } const rows[] = {
      {1974, ADate(6, 1, 1974), ADate(27, 10, 1974)},  {1975, ADate(23, 2, 1975), ADate(26, 10, 1975)},
      {1978, ADate(23, 4, 1978), ADate(29, 10, 1978)}, {1986, ADate(27, 4, 1986), ADate(26, 10, 1986)},
      {1987, ADate(5, 4, 1987), ADate(25, 10, 1987)},  {1991, ADate(31, 3, 1991), ADate(27, 10, 1991)},
      {1993, ADate(4, 4, 1993), ADate(24, 10, 1993)},  {1998, ADate(5, 4, 1998), ADate(25, 10, 1998)},
      {2006, ADate(2, 4, 2006), ADate(29, 10, 2006)},  {2007, ADate(11, 3, 2007), ADate(4, 11, 2007)},
      {2026, ADate(8, 3, 2026), ADate(1, 11, 2026)},
      // A two-digit year is not expanded before the rule is chosen.
      {98, ADate(26, 4, 1998), ADate(25, 10, 1998)},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.year);
    std::uint32_t const begin = Utc(r.begin, 7);  // 2:00 EST
    std::uint32_t const end = Utc(r.end, 6);      // 1:00 EST, 2:00 EDT
    EXPECT_EQ(ATime::BeginDST(r.year).Seconds(), begin);
    EXPECT_EQ(ATime::EndDST(r.year).Seconds(), end);
    if (r.year < 1900) continue;
    if (r.year > 1975) {
      EXPECT_EQ(r.begin.WeekDay(), 7u);
    }
    EXPECT_EQ(r.end.WeekDay(), 7u);
    EXPECT_EQ(ATime(begin - 1).IsDST(), 0);
    EXPECT_EQ(ATime(begin).IsDST(), 1);
    EXPECT_EQ(ATime(end - 1).IsDST(), 1);
    EXPECT_EQ(ATime(end).IsDST(), 0);
    // One second before and at the change, on the local clock.
    EXPECT_EQ(ATime(begin - 1).Hour(), 1u);
    EXPECT_EQ(ATime(begin).Hour(), 3u);
    EXPECT_EQ(ATime(end - 1).Hour(), 1u);
    EXPECT_EQ(ATime(end - 1).Minute(), 59u);
    EXPECT_EQ(ATime(end).Hour(), 1u);
  }
  // Without daylight-saving time in the zone, nothing is ever daylight time.
  UseZone("EST5");
  EXPECT_EQ(ATime(Utc(ADate(1, 7, 1998), 12)).IsDST(), 0);
  EXPECT_EQ(ATime(Utc(ADate(1, 7, 1998), 12)).Hour(), 7u);
}

TEST_F(Calendar, SkippedAndRepeatedHours) {
  UseZone(kEastern1998);
  struct Row {
    ADate date;
    unsigned int h, m;
    std::uint32_t expected;  // 0: the reading does not exist
  } const rows[] = {
      {ADate(5, 4, 1998), 1, 59, Utc(ADate(5, 4, 1998), 6, 59)},
      {ADate(5, 4, 1998), 2, 0, 0},
      {ADate(5, 4, 1998), 2, 30, 0},
      {ADate(5, 4, 1998), 3, 0, Utc(ADate(5, 4, 1998), 7)},
      {ADate(25, 10, 1998), 0, 30, Utc(ADate(25, 10, 1998), 4, 30)},
      {ADate(25, 10, 1998), 1, 30, Utc(ADate(25, 10, 1998), 6, 30)},  // repeated: standard time
      {ADate(25, 10, 1998), 2, 0, Utc(ADate(25, 10, 1998), 7)},
      {ADate(8, 3, 2026), 2, 30, 0},
      {ADate(8, 3, 2026), 3, 0, Utc(ADate(8, 3, 2026), 7)},
      {ADate(1, 11, 2026), 0, 59, Utc(ADate(1, 11, 2026), 4, 59)},
      {ADate(1, 11, 2026), 1, 30, Utc(ADate(1, 11, 2026), 6, 30)},
      {ADate(1, 7, 2026), 12, 0, Utc(ADate(1, 7, 2026), 16)},
      {ADate(1, 1, 2026), 12, 0, Utc(ADate(1, 1, 2026), 17)},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(testing::Message() << r.date.AsString() << r.h << ":" << r.m);
    EXPECT_EQ(ATime(r.date, r.h, r.m, 0).Seconds(), r.expected);
  }
  // Both passes through the repeated hour read as 1:30.
  ATime const first(Utc(ADate(25, 10, 1998), 5, 30));
  ATime const second(Utc(ADate(25, 10, 1998), 6, 30));
  EXPECT_EQ(first.Hour(), 1u);
  EXPECT_EQ(second.Hour(), 1u);
  EXPECT_EQ(first.Minute(), 30u);
  EXPECT_EQ(first.HourGMT(), 5u);
}

// The built-in rule from 2007 on against the C library's reading of the
// same rule, at each change and one second before it.
TEST_F(Calendar, RuleFrom2007AgreesWithTheCLibrary) {
  UseZone(kEastern2007);
  for (unsigned int year = 2007; year <= 2036; ++year) {
    SCOPED_TRACE(year);
    for (std::uint32_t change : {ATime::BeginDST(year).Seconds(), ATime::EndDST(year).Seconds()}) {
      for (std::uint32_t count : {change - 1, change, change + 1800}) {
        std::time_t const t = static_cast<std::time_t>(count - kUnixEpoch);
        struct tm fields {};
        ASSERT_NE(localtime_r(&t, &fields), nullptr);
        ATime const time(count);
        EXPECT_EQ(time.IsDST(), fields.tm_isdst > 0 ? 1 : 0) << count;
        EXPECT_EQ(time.Hour(), static_cast<unsigned int>(fields.tm_hour)) << count;
        EXPECT_EQ(ADate(time), ADate(CTime(t))) << count;
      }
    }
  }
}

TEST_F(Calendar, EastOfGreenwich) {
  UseZone("JST-9");
  ASSERT_EQ(_timezone, -32400);
  ATime const t(ADate(1, 1, 2000), 0, 30, 0);
  EXPECT_EQ(t.Seconds(), Utc(ADate(31, 12, 1999), 15, 30));
  EXPECT_EQ(t.Hour(), 0u);
  EXPECT_EQ(t.HourGMT(), 15u);
  EXPECT_EQ(ADate(t), ADate(1, 1, 2000));
}

TEST_F(Calendar, CTimeConversions) {
  UseZone(kEastern1998);
  // A clock value in the repeated hour gives the standard-time instant.
  std::time_t const repeated = static_cast<std::time_t>(Utc(ADate(25, 10, 1998), 5, 30) - kUnixEpoch);
  EXPECT_EQ(ATime(CTime(repeated)).Seconds(), Utc(ADate(25, 10, 1998), 6, 30));

  for (char const* zone : {"UTC0", kEastern2007}) {
    UseZone(zone);
    SCOPED_TRACE(zone);
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::uint32_t> counts(Utc(ADate(1, 1, 2007), 0), Utc(ADate(31, 12, 2036), 0));
    for (int i = 0; i < 5000; ++i) {
      ATime const time(counts(rng));
      // The readings of the repeated hour name two instants each.
      std::uint32_t const end = ATime::EndDST(ADate(time).Year()).Seconds();
      if (_daylight != 0 && time.Seconds() + 3600 >= end && time.Seconds() < end + 3600) continue;
      CTime const c = time;
      ASSERT_EQ(c.GetTime(), static_cast<std::time_t>(time.Seconds() - kUnixEpoch)) << time.Seconds();
      ASSERT_EQ(ATime(c), time) << time.Seconds();
    }
  }
}

TEST_F(Calendar, NowFollowsTheClock) {
  for (char const* zone : {"UTC0", kEastern2007}) {
    UseZone(zone);
    SCOPED_TRACE(zone);
    std::int64_t const before = std::time(nullptr) + kUnixEpoch;
    ATime const now;
    std::int64_t const after = std::time(nullptr) + kUnixEpoch;
    // In the repeated hour the reading names the later instant.
    EXPECT_GE(static_cast<std::int64_t>(now.Seconds()), before);
    EXPECT_LE(static_cast<std::int64_t>(now.Seconds()), after + (_daylight != 0 ? 3600 : 0));
    ATime const noon(12, 0, 0);
    ADate const today;
    EXPECT_TRUE(ADate(noon) == today || today - ADate(noon) == 1u);
    EXPECT_EQ(noon.Hour(), 12u);
  }
}

TEST_F(Calendar, TimeText) {
  ASSERT_EQ(ATime::PrintDate(0), 1);
  struct Row {
    unsigned int h, m, s;
    char const* text;
  } const rows[] = {
      {15, 4, 5, "3:04:05 pm"},  {0, 0, 0, "0:00:00 am"},    {12, 30, 0, "12:30:00 pm"},
      {13, 0, 0, "1:00:00 pm"},  {11, 59, 59, "11:59:59 am"}, {23, 59, 59, "11:59:59 pm"},
      {10, 10, 10, "10:10:10 am"},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.text);
    ATime const t(ADate(5, 1, 1998), r.h, r.m, r.s);
    EXPECT_STREQ(t.AsString(), r.text);
    std::ostringstream out;
    out << t;
    EXPECT_EQ(out.str(), r.text);
  }
}

TEST_F(Calendar, TimeTextWithTheDate) {
  ATime const t(ADate(5, 1, 1998), 15, 4, 5);
  struct Row {
    int option;
    char const* text;
  } const rows[] = {
      {0, "January 5, 1998\n 3:04:05 pm"}, {1, " 5-Jan-1998 3:04:05 pm"}, {2, "1/5/1998\n 3:04:05 pm"},
      {3, "5 January 1998\n 3:04:05 pm"},  {4, " 3:04:05 pm"},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.option);
    ADate::SetPrintOption(static_cast<ADate::HowToPrint>(r.option));
    EXPECT_STREQ(t.AsString(), r.text);
    std::ostringstream out;
    out << t;
    EXPECT_EQ(out.str(), r.text);
  }
  // The date is the local one.
  UseZone(kEastern1998);
  ADate::SetPrintOption(ADate::MonthDayYear);
  EXPECT_STREQ(ATime(Utc(ADate(6, 1, 1998), 2)).AsString(), "January 5, 1998\n 9:00:00 pm");
}

TEST_F(Calendar, PrintDateReturnsThePreviousFlag) {
  EXPECT_EQ(ATime::PrintDate(0), 1);
  EXPECT_EQ(ATime::PrintDateFlag, 0);
  EXPECT_EQ(ATime::PrintDate(0), 0);
  EXPECT_EQ(ATime::PrintDate(5), 0);
  EXPECT_EQ(ATime::PrintDateFlag, 1);
  EXPECT_EQ(ATime::PrintDate(1), 1);
}

TEST_F(Calendar, OrderAndArithmetic) {
  ATime const times[] = {ATime(100u), ATime(200u), ATime(0xFFFFFFFFu)};
  for (ATime const& a : times) {
    for (ATime const& b : times) {
      SCOPED_TRACE(testing::Message() << a.Seconds() << " against " << b.Seconds());
      EXPECT_EQ(a.CompareTo(b), a.Seconds() < b.Seconds() ? -1 : (a.Seconds() > b.Seconds() ? 1 : 0));
      EXPECT_EQ((a < b) + (a == b) + (a > b), 1);
      EXPECT_EQ(a <= b, !(a > b));
      EXPECT_EQ(a >= b, !(a < b));
      EXPECT_EQ(a != b, !(a == b));
      EXPECT_EQ(a.Max(b).Seconds(), std::max(a.Seconds(), b.Seconds()));
      EXPECT_EQ(a.Min(b).Seconds(), std::min(a.Seconds(), b.Seconds()));
      EXPECT_EQ(a.Between(a.Min(b), a.Max(b)), 1);
    }
  }
  ATime t(100u);
  EXPECT_EQ((t += -300).Seconds(), 0xFFFFFF38u);  // wraps: 100 - 300
  EXPECT_EQ((t -= -300).Seconds(), 100u);
  t = ATime(0u);
  EXPECT_EQ((--t).Seconds(), 0xFFFFFFFFu);
  EXPECT_EQ((t++).Seconds(), 0xFFFFFFFFu);
  EXPECT_EQ((t--).Seconds(), 0u);
  EXPECT_EQ((++t).Seconds(), 0u);
}

TEST_F(Calendar, AssertDateIsTheCountRange) {
  struct Probe : ATime {
    using ATime::AssertDate;
  };
  ADate before = ATime::RefDate;
  --before;
  ADate after = ATime::MaxDate;
  ++after;
  EXPECT_EQ(Probe::AssertDate(ATime::RefDate), 1);
  EXPECT_EQ(Probe::AssertDate(ATime::MaxDate), 1);
  EXPECT_EQ(Probe::AssertDate(ADate(5, 1, 1998)), 1);
  EXPECT_EQ(Probe::AssertDate(before), 0);
  EXPECT_EQ(Probe::AssertDate(after), 0);
}

}  // namespace
