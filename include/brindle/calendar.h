// ADate and ATime: calendar dates as day numbers, instants as seconds.
//
// An ADate is one unsigned 32-bit Julian Day Number (2,451,545 is 1 January
// 2000) in the proleptic Gregorian calendar; 0 means "no valid date". Every
// field (month, day, year, weekday) is computed from the number on demand.
// Day arithmetic is unsigned and wraps modulo 2^32; only the constructors that
// go through Jday() check validity.
//
// An ATime is an unsigned 32-bit count of seconds since 00:00:00 UTC on
// 1 January 1901 (ATime::RefDate); 0 means "no valid instant". Local time
// comes from _timezone and _daylight (set by _tzset(), run at load) and a
// built-in daylight-saving rule (BeginDST(), EndDST()).
//
// Years 0 to 99 given to Jday() and the constructors built on it stand for
// 1900 to 1999.
//
//   ADate d(5, 1, 1998);            // day, month, year: 5 January 1998
//   d.AsString();                   // "January 5, 1998\n"
//   ADate::SetPrintOption(ADate::DayMonYear);
//   d.AsString();                   // " 5-Jan-1998"
//   std::istringstream("jan 5 98 ") >> d;
//
// Print settings (ADate::PrintOption, ATime::PrintDateFlag) are process-wide
// and unsynchronised: callers serialise changes against printing. Parsing may
// run on several threads at once.
#ifndef BRINDLE_CALENDAR_H
#define BRINDLE_CALENDAR_H

#include <cstdint>
#include <ctime>
#include <iosfwd>

#include "brindle/export.h"
#include "brindle/framework.h"

class ADate;
class ATime;
namespace brindle::detail {
struct CalendarAccess;
}  // namespace brindle::detail

// Date input and date and time output on standard streams.
//
// Reading takes "month day year" in numbers, "month-name day year" or
// "day month-name year", with any non-alphanumeric separators. On failure
// the date is 0 and the stream's state is badbit alone, except at the end of
// the input after the first or second number, where the stream keeps its own
// flags. A stream that is not good on entry is left as it is. (A stream with
// exceptions() enabled throws as its state changes.)
//
// They reach the classes' private parts through the library's own access
// point rather than as friends: a friend declaration would drop the DLL
// import attribute of these declarations.
BRINDLE_API std::istream& operator>>(std::istream& in, ADate& date);
BRINDLE_API std::ostream& operator<<(std::ostream& out, ADate const& date);
BRINDLE_API std::ostream& operator<<(std::ostream& out, ATime const& time);

class BRINDLE_API ADate {
 public:
  // The printed forms, for 5 January 1998:
  //   MonthDayYear         "January 5, 1998\n"
  //   DayMonYear           " 5-Jan-1998"
  //   NumericMonthDayYear  "1/5/1998\n"
  //   DayMonthYear         "5 January 1998\n"
  // Any other value prints nothing.
  enum HowToPrint : int { MonthDayYear = 0, DayMonYear = 1, NumericMonthDayYear = 2, DayMonthYear = 3 };

  // --- Static calendar helpers (months 1..12, weekdays 1 = Monday..7) -----
  // The day number of a date, or 0 when the date is not valid.
  static unsigned int Jday(unsigned int month, unsigned int day, unsigned int year);
  static int LeapYear(unsigned int year);
  static unsigned int DaysInYear(unsigned int year);
  static int DayWithinMonth(unsigned int month, unsigned int day, unsigned int year);
  // The month or weekday that `name` is a leading part of, in any case; when
  // several fit, the later in the year or week wins ("Ma" is May, "" is
  // December). 0 when none fits or `name` is null.
  static unsigned int IndexOfMonth(char const* name);
  static unsigned int DayOfWeek(char const* name);
  // Null outside 1..12 or 1..7.
  static char const* MonthName(unsigned int month);
  static char const* DayName(unsigned int weekday);

  // --- Construction -------------------------------------------------------
  // Today's local date.
  ADate();
  // Day `day` of `year` (day 1 is 1 January; days run on past the year's
  // end). Year 0 counts days from 1 January 1901 instead (day 0).
  ADate(unsigned int day, unsigned int year);
  ADate(unsigned int day, char const* month_name, unsigned int year);
  ADate(unsigned int day, unsigned int month, unsigned int year);
  ADate(CTime const& time);  // NOLINT(google-explicit-constructor): local date
  ADate(ATime const& time);  // NOLINT(google-explicit-constructor): local date

  // --- Queries ------------------------------------------------------------
  unsigned int Month() const;
  unsigned int DayOfMonth() const;
  unsigned int Year() const;
  unsigned int Day() const;  // day of the year, 1..366
  unsigned int WeekDay() const;
  int Leap() const;
  // Day of the year of the 1st of `month` in this date's year; 0 outside
  // 1..12.
  unsigned int FirstDayOfMonth(unsigned int month) const;
  unsigned int FirstDayOfMonth() const;
  char const* NameOfMonth() const;
  char const* NameOfDay() const;
  int IsValid() const;
  unsigned int Hash() const;
  int Between(ADate const& first, ADate const& last) const;  // both ends included
  ADate Max(ADate const& other) const;
  ADate Min(ADate const& other) const;
  int CompareTo(ADate const& other) const;  // -1, 0 or 1
  // The nearest date strictly before this one on `weekday`: 1 to 7 days back.
  ADate Previous(unsigned int weekday) const;
  ADate Previous(char const* weekday_name) const;

