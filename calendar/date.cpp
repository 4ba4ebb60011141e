// ADate: day numbers, their calendar fields, names and arithmetic.
#include <cstdint>
#include <ctime>

#include "brindle/calendar.h"
#include "calendar/calendar_internal.h"

namespace {

char const* const kMonthNames[13] = {nullptr,  "January", "February", "March",     "April",
                                     "May",    "June",    "July",     "August",    "September",
                                     "October", "November", "December"};
char const* const kDayNames[8] = {nullptr,    "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday", "Sunday"};

// The name lookup's tables, upper case.
char const* const kMonthKeys[12] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                    "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
char const* const kDayKeys[7] = {"MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY", "SUNDAY"};

constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// 1-based index of the last entry of `keys` that `name` (any case) is a
// leading part of; 0 when none is. Scanning from the end makes the later
// name win an ambiguous abbreviation ("Ju" is July). Only ASCII letters fold,
// whatever the locale.
unsigned int FindName(char const* name, char const* const* keys, unsigned int count) {
  if (name == nullptr) return 0;
  for (unsigned int i = count; i-- > 0;) {
    char const* key = keys[i];
    char const* p = name;
    while (*p != '\0' && AsciiUpper(*p) == *key) {
      ++p;
      ++key;
    }
    if (*p == '\0') return i + 1;
  }
  return 0;
}

ADate FromLocalFields(struct tm const& fields) {
  return ADate(static_cast<unsigned int>(fields.tm_mday), static_cast<unsigned int>(fields.tm_mon + 1),
               static_cast<unsigned int>(fields.tm_year + 1900));
}

}  // namespace

// --- Static helpers ---------------------------------------------------------

unsigned int ADate::Jday(unsigned int month, unsigned int day, unsigned int year) {
  return brindle::detail::DayNumberOf(month, day, year);
}

int ADate::LeapYear(unsigned int year) { return brindle::detail::IsLeapYear(year); }

unsigned int ADate::DaysInYear(unsigned int year) { return LeapYear(year) != 0 ? 366 : 365; }

int ADate::DayWithinMonth(unsigned int month, unsigned int day, unsigned int year) {
  return brindle::detail::IsDayWithinMonth(month, day, year);
}

unsigned int ADate::IndexOfMonth(char const* name) { return FindName(name, kMonthKeys, 12); }

unsigned int ADate::DayOfWeek(char const* name) { return FindName(name, kDayKeys, 7); }

char const* ADate::MonthName(unsigned int month) { return AssertIndexOfMonth(month) != 0 ? kMonthNames[month] : nullptr; }

char const* ADate::DayName(unsigned int weekday) { return AssertWeekDayNumber(weekday) != 0 ? kDayNames[weekday] : nullptr; }

int ADate::AssertIndexOfMonth(unsigned int month) { return (month >= 1 && month <= 12) ? 1 : 0; }

int ADate::AssertWeekDayNumber(unsigned int weekday) { return (weekday >= 1 && weekday <= 7) ? 1 : 0; }

// --- Construction -----------------------------------------------------------

ADate::ADate() : dayNumber(0) {
  std::time_t now = std::time(nullptr);
  struct tm fields {};
  if (localtime_r(&now, &fields) != nullptr) dayNumber = FromLocalFields(fields).dayNumber;
}

ADate::ADate(unsigned int day, unsigned int year)
    : dayNumber(year != 0 ? Jday(12, 31, year - 1) + day : brindle::detail::kRefDayNumber + day) {}

ADate::ADate(unsigned int day, char const* month_name, unsigned int year)
    : dayNumber(Jday(IndexOfMonth(month_name), day, year)) {}

ADate::ADate(unsigned int day, unsigned int month, unsigned int year) : dayNumber(Jday(month, day, year)) {}

ADate::ADate(CTime const& time) : dayNumber(0) {
  struct tm fields {};
  if (time.GetLocalTm(&fields) != nullptr) dayNumber = FromLocalFields(fields).dayNumber;
}

void ADate::MdyWrapping(std::uint32_t day_number, unsigned int& month, unsigned int& day, unsigned int& year) {
  brindle::detail::MonthDayYear const f = brindle::detail::FieldsWrapping(day_number);
  month = f.month;
  day = f.day;
  year = f.year;
}

