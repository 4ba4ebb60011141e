/// @file
/// ADate and ATime: calendar dates as day numbers, instants as seconds.
///
/// An ADate is one unsigned 32-bit Julian Day Number (2,451,545 is 1 January
/// 2000) in the proleptic Gregorian calendar; 0 means "no valid date". Every
/// field (month, day, year, weekday) is computed from the number on demand.
/// Day arithmetic is unsigned and wraps modulo 2^32; only the constructors that
/// go through Jday() check validity.
///
/// An ATime is an unsigned 32-bit count of seconds since 00:00:00 UTC on
/// 1 January 1901 (ATime::RefDate); 0 means "no valid instant". Local time
/// comes from _timezone and _daylight (set by _tzset(), run at load) and a
/// built-in daylight-saving rule (BeginDST(), EndDST()).
///
/// Years 0 to 99 given to Jday() and the constructors built on it stand for
/// 1900 to 1999.
///
/// @code
/// ADate d(5, 1, 1998);            // day, month, year: 5 January 1998
/// d.AsString();                   // "January 5, 1998\n"
/// ADate::SetPrintOption(ADate::DayMonYear);
/// d.AsString();                   // " 5-Jan-1998"
/// std::istringstream("jan 5 98 ") >> d;
/// @endcode
///
/// Thread safety: dates and instants are plain values; distinct objects may
/// be used on several threads at once. Print settings (ADate::PrintOption,
/// ATime::PrintDateFlag) are process-wide and unsynchronised: callers
/// serialise changes against printing. Parsing may run on several threads at
/// once.
#ifndef BRINDLE_CALENDAR_H
#define BRINDLE_CALENDAR_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <iosfwd>
#include <string_view>
#include <vector>

#include "brindle/export.h"
#include "brindle/framework.h"

class ADate;
class ATime;
namespace brindle::detail {
struct CalendarAccess;
}  // namespace brindle::detail

/// @name Date input and date and time output on standard streams
/// Reading takes "month day year" in numbers, "month-name day year" or
/// "day month-name year", with any non-alphanumeric separators. On failure
/// the date is 0 and the stream's state is badbit alone, except at the end of
/// the input after the first or second number, where the stream keeps its own
/// flags. A stream that is not good on entry is left as it is. (A stream with
/// exceptions() enabled throws as its state changes.)
/// @{

// They reach the classes' private parts through the library's own access
// point rather than as friends: a friend declaration would drop the DLL
// import attribute of these declarations.

/// Reads a date into `date`. The year counts only when a character follows
/// it: a year that ends the input fails (the date 0, badbit).
BRINDLE_API std::istream& operator>>(std::istream& in, ADate& date);
/// Writes the date as ADate::AsString() gives it.
BRINDLE_API std::ostream& operator<<(std::ostream& out, ADate const& date);
/// Writes the time as ATime::AsString() gives it.
BRINDLE_API std::ostream& operator<<(std::ostream& out, ATime const& time);
/// @}

/// A calendar date: one Julian Day Number, 0 for "no valid date".
class BRINDLE_API ADate {
 public:
  /// The printed forms; each value shows its text for 5 January 1998. Any
  /// other value prints nothing.
  enum HowToPrint : int {
    MonthDayYear = 0,         ///< `"January 5, 1998\n"`
    DayMonYear = 1,           ///< `" 5-Jan-1998"`
    NumericMonthDayYear = 2,  ///< `"1/5/1998\n"`
    DayMonthYear = 3          ///< `"5 January 1998\n"`
  };

  /// @name Static calendar helpers
  /// Months 1..12, weekdays 1 = Monday..7.
  /// @{

  /// The day number of a date, or 0 when the date is not valid.
  [[nodiscard]] static unsigned int Jday(unsigned int month, unsigned int day, unsigned int year);
  /// 1 when `year` is a leap year, else 0. The year is taken as it is: 0 to
  /// 99 are not 1900 to 1999 here.
  [[nodiscard]] static int LeapYear(unsigned int year);
  /// 366 for a leap year, else 365.
  [[nodiscard]] static unsigned int DaysInYear(unsigned int year);
  /// 1 when `day` is a day of `month` in `year` (taken as it is), else 0.
  [[nodiscard]] static int DayWithinMonth(unsigned int month, unsigned int day, unsigned int year);
  /// The month that `name` is a leading part of, in any case; when several
  /// fit, the later in the year wins ("Ma" is May, "" is December). 0 when
  /// none fits or `name` is null.
  static unsigned int IndexOfMonth(char const* name);
  /// The weekday that `name` is a leading part of, as IndexOfMonth() finds
  /// months ("T" is Thursday).
  static unsigned int DayOfWeek(char const* name);
  /// The month's English name, "January" to "December"; null outside 1..12.
  static char const* MonthName(unsigned int month);
  /// The weekday's English name, "Monday" to "Sunday"; null outside 1..7.
  static char const* DayName(unsigned int weekday);
  /// @}

