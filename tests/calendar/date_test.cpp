// ADate: day numbers, calendar fields, names and arithmetic.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <random>
#include <type_traits>

#include <gtest/gtest.h>

#include "tests/portable.h"
#include "brindle/calendar.h"
#include "calendar/calendar_internal.h"

namespace {

static_assert(sizeof(ADate) == 4, "one 32-bit day number");
static_assert(std::is_trivially_copyable_v<ADate> && std::is_standard_layout_v<ADate>);

constexpr unsigned int kRefDay = 2415386;  // 1 January 1901

// The date with day number `n` (the year-0 constructor counts from 1901).
ADate FromDayNumber(std::uint32_t n) { return ADate(n - kRefDay, 0); }

TEST(Date, JdayKnownValues) {
  struct Row {
    unsigned int month, day, year, expected;
  } const rows[] = {
      {1, 1, 2000, 2451545},  {1, 1, 1, 2415386},     {1, 1, 1901, 2415386},  {1, 1, 100, 1757585},
      {2, 29, 2000, 2451604}, {2, 29, 1900, 0},       {2, 29, 0, 0},          {2, 29, 96, 2450143},
      {13, 1, 1998, 0},       {0, 1, 1998, 0},        {4, 31, 1998, 0},       {1, 0, 1998, 0},
      {1, 32, 1998, 0},       {12, 31, 1999, 2451544}, {2, 5, 2037, 2465095}, {3, 1, 0, 2415080},
      {6, 4, 2939805, 1075462942}, {12, 31, 2939899, 1075497485},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(testing::Message() << r.month << "/" << r.day << "/" << r.year);
    EXPECT_EQ(ADate::Jday(r.month, r.day, r.year), r.expected);
  }
}

TEST(Date, TwoDigitYearsAreTheNineteenHundreds) {
  for (unsigned int y = 0; y <= 99; ++y) {
    SCOPED_TRACE(y);
    EXPECT_EQ(ADate::Jday(3, 1, y), ADate::Jday(3, 1, 1900 + y));
    EXPECT_EQ(ADate(60, y + 1), ADate(60, 1901 + y));  // day-of-year form: the year before is read too
  }
  EXPECT_NE(ADate::Jday(1, 1, 100), ADate::Jday(1, 1, 2000));
}

TEST(Date, LeapYearsAndMonthLengths) {
  struct Row {
    unsigned int year;
    int leap;
  } const rows[] = {{0, 1}, {4, 1}, {100, 0}, {1900, 0}, {1996, 1}, {1998, 0}, {2000, 1}, {2100, 0}, {2400, 1}};
  for (Row const& r : rows) {
    SCOPED_TRACE(r.year);
    EXPECT_EQ(ADate::LeapYear(r.year), r.leap);
    EXPECT_EQ(ADate::DaysInYear(r.year), r.leap ? 366u : 365u);
    EXPECT_EQ(ADate::DayWithinMonth(2, 29, r.year), r.leap);
  }
  unsigned int const lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (unsigned int m = 1; m <= 12; ++m) {
    SCOPED_TRACE(m);
    EXPECT_EQ(ADate::DayWithinMonth(m, lengths[m - 1], 1999), 1);
    EXPECT_EQ(ADate::DayWithinMonth(m, lengths[m - 1] + 1, 1999), 0);
    EXPECT_EQ(ADate::DayWithinMonth(m, 0, 1999), 0);
  }
  EXPECT_EQ(ADate::DayWithinMonth(0, 1, 1999), 0);
  EXPECT_EQ(ADate::DayWithinMonth(13, 1, 1999), 0);
}

// Every day from the year 100 to 9999 against std::chrono's civil calendar,
// with the weekday advancing by one each day.
TEST(Date, AgreesWithChronoDayByDay) {
  using namespace std::chrono;
  constexpr std::int64_t kUnixEpochDay = 2440588;  // 1 January 1970
  std::uint32_t const first = ADate::Jday(1, 1, 100);
  std::uint32_t const last = ADate::Jday(12, 31, 9999);
  unsigned int expected_weekday = FromDayNumber(first).WeekDay();
  for (std::uint32_t n = first; n <= last; ++n) {
    ADate const d = FromDayNumber(n);
    year_month_day const ymd{sys_days{days{static_cast<std::int64_t>(n) - kUnixEpochDay}}};
    unsigned int const y = static_cast<unsigned int>(static_cast<int>(ymd.year()));
    unsigned int const m = static_cast<unsigned int>(ymd.month());
    unsigned int const dd = static_cast<unsigned int>(ymd.day());
    if (d.Year() != y || d.Month() != m || d.DayOfMonth() != dd || ADate::Jday(m, dd, y) != n ||
        d.WeekDay() != expected_weekday) {
      FAIL() << "day number " << n << ": " << d.Month() << "/" << d.DayOfMonth() << "/" << d.Year() << " weekday "
             << d.WeekDay() << ", expected " << m << "/" << dd << "/" << y << " weekday " << expected_weekday;
    }
    // ISO numbering is ADate's: 1 = Monday .. 7 = Sunday.
    ASSERT_EQ(expected_weekday, weekday{sys_days{ymd}}.iso_encoding()) << n;
    expected_weekday = expected_weekday % 7 + 1;
  }
}

// Round trips through the public constructors across the exact range.
TEST(Date, RoundTripsAcrossTheExactRange) {
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<std::uint32_t> day_numbers(ADate::Jday(1, 1, 101), 1075462942);
  for (int i = 0; i < 100000; ++i) {
    ADate const d = FromDayNumber(i == 0 ? 1075462942 : day_numbers(rng));
    ASSERT_EQ(ADate(d.DayOfMonth(), d.Month(), d.Year()), d) << d.Hash();
    ASSERT_EQ(ADate(d.Day(), d.Year()), d) << d.Hash();
  }
}

// The fast forms of both formulas against their plain 32-bit forms, over the
// whole unsigned domain (wrapping included), seeded.
TEST(Date, FastFormulasMatchThePlainOnes) {
  using namespace brindle::detail;
  std::mt19937 rng(4);
  std::uniform_int_distribution<std::uint32_t> any;
  for (int i = 0; i < 1000000; ++i) {
    std::uint32_t const n = i < 4 ? std::uint32_t{kFirstExactDay + kExactDays - 2 + i} : any(rng);
    MonthDayYear const fast = FieldsOf(n);
    MonthDayYear const plain = FieldsWrapping(n);
    ASSERT_TRUE(fast.month == plain.month && fast.day == plain.day && fast.year == plain.year) << n;
    std::uint32_t const m = any(rng) % 14;
    std::uint32_t const d = any(rng) % 33;
    std::uint32_t const y = i % 2 == 0 ? any(rng) % 3000000 : any(rng);
    std::uint32_t const expanded = y <= 99 ? y + 1900 : y;
    std::uint32_t const expected = IsDayWithinMonth(m, d, expanded) != 0 ? DayNumberWrapping(m, d, expanded) : 0;
    ASSERT_EQ(DayNumberOf(m, d, y), expected) << m << "/" << d << "/" << y;
  }
}

TEST(Date, Constructors) {
  struct Row {
    char const* what;
    ADate date;
    unsigned int day_number;
  } const rows[] = {
      {"(0, 0)", ADate(0, 0), 2415386},
      {"(1, 0)", ADate(1, 0), 2415387},
      {"(1, 1)", ADate(1, 1), 2415386},
      {"(1, 100)", ADate(1, 100), 2451545},
      {"(366, 1999)", ADate(366, 1999), 2451545},
      {"(0, 2000)", ADate(0, 2000), 2451544},
      {"(400, 2000)", ADate(400, 2000), 2451545 + 399},
      {"(5, 1, 1998)", ADate(5, 1, 1998), ADate::Jday(1, 5, 1998)},
      {"(5, \"jan\", 98)", ADate(5, "jan", 98), ADate::Jday(1, 5, 1998)},
      {"(5, \"JANUARY\", 1998)", ADate(5, "JANUARY", 1998), ADate::Jday(1, 5, 1998)},
      {"(5, \"xyz\", 1998)", ADate(5, "xyz", 1998), 0},
      {"(5, null, 1998)", ADate(5, static_cast<char const*>(nullptr), 1998), 0},
      {"(31, 4, 1998)", ADate(31, 4, 1998), 0},
      {"(29, \"feb\", 0)", ADate(29, "feb", 0), 0},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(r.date.Hash(), r.day_number);
    EXPECT_EQ(r.date.IsValid(), r.day_number != 0 ? 1 : 0);
  }
}

// Pins the zone; restores UTC afterwards.
class DateInZone : public ::testing::Test {
 protected:
  static void UseZone(char const* tz) {
    brindle::testing::SetEnv("TZ", tz);
    _tzset();
  }
  void TearDown() override { UseZone("UTC0"); }
};

TEST_F(DateInZone, TodayAndCTimeAreLocalDates) {
  UseZone("JST-9");
  std::time_t const now = std::time(nullptr);
  struct tm fields {};
  localtime_r(&now, &fields);
  ADate const expected(static_cast<unsigned int>(fields.tm_mday), static_cast<unsigned int>(fields.tm_mon + 1),
                       static_cast<unsigned int>(fields.tm_year + 1900));
  ADate const today;
  // Allow for midnight passing between the two readings.
  EXPECT_TRUE(today == expected || today - expected == 1u);
  EXPECT_EQ(ADate(CTime(now)), expected);
  EXPECT_EQ(ADate(CTime(915116399)), ADate(31, 12, 1998));  // 14:59:59 UTC, 23:59:59 local
  EXPECT_EQ(ADate(CTime(915116400)), ADate(1, 1, 1999));
}

TEST(Date, FieldsAndNames) {
  ADate const d(5, 1, 1998);
  EXPECT_EQ(d.Month(), 1u);
  EXPECT_EQ(d.DayOfMonth(), 5u);
  EXPECT_EQ(d.Year(), 1998u);
  EXPECT_EQ(d.Day(), 5u);
  EXPECT_EQ(d.WeekDay(), 1u);
  EXPECT_STREQ(d.NameOfMonth(), "January");
  EXPECT_STREQ(d.NameOfDay(), "Monday");
  EXPECT_EQ(ADate(1, 1, 2000).WeekDay(), 6u);
  EXPECT_EQ(ADate(1, 1, 1901).WeekDay(), 2u);
  EXPECT_EQ(ADate(31, 12, 2000).Day(), 366u);
  EXPECT_EQ(ADate(31, 12, 1999).Day(), 365u);
  EXPECT_EQ(ADate(1, 3, 2000).FirstDayOfMonth(3), 61u);
  EXPECT_EQ(ADate(1, 3, 1999).FirstDayOfMonth(3), 60u);
  EXPECT_EQ(ADate(15, 3, 2000).FirstDayOfMonth(), 61u);
  EXPECT_EQ(ADate(15, 2, 2000).FirstDayOfMonth(), 32u);
  EXPECT_EQ(d.FirstDayOfMonth(0), 0u);
  EXPECT_EQ(d.FirstDayOfMonth(13), 0u);
  EXPECT_EQ(ADate(1, 6, 2000).Leap(), 1);
  EXPECT_EQ(ADate(1, 6, 1900).Leap(), 0);
  // Days of the year in the years 1 to 100 count within the year itself.
  EXPECT_EQ(FromDayNumber(ADate::Jday(3, 1, 100)).Day(), 60u);

  EXPECT_STREQ(ADate::MonthName(12), "December");
  EXPECT_STREQ(ADate::DayName(7), "Sunday");
  EXPECT_EQ(ADate::MonthName(0), nullptr);
  EXPECT_EQ(ADate::MonthName(13), nullptr);
  EXPECT_EQ(ADate::DayName(0), nullptr);
  EXPECT_EQ(ADate::DayName(8), nullptr);
}

TEST(Date, NameLookup) {
  struct Row {
    char const* name;
    unsigned int month, weekday;
  } const rows[] = {
      {nullptr, 0, 0},     {"", 12, 7},        {"sep", 9, 0},     {"Sept", 9, 0},      {"SEPTEMBER", 9, 0},
      {"Septembre", 0, 0}, {"septembers", 0, 0}, {"Ma", 5, 0},     {"mAr", 3, 0},       {"Ju", 7, 0},
      {"J", 7, 0},         {"jun", 6, 0},      {"A", 8, 0},       {"apr", 4, 0},       {"T", 0, 4},
      {"tu", 0, 2},        {"S", 9, 7},        {"sat", 0, 6},     {"w", 0, 3},         {"M", 5, 1},
      {"F", 2, 5},         {"x", 0, 0},        {"Jan ", 0, 0},    {"\xE9", 0, 0},      {"sunday", 0, 7},
  };
  for (Row const& r : rows) {
    SCOPED_TRACE(r.name == nullptr ? "(null)" : r.name);
    EXPECT_EQ(ADate::IndexOfMonth(r.name), r.month);
    EXPECT_EQ(ADate::DayOfWeek(r.name), r.weekday);
  }
}

TEST(Date, InvalidDateIsNotGuarded) {
  ADate const invalid(31, 2, 1998);
  EXPECT_EQ(invalid.Hash(), 0u);
  EXPECT_EQ(invalid.IsValid(), 0);
  EXPECT_EQ(invalid.Month(), 2u);
  EXPECT_EQ(invalid.DayOfMonth(), 28u);
  EXPECT_EQ(invalid.Year(), 2935093u);
  EXPECT_EQ(invalid.WeekDay(), 1u);
}

TEST(Date, PreviousStepsStrictlyBack) {
  ADate const sunday(4, 1, 1998);
  ASSERT_EQ(sunday.WeekDay(), 7u);
  EXPECT_EQ(sunday.Previous(7), ADate(28, 12, 1997));
  EXPECT_EQ(ADate(5, 1, 1998).Previous(7), sunday);
  EXPECT_EQ(ADate(5, 1, 1998).Previous("sun"), sunday);
  // Out-of-range weekdays follow the same unsigned steps: 0 goes back w + 7.
  EXPECT_EQ(ADate(5, 1, 1998) - ADate(5, 1, 1998).Previous(0u), 8u);
  EXPECT_EQ(ADate(5, 1, 1998).Previous("nosuchday"), ADate(5, 1, 1998).Previous(0u));
  // From a Monday, weekday 9 steps back 1 - 9 + 7 days: one day forward.
  EXPECT_EQ(ADate(5, 1, 1998).Previous(9), ADate(6, 1, 1998));

  for (unsigned int start = 0; start < 14; ++start) {
    ADate d(1, 3, 2024);
    d += static_cast<int>(start);
    for (unsigned int w = 1; w <= 7; ++w) {
      SCOPED_TRACE(testing::Message() << "start " << start << " weekday " << w);
      ADate const p = d.Previous(w);
      EXPECT_EQ(p.WeekDay(), w);
      EXPECT_GE(d - p, 1u);
      EXPECT_LE(d - p, 7u);
    }
  }
}

TEST(Date, ArithmeticWrapsUnsigned) {
  ADate const a(1, 1, 2000);
  ADate const b(2, 1, 2000);
  EXPECT_EQ(b - a, 1u);
  EXPECT_EQ(a - b, 4294967295u);

  ADate d = a;
  EXPECT_EQ((d += 31), ADate(1, 2, 2000));
  EXPECT_EQ((d -= -29), ADate(1, 3, 2000));
  EXPECT_EQ(--d, ADate(29, 2, 2000));
  EXPECT_EQ(++d, ADate(1, 3, 2000));
  EXPECT_EQ(d++, ADate(1, 3, 2000));
  EXPECT_EQ(d, ADate(2, 3, 2000));
  EXPECT_EQ(d--, ADate(2, 3, 2000));
  EXPECT_EQ(d, ADate(1, 3, 2000));

  ADate zero(0, 13, 2000);
  --zero;
  EXPECT_EQ(zero.Hash(), 0xFFFFFFFFu);
  ++zero;
  EXPECT_EQ(zero.Hash(), 0u);
  zero -= 1;
  zero += 2;
  EXPECT_EQ(zero.Hash(), 1u);
}

TEST(Date, ComparisonsAndOrder) {
  ADate const dates[] = {ADate(1, 1, 2000), ADate(2, 1, 2000), ADate(0, 1, 2000)};
  for (ADate const& a : dates) {
    for (ADate const& b : dates) {
      SCOPED_TRACE(testing::Message() << a.Hash() << " against " << b.Hash());
      EXPECT_EQ(a.CompareTo(b), a.Hash() < b.Hash() ? -1 : (a.Hash() > b.Hash() ? 1 : 0));
      EXPECT_EQ((a < b) + (a == b) + (a > b), 1);
      EXPECT_EQ(a <= b, !(a > b));
      EXPECT_EQ(a >= b, !(a < b));
      EXPECT_EQ(a != b, !(a == b));
      EXPECT_EQ(a.Max(b).Hash(), std::max(a.Hash(), b.Hash()));
      EXPECT_EQ(a.Min(b).Hash(), std::min(a.Hash(), b.Hash()));
      EXPECT_EQ(a.Between(a.Min(b), a.Max(b)), 1);
    }
  }
  EXPECT_EQ(dates[2].Between(dates[0], dates[1]), 0);
}

}  // namespace