// --- Queries ----------------------------------------------------------------

unsigned int ADate::Month() const { return brindle::detail::FieldsOf(dayNumber).month; }

unsigned int ADate::DayOfMonth() const { return brindle::detail::FieldsOf(dayNumber).day; }

unsigned int ADate::Year() const { return brindle::detail::FieldsOf(dayNumber).year; }

unsigned int ADate::Day() const {
  brindle::detail::MonthDayYear const f = brindle::detail::FieldsOf(dayNumber);
  if (f.year > 100) return dayNumber - Jday(12, 31, f.year - 1);
  // Jday reads the year before as two digits here; count within the year
  // itself instead.
  return brindle::detail::kFirstDayOfMonth[f.month] + f.day - 1 +
         (f.month > 2 ? static_cast<unsigned int>(LeapYear(f.year)) : 0u);
}

unsigned int ADate::WeekDay() const { return ((dayNumber + 1) % 7 + 6) % 7 + 1; }

int ADate::Leap() const { return LeapYear(Year()); }

unsigned int ADate::FirstDayOfMonth(unsigned int month) const {
  if (AssertIndexOfMonth(month) == 0) return 0;
  return brindle::detail::kFirstDayOfMonth[month] + (month > 2 ? static_cast<unsigned int>(Leap()) : 0u);
}

unsigned int ADate::FirstDayOfMonth() const { return FirstDayOfMonth(Month()); }

char const* ADate::NameOfMonth() const { return MonthName(Month()); }

char const* ADate::NameOfDay() const { return DayName(WeekDay()); }

int ADate::IsValid() const { return dayNumber != 0 ? 1 : 0; }

unsigned int ADate::Hash() const { return dayNumber; }

int ADate::Between(ADate const& first, ADate const& last) const {
  return (first.dayNumber <= dayNumber && dayNumber <= last.dayNumber) ? 1 : 0;
}

ADate ADate::Max(ADate const& other) const { return other.dayNumber > dayNumber ? other : *this; }

ADate ADate::Min(ADate const& other) const { return other.dayNumber <= dayNumber ? other : *this; }

int ADate::CompareTo(ADate const& other) const {
  if (dayNumber < other.dayNumber) return -1;
  return dayNumber > other.dayNumber ? 1 : 0;
}

ADate ADate::Previous(unsigned int weekday) const {
  // Unsigned throughout: a weekday outside 1..7 steps back w - weekday + 7
  // days (mod 2^32), as the comparison below makes it.
  unsigned int const w = WeekDay();
  unsigned int back = (weekday - 1 > w - 1) ? w - weekday + 7 : w - weekday;
  if (back == 0) back = 7;
  return ADate(dayNumber - back);
}

ADate ADate::Previous(char const* weekday_name) const { return Previous(DayOfWeek(weekday_name)); }

// --- Operators --------------------------------------------------------------

int ADate::operator<(ADate const& other) const { return dayNumber < other.dayNumber ? 1 : 0; }
int ADate::operator<=(ADate const& other) const { return dayNumber <= other.dayNumber ? 1 : 0; }
int ADate::operator>(ADate const& other) const { return dayNumber > other.dayNumber ? 1 : 0; }
int ADate::operator>=(ADate const& other) const { return dayNumber >= other.dayNumber ? 1 : 0; }
int ADate::operator==(ADate const& other) const { return dayNumber == other.dayNumber ? 1 : 0; }
int ADate::operator!=(ADate const& other) const { return dayNumber != other.dayNumber ? 1 : 0; }

unsigned int ADate::operator-(ADate const& other) const { return dayNumber - other.dayNumber; }

ADate& ADate::operator+=(int days) {
  dayNumber += static_cast<std::uint32_t>(days);
  return *this;
}

ADate& ADate::operator-=(int days) {
  dayNumber -= static_cast<std::uint32_t>(days);
  return *this;
}

ADate& ADate::operator++() {
  ++dayNumber;
  return *this;
}

ADate& ADate::operator--() {
  --dayNumber;
  return *this;
}

ADate const ADate::operator++(int) {
  ADate const old = *this;
  ++dayNumber;
  return old;
}

ADate const ADate::operator--(int) {
  ADate const old = *this;
  --dayNumber;
  return old;
}