  /// @name Construction
  /// @{

  /// Today's local date.
  ADate();
  /// Day `day` of `year` (day 1 is 1 January; days run on past the year's
  /// end). Year 0 counts days from 1 January 1901 instead (day 0).
  ADate(unsigned int day, unsigned int year);
  /// Day `day` of the month `month_name` names (as IndexOfMonth() reads it)
  /// in `year`; 0 when that is not a valid date.
  ADate(unsigned int day, char const* month_name, unsigned int year);
  /// Day `day` of `month` in `year`; 0 when that is not a valid date.
  ADate(unsigned int day, unsigned int month, unsigned int year);
  /// The local date of `time`.
  ADate(CTime const& time);  // NOLINT(google-explicit-constructor): local date
  /// The local date of `time`; 0 for the invalid instant.
  ADate(ATime const& time);  // NOLINT(google-explicit-constructor): local date
  /// @}

  /// @name Queries
  /// The fields of the invalid date 0 are those of day number 0, 28 February
  /// 2,935,093.
  /// @{
  [[nodiscard]] unsigned int Month() const;       ///< The month, 1..12.
  [[nodiscard]] unsigned int DayOfMonth() const;  ///< The day of the month, 1..31.
  [[nodiscard]] unsigned int Year() const;        ///< The year, in full.
  [[nodiscard]] unsigned int Day() const;         ///< Day of the year, 1..366.
  [[nodiscard]] unsigned int WeekDay() const;     ///< The weekday, 1 (Monday) to 7 (Sunday).
  [[nodiscard]] int Leap() const;                 ///< 1 when the date's year is a leap year.
  /// Day of the year of the 1st of `month` in this date's year; 0 outside
  /// 1..12.
  [[nodiscard]] unsigned int FirstDayOfMonth(unsigned int month) const;
  /// Day of the year of the 1st of this date's month.
  [[nodiscard]] unsigned int FirstDayOfMonth() const;
  char const* NameOfMonth() const;  ///< The month's name, as MonthName() gives it.
  char const* NameOfDay() const;    ///< The weekday's name, as DayName() gives it.
  [[nodiscard]] int IsValid() const;              ///< 1 unless the day number is 0.
  [[nodiscard]] unsigned int Hash() const;        ///< The day number.
  /// 1 when the date lies from `first` to `last`, both ends included.
  [[nodiscard]] int Between(ADate const& first, ADate const& last) const;
  [[nodiscard]] ADate Max(ADate const& other) const;  ///< The later of the two.
  [[nodiscard]] ADate Min(ADate const& other) const;  ///< The earlier of the two.
  /// -1, 0 or 1 as this date is before, the same as or after `other`.
  [[nodiscard]] int CompareTo(ADate const& other) const;
  /// The nearest date strictly before this one on `weekday`: 1 to 7 days back.
  [[nodiscard]] ADate Previous(unsigned int weekday) const;
  /// As Previous(), the weekday named as DayOfWeek() reads it.
  ADate Previous(char const* weekday_name) const;
  /// @}

  /// @name Operators
  /// On the unsigned day numbers: comparisons give 1 or 0, and arithmetic
  /// wraps modulo 2^32.
  /// @{
  [[nodiscard]] int operator<(ADate const& other) const;   ///< Earlier.
  [[nodiscard]] int operator<=(ADate const& other) const;  ///< Not later.
  [[nodiscard]] int operator>(ADate const& other) const;   ///< Later.
  [[nodiscard]] int operator>=(ADate const& other) const;  ///< Not earlier.
  [[nodiscard]] int operator==(ADate const& other) const;  ///< The same day.
  [[nodiscard]] int operator!=(ADate const& other) const;  ///< Different days.
  /// Days from `other` to this date; wraps when `other` is later.
  [[nodiscard]] unsigned int operator-(ADate const& other) const;
  ADate& operator+=(int days);  ///< Moves `days` days on (back when negative).
  ADate& operator-=(int days);  ///< Moves `days` days back (on when negative).
  ADate& operator++();          ///< The next day.
  ADate& operator--();          ///< The day before.
  ADate const operator++(int);  ///< The next day; returns the date before.
  ADate const operator--(int);  ///< The day before; returns the date before.
  /// @}

