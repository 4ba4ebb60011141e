// Internals of the calendar family: the day-number formulas, private access
// for the writers and the parser, and the writers themselves. Not installed.
#ifndef BRINDLE_CALENDAR_CALENDAR_INTERNAL_H
#define BRINDLE_CALENDAR_CALENDAR_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "brindle/calendar.h"

namespace brindle::detail {

// Both formulas are defined on 32-bit unsigned arithmetic: their exact
// ranges (years 100..2,939,899 for Jday, day numbers 1,721,120..1,075,462,942
// for Mdy) are where no intermediate product wraps.
static_assert(sizeof(std::uint32_t) == 4, "the day-number formulas assume 32-bit wrapping");

inline constexpr std::uint32_t kJdayMarch0 = 1721119;   // day before 1 March of the year 0
inline constexpr std::uint32_t kRefDayNumber = 2415386;  // 1 January 1901
inline constexpr std::uint32_t kMaxDayOffset = 49709;    // 5 February 2037
inline constexpr std::uint32_t kSecondsPerDay = 86400;

inline constexpr std::uint8_t kMonthLength[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
inline constexpr std::uint16_t kFirstDayOfMonth[13] = {0, 1, 32, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};

constexpr int IsLeapYear(std::uint32_t y) { return (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) ? 1 : 0; }

constexpr int IsDayWithinMonth(std::uint32_t m, std::uint32_t d, std::uint32_t y) {
  if (m < 1 || m > 12 || d < 1) return 0;
  std::uint32_t length = kMonthLength[m] + (m == 2 ? static_cast<std::uint32_t>(IsLeapYear(y)) : 0u);
  return d <= length ? 1 : 0;
}

// Days from 1 March to the 1st of each month (January and February end the
// year that starts in March).
inline constexpr std::uint16_t kDaysFromMarch[13] = {0, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};

// The exact ranges: below them both formulas hold without any product
// wrapping; outside them the 32-bit formulas below give what they give.
inline constexpr std::uint32_t kLastExactYear = 2939899;
inline constexpr std::uint32_t kFirstExactDay = kJdayMarch0 + 1;  // 1 March of the year 0
inline constexpr std::uint32_t kExactDays = 1u << 30;             // to 4 June 2,939,805

// The day-number formula in its 32-bit form, for a valid date with the year
// already expanded. (146097 * c) wraps past the exact range.
constexpr std::uint32_t DayNumberWrapping(std::uint32_t m, std::uint32_t d, std::uint32_t y) {
  // Count from March, so that the leap day ends the year.
  if (m > 2) {
    m -= 3;  // [0, 9]
  } else {
    m += 9;  // [10, 11]
    y -= 1;
  }
  std::uint32_t const c = y / 100;       // century
  std::uint32_t const ya = y - 100 * c;  // [0, 99]
  return (146097u * c) / 4 + (1461u * ya) / 4 + (153u * m + 2) / 5 + d + kJdayMarch0;
}

// The day number of month/day/year, 0 for an invalid date. Years 0..99 are
// 1900..1999.
constexpr std::uint32_t DayNumberOf(std::uint32_t m, std::uint32_t d, std::uint32_t y) {
  if (y <= 99) y += 1900;
  // IsDayWithinMonth, with the leap-year test only for 29 February: a test
  // on every February would be a branch taken at random.
  if (m - 1 > 11 || d - 1 >= kMonthLength[m]) {
    if (m != 2 || d != 29 || IsLeapYear(y) == 0) return 0;
  }
  if (y > kLastExactYear) return DayNumberWrapping(m, d, y);
  // The same sum without the products that need the wrap: 1461 * y / 4 is
  // 365 * y + y / 4, and the century terms fold into -c + c / 4.
  std::uint32_t const ym = y - static_cast<std::uint32_t>(m < 3);  // year from March, [99, 2939899]
  std::uint32_t const c = ym / 100;                                 // [0, 29398]
  return 365 * ym + ym / 4 - c + c / 4 + kDaysFromMarch[m] + d + kJdayMarch0;
}

static_assert(DayNumberOf(1, 1, 2000) == 2451545);
static_assert(DayNumberOf(1, 1, 1) == kRefDayNumber);
static_assert(DayNumberOf(2, 5, 2037) == kRefDayNumber + kMaxDayOffset);
static_assert(DayNumberOf(12, 31, kLastExactYear) == DayNumberWrapping(12, 31, kLastExactYear));
static_assert(DayNumberOf(3, 1, 100) == DayNumberWrapping(3, 1, 100));

struct MonthDayYear {
  std::uint32_t month;
  std::uint32_t day;
  std::uint32_t year;
};

// The inverse formula in its 32-bit form: exact in the exact range, wrapping
// outside it (day number 0 gives 28 February 2,935,093).
constexpr MonthDayYear FieldsWrapping(std::uint32_t day_number) {
  std::uint32_t j = day_number - kJdayMarch0;
  std::uint32_t y = (4 * j - 1) / 146097;          // century
  std::uint32_t d = (4 * j - 1 - 146097 * y) / 4;  // day of the century, [0, 36524]
  j = (4 * d + 3) / 1461;                          // year of the century
  d = (4 * d + 3 - 1461 * j + 4) / 4;              // day of the year from March, [1, 366]
  std::uint32_t m = (5 * d - 3) / 153;             // month from March, [0, 11]
  d = (5 * d - 3 - 153 * m + 5) / 5;               // [1, 31]
  y = 100 * y + j;
  if (m < 10) {
    m += 3;
  } else {
    m -= 9;
    y += 1;
  }
  return {m, d, y};
}

// Month, day and year of the day kFirstExactDay + r, for r below kExactDays
// (so 4 * r + 3 fits 32 bits), by Neri and Schneider's Euclidean affine
// functions, which need one division where the formula above needs five;
// the two agree on every day of the range.
constexpr MonthDayYear FieldsExact(std::uint32_t r) {
  std::uint32_t const n1 = 4 * r + 3;
  std::uint32_t const century = n1 / 146097;
  std::uint32_t const n2 = (n1 % 146097) | 3;  // 4 * (day of the century) + 3
  std::uint64_t const u2 = std::uint64_t{2939745} * n2;
  std::uint32_t const year_of_century = static_cast<std::uint32_t>(u2 >> 32);
  std::uint32_t const day_of_year = static_cast<std::uint32_t>(u2) / 2939745 / 4;  // from 1 March, [0, 365]
  std::uint32_t const n3 = 2141 * day_of_year + 197913;
  std::uint32_t const month = n3 >> 16;                                          // [3, 14]
  std::uint32_t const day = (n3 & 0xFFFF) / 2141 + 1;                             // [1, 31]
  // January and February come at random: a select, which compilers make a
  // conditional move rather than a branch.
  bool const jan_feb = day_of_year >= 306;
  return {jan_feb ? month - 12 : month, day, 100 * century + year_of_century + jan_feb};
}

// Month, day and year of a day number: exact in the exact range, wrapping
// outside it.
constexpr MonthDayYear FieldsOf(std::uint32_t day_number) {
  std::uint32_t const r = day_number - kFirstExactDay;  // days since 1 March of the year 0
  return r < kExactDays ? FieldsExact(r) : FieldsWrapping(day_number);
}

static_assert(FieldsOf(2451545).year == 2000 && FieldsOf(2451545).month == 1 && FieldsOf(2451545).day == 1);
static_assert(FieldsOf(0).month == 2 && FieldsOf(0).day == 28 && FieldsOf(0).year == 2935093);

}  // namespace brindle::detail

BRINDLE_INLINE constexpr ADate::ADate(unsigned int day_number) : dayNumber(day_number) {}

BRINDLE_INLINE void ADate::Mdy(unsigned int& month, unsigned int& day, unsigned int& year) const {
  std::uint32_t const r = dayNumber - brindle::detail::kFirstExactDay;
  if (r >= brindle::detail::kExactDays) return MdyWrapping(dayNumber, month, day, year);
  brindle::detail::MonthDayYear const f = brindle::detail::FieldsExact(r);
  month = f.month;
  day = f.day;
  year = f.year;
}

namespace brindle::detail {

// Private members for the writers, the parser and the benchmarks.
struct CalendarAccess {
  static constexpr ADate FromDayNumber(std::uint32_t day_number) { return ADate(day_number); }
  static void Mdy(ADate const& date, unsigned int& m, unsigned int& d, unsigned int& y) { date.Mdy(m, d, y); }
  static unsigned int LocalSecs(ATime const& time) { return time.LocalSecs(); }
  static std::istream& ParseFrom(ADate& date, std::istream& in) { return date.ParseFrom(in); }
};

// The writers' buffer: every text fits with room to spare (a date is at
// most 25 characters, a time with its date under 40).
inline constexpr std::size_t kTextBuffer = 80;

// Writes the date in the form ADate::PrintOption selects into `out` (at
// least kTextBuffer characters), NUL-terminated; returns its length.
std::size_t FormatDate(char* out, ADate const& date);
// The same for a time, with its date in front while ATime::PrintDateFlag is
// set.
std::size_t FormatTime(char* out, ATime const& time);

std::ostream& WriteDate(std::ostream& out, ADate const& date);
std::ostream& WriteTime(std::ostream& out, ATime const& time);

}  // namespace brindle::detail

#endif  // BRINDLE_CALENDAR_CALENDAR_INTERNAL_H