  // --- Operators (unsigned day numbers) -----------------------------------
  int operator<(ADate const& other) const;
  int operator<=(ADate const& other) const;
  int operator>(ADate const& other) const;
  int operator>=(ADate const& other) const;
  int operator==(ADate const& other) const;
  int operator!=(ADate const& other) const;
  // Days from `other` to this date; wraps when `other` is later.
  unsigned int operator-(ADate const& other) const;
  ADate& operator+=(int days);
  ADate& operator-=(int days);
  ADate& operator++();
  ADate& operator--();
  ADate const operator++(int);
  ADate const operator--(int);

  // --- Text ---------------------------------------------------------------
  // Sets the form used by every date printed in the process; returns the
  // previous one. Not validated.
  static HowToPrint SetPrintOption(HowToPrint option);
  // The date in the current form, with the line end forms 0, 2 and 3 carry.
  CString AsString() const;

  static HowToPrint PrintOption;

 protected:
  static int AssertIndexOfMonth(unsigned int month);
  static int AssertWeekDayNumber(unsigned int weekday);

 private:
  friend class ATime;
  friend struct brindle::detail::CalendarAccess;

  // The day number as is. Constant, so that ATime::RefDate and MaxDate are
  // constant-initialised; defined inside the library, and exported whole
  // like every other member.
  BRINDLE_INLINE constexpr explicit ADate(unsigned int day_number);
  void Mdy(unsigned int& month, unsigned int& day, unsigned int& year) const;
  std::istream& ParseFrom(std::istream& in);

  std::uint32_t dayNumber;
};

class BRINDLE_API ATime {
 public:
  // --- Construction -------------------------------------------------------
  // Now.
  ATime();
  // That local time today.
  ATime(unsigned int hour, unsigned int minute, unsigned int second);
  // The instant at which the local clock reads `date` hour:minute:second. 0
  // for an invalid date or a reading skipped when daylight-saving time
  // starts; a reading repeated when it ends is taken as standard time.
  // Fields are not validated: hour 25 runs into the next day.
  ATime(ADate const& date, unsigned int hour, unsigned int minute, unsigned int second);
  ATime(CTime const& time);  // NOLINT(google-explicit-constructor)
  explicit ATime(unsigned int seconds);

  // --- Queries ------------------------------------------------------------
  unsigned int Seconds() const;
  int IsValid() const;
  unsigned int Hash() const;
  unsigned int Hour() const;  // local, 0..23
  unsigned int Minute() const;
  unsigned int HourGMT() const;
  unsigned int MinuteGMT() const;
  unsigned int Second() const;
  int IsDST() const;
  operator CTime() const;  // NOLINT(google-explicit-constructor)
  // "3:04:05 pm", after the date text and a space while PrintDateFlag is set.
  CString AsString() const;
  int Between(ATime const& first, ATime const& last) const;  // both ends included
  ATime Max(ATime const& other) const;
  ATime Min(ATime const& other) const;
  int CompareTo(ATime const& other) const;  // -1, 0 or 1

  // --- Operators (unsigned seconds, wrapping) -----------------------------
  int operator<(ATime const& other) const;
  int operator<=(ATime const& other) const;
  int operator>(ATime const& other) const;
  int operator>=(ATime const& other) const;
  int operator==(ATime const& other) const;
  int operator!=(ATime const& other) const;
  ATime& operator+=(int seconds);
  ATime& operator-=(int seconds);
  ATime& operator++();
  ATime& operator--();
  ATime const operator++(int);
  ATime const operator--(int);

  // --- Daylight-saving rule and settings ----------------------------------
  // The instants at which daylight-saving time starts and ends in `year`.
  static ATime BeginDST(unsigned int year);
  static ATime EndDST(unsigned int year);
  // Sets PrintDateFlag to 0 or 1; returns 1 if it was set before.
  static int PrintDate(int on);

  // 1 January 1901 and 5 February 2037, the first and last days whose every
  // second has a count. Constant-initialised: usable from static
  // initialisers.
  static ADate const RefDate;
  static ADate const MaxDate;
  static int PrintDateFlag;

 protected:
  static int AssertDate(ADate const& date);  // RefDate <= date <= MaxDate

 private:
  friend struct brindle::detail::CalendarAccess;

  // Local time: the count less _timezone, plus an hour in daylight-saving
  // time.
  unsigned int LocalSecs() const;
  // hour:00:00 local standard time on `date`.
  static ATime BuildLocal(ADate const& date, unsigned int hour);
  // The instant of the local reading of a clock value.
  static ATime BuildLocal(std::time_t clock);

  std::uint32_t seconds;
};

#endif  // BRINDLE_CALENDAR_H