  /// @name Text
  /// @{

  /// Sets the form used by every date printed in the process; returns the
  /// previous one. Not validated.
  static HowToPrint SetPrintOption(HowToPrint option);
  /// The date in the current form, with the line end forms 0, 2 and 3 carry.
  [[nodiscard]] CString AsString() const;

  /// The form every date in the process prints in; MonthDayYear at start.
  static HowToPrint PrintOption;

  struct Reading;
  /// Reads a date from `text` by the rules of operator>>() (on a stream over
  /// `text`, so a year that ends the text fails as it does there) and reports
  /// how: the form, the fields as written, a two-digit year's widening, the
  /// months an abbreviated name could stand for, where reading stopped and,
  /// on failure, why. Safe to call on several threads at once.
  /// @code
  /// ADate::Reading const r = ADate::Read("ma 1 98 ");
  /// r.date;        // 1 May 1998
  /// r.AsString();  // 1 May 1998 (month-name day year); "ma" could name March or May: took May;
  ///                // 98 widened to 1998; stopped at offset 7
  /// @endcode
  [[nodiscard]] static Reading Read(std::string_view text);
  /// @}

 protected:
  static int AssertIndexOfMonth(unsigned int month);     ///< 1 when `month` is 1..12.
  static int AssertWeekDayNumber(unsigned int weekday);  ///< 1 when `weekday` is 1..7.

 private:
  /// @cond
  friend class ATime;
  friend struct brindle::detail::CalendarAccess;
  /// @endcond

  // The day number as is. Constant, so that ATime::RefDate and MaxDate are
  // constant-initialised; defined inside the library, and exported whole
  // like every other member.
  BRINDLE_INLINE constexpr explicit ADate(unsigned int day_number);
  // Defined beside the constructor, inside the library: a call would cost as
  // much as the formula. Day numbers outside the formula's exact range go to
  // MdyWrapping, out of line.
  BRINDLE_INLINE void Mdy(unsigned int& month, unsigned int& day, unsigned int& year) const;
  static void MdyWrapping(std::uint32_t day_number, unsigned int& month, unsigned int& day, unsigned int& year);
  std::istream& ParseFrom(std::istream& in);

  std::uint32_t dayNumber;
};

/// What ADate::Read() found in a text.
struct BRINDLE_API ADate::Reading {
  /// The order of the fields, once it is known.
  enum Form : int {
    NoForm = 0,            ///< Reading stopped before the order was known.
    Numeric = 1,           ///< `"1/5/1998"`: month, day, year in numbers.
    MonthNameDayYear = 2,  ///< `"jan 5 98"`.
    DayMonthNameYear = 3   ///< `"5-Jan-1998"`.
  };
  /// Why no date was read: the first thing that went wrong.
  enum Failure : int {
    NoFailure = 0,             ///< A date was read.
    EndBeforeDate = 1,         ///< Nothing but separators, or a number too large, before the end.
    EndAfterFirstNumber = 2,   ///< The input ended after the first number.
    EndAfterSecondNumber = 3,  ///< The input ended after the second number.
    UnknownMonth = 4,          ///< The word in month_word names no month.
    EndBeforeDay = 5,          ///< The input ended before the day.
    NoDay = 6,                 ///< No day number where one was due.
    EndBeforeYear = 7,         ///< The input ended before the year.
    NoYear = 8,                ///< No year number (or one too large to hold) where one was due.
    YearAtEnd = 9,             ///< The year ended the input; it counts only with a character after it.
    NoSuchDate = 10            ///< The fields name no date (13/1/1998, 31 April).
  };

  ADate date{0u, 0u, 0u};       ///< The date read; 0 when reading failed.
  Form form = NoForm;           ///< The order of the fields.
  Failure failure = NoFailure;  ///< Why reading failed.
  unsigned int month = 0;       ///< The month as read: the number, or the one month_word was taken for.
  unsigned int day = 0;         ///< The day as read.
  unsigned int year = 0;        ///< The year as written.
  /// 1900 when a year of 0 to 99 was widened (98 is 1998), else 0.
  unsigned int century = 0;
  /// The month word as written (at most 10 letters; empty in the numeric form).
  char month_word[11] = {};
  /// The months month_word is a leading part of: bit m - 1 for month m. With
  /// more than one, the later in the year is taken ("ma" is May, not March).
  std::uint16_t months_fitting = 0;
  /// Where reading stopped: the offset in the text of the first character
  /// not used.
  std::size_t stop = 0;

  /// The report on one line: the date and its form, the reason for a
  /// failure, the months an abbreviation could name, a widened year, the
  /// other reading of numbers that could be month and day either way round,
  /// and the offset where reading stopped; as
  /// `no date (day month-name year): there is no 31 April 1998; stopped at offset 13`.
  [[nodiscard]] CString AsString() const;
};

/// An instant: seconds since 00:00:00 UTC on 1 January 1901, 0 for "no valid
/// instant". The count runs out at 06:28:15 UTC on 6 February 2037 and wraps.
class BRINDLE_API ATime {
 public:
  /// @name Construction
  /// @{

  /// Now.
  ATime();
  /// That local time today.
  ATime(unsigned int hour, unsigned int minute, unsigned int second);
  /// The instant at which the local clock reads `date` hour:minute:second. 0
  /// for an invalid date or a reading skipped when daylight-saving time
  /// starts; a reading repeated when it ends is taken as standard time.
  /// Fields are not validated: hour 25 runs into the next day.
  ATime(ADate const& date, unsigned int hour, unsigned int minute, unsigned int second);
  /// The instant whose local reading is `time`'s (as the constructor from a
  /// date and a reading takes it); 0 when `time` has no local reading.
  ATime(CTime const& time);  // NOLINT(google-explicit-constructor)
  /// The instant `seconds` after 00:00:00 UTC on 1 January 1901.
  explicit ATime(unsigned int seconds);
  /// @}

  /// @name Queries
  /// @{
  [[nodiscard]] unsigned int Seconds() const;    ///< The count of seconds since 1 January 1901 UTC.
  [[nodiscard]] int IsValid() const;             ///< 1 unless the count is 0.
  [[nodiscard]] unsigned int Hash() const;       ///< The count.
  [[nodiscard]] unsigned int Hour() const;       ///< The local hour, 0..23.
  [[nodiscard]] unsigned int Minute() const;     ///< The local minute, 0..59.
  [[nodiscard]] unsigned int HourGMT() const;    ///< The hour in UTC, 0..23.
  [[nodiscard]] unsigned int MinuteGMT() const;  ///< The minute in UTC, 0..59.
  [[nodiscard]] unsigned int Second() const;     ///< The second, 0..59.
  /// 1 when daylight-saving time is in force at this instant by the built-in
  /// rule (never while _daylight is 0).
  [[nodiscard]] int IsDST() const;
  /// The instant as a CTime, by way of its local reading.
  operator CTime() const;  // NOLINT(google-explicit-constructor)
  /// "3:04:05 pm", after the date text and a space while PrintDateFlag is set.
  [[nodiscard]] CString AsString() const;
  /// 1 when the instant lies from `first` to `last`, both ends included.
  [[nodiscard]] int Between(ATime const& first, ATime const& last) const;
  [[nodiscard]] ATime Max(ATime const& other) const;  ///< The later of the two.
  [[nodiscard]] ATime Min(ATime const& other) const;  ///< The earlier of the two.
  /// -1, 0 or 1 as this instant is before, the same as or after `other`.
  [[nodiscard]] int CompareTo(ATime const& other) const;
  /// @}

  /// @name Operators
  /// On the unsigned counts: comparisons give 1 or 0, and arithmetic wraps
  /// modulo 2^32.
  /// @{
  [[nodiscard]] int operator<(ATime const& other) const;   ///< Earlier.
  [[nodiscard]] int operator<=(ATime const& other) const;  ///< Not later.
  [[nodiscard]] int operator>(ATime const& other) const;   ///< Later.
  [[nodiscard]] int operator>=(ATime const& other) const;  ///< Not earlier.
  [[nodiscard]] int operator==(ATime const& other) const;  ///< The same instant.
  [[nodiscard]] int operator!=(ATime const& other) const;  ///< Different instants.
  ATime& operator+=(int seconds);  ///< Moves `seconds` seconds on (back when negative).
  ATime& operator-=(int seconds);  ///< Moves `seconds` seconds back (on when negative).
  ATime& operator++();             ///< The next second.
  ATime& operator--();             ///< The second before.
  ATime const operator++(int);     ///< The next second; returns the instant before.
  ATime const operator--(int);     ///< The second before; returns the instant before.
  /// @}

  /// @name Daylight-saving rule and settings
  /// The rule is built in, whatever the time zone says: daylight-saving time
  /// starts at 2:00 standard time and ends at 2:00 daylight-saving time, on
  /// Sundays modelled on the United States' rule for the year (since 2007
  /// the second Sunday in March and the first Sunday in November).
  /// @{

  /// The instant at which daylight-saving time starts in `year`.
  [[nodiscard]] static ATime BeginDST(unsigned int year);
  /// The instant at which daylight-saving time ends in `year`.
  [[nodiscard]] static ATime EndDST(unsigned int year);
  /// Sets PrintDateFlag to 0 or 1; returns 1 if it was set before.
  static int PrintDate(int on);

  /// A span of instants in which the built-in rule and the platform disagree.
  struct DstMismatch;
  /// What CheckDST() found for one year.
  struct DstCheck;
  /// Compares the built-in rule (IsDST()) with the platform's own local time
  /// (the C runtime's localtime, which follows TZ or the system's zone) at
  /// every instant of the UTC year `year`, and gives the spans where they
  /// disagree, earliest first; none when they agree all year. The
  /// platform's changes are found by sampling every three hours and
  /// bisecting to the second, about 3,000 conversions a year, so a setting
  /// kept for less than three hours may go unseen. Nothing is compared
  /// (DstCheck::checked 0) for a year outside 1901..2037, or when the
  /// platform cannot convert an instant of it (the Windows C runtime
  /// converts none before 1970). The year 2037 is compared until the count
  /// runs out, its last second excluded.
  /// @code
  /// ATime::DstCheck const check = ATime::CheckDST(2024);
  /// for (ATime::DstMismatch const& span : check.mismatches)
  ///   std::cout << span.from.Seconds() << ".." << span.to.Seconds() << '\n';
  /// std::cout << check;  // the same, one line a span, in UTC
  /// @endcode
  [[nodiscard]] static DstCheck CheckDST(unsigned int year);

  /// 1 January 1901, the first day whose every second has a count.
  /// Constant-initialised, as MaxDate is: usable from static initialisers.
  static ADate const RefDate;
  /// 5 February 2037, the last day whose every second has a count.
  static ADate const MaxDate;
  /// Whether AsString() puts the date first: 1 (at start) or 0; for the
  /// whole process.
  static int PrintDateFlag;
  /// @}

 protected:
  /// 1 when RefDate <= `date` <= MaxDate.
  static int AssertDate(ADate const& date);

 private:
  friend struct brindle::detail::CalendarAccess;

  // Local time: the count less _timezone, plus an hour in daylight-saving
  // time.
  [[nodiscard]] unsigned int LocalSecs() const;
  // hour:00:00 local standard time on `date`.
  [[nodiscard]] static ATime BuildLocal(ADate const& date, unsigned int hour);
  // The instant of the local reading of a clock value.
  [[nodiscard]] static ATime BuildLocal(std::time_t clock);

  std::uint32_t seconds;
};

/// A span [from, to) of instants in which ATime::IsDST() and the platform's
/// local time disagree: bounded by the rule's changes, the platform's and the
/// year's ends.
struct ATime::DstMismatch {
  ATime from;       ///< The first instant of the span.
  ATime to;         ///< The first instant after it.
  int ruleSaysDST;  ///< 1: the rule says daylight-saving time, the platform not; 0: the reverse.
};

/// What ATime::CheckDST() found for one year.
struct ATime::DstCheck {
  unsigned int year;  ///< The year asked for.
  /// 1 when the year was compared; 0 for a year outside 1901..2037 or one the
  /// platform cannot convert, with no mismatches.
  int checked;
  /// 1 when the platform kept standard time at some instant sampled.
  int sawStandardTime;
  /// The platform's offset of standard time at the first such instant,
  /// in seconds west of UTC as _timezone counts; _timezone when none was seen.
  long platformTimezone;
  std::vector<DstMismatch> mismatches;  ///< The spans of disagreement, earliest first.
};

/// Writes the check as text: a line with the year and the platform's
/// standard time against _timezone, then one line a span, in UTC, saying
/// which side says daylight-saving time.
BRINDLE_API std::ostream& operator<<(std::ostream& out, ATime::DstCheck const& check);

#endif  // BRINDLE_CALENDAR_H
