/// @file
/// @brief ADate and ATime to and from std::chrono's days, dates, instants
/// and local readings.
///
/// @code{.cpp}
/// std::optional<std::chrono::year_month_day> ymd = brindle::to_year_month_day(ADate(5, 1, 1998));  // 1998-01-05
/// std::optional<ATime> now = brindle::to_time(std::chrono::system_clock::now());  // empty after 6 February 2037
/// @endcode
///
/// Every conversion that can be refused returns a std::optional, empty when
/// the value has no counterpart on the other side: a Brindle value that is the
/// invalid 0, a std::chrono value outside what the Brindle type can hold, or
/// an invalid year_month_day. Nothing is clamped or wrapped.
///
/// Ranges, ends included (dates proleptic Gregorian, years astronomical:
/// the year 0 is 1 BC):
/// - ADate and sys_days: Julian day numbers 1 to 4,294,967,295, that is
///   sys_days -2,440,587 (25 November -4713) to 4,292,526,707.
/// - ADate and year_month_day: day numbers 1 to 13,689,325, 25 November
///   -4713 to 31 December 32767, the last day std::chrono::year holds.
/// - ATime and system_clock: counts 1 to 4,294,967,295, 00:00:01 UTC on
///   1 January 1901 to 06:28:15 UTC on 6 February 2037 (the count of 00:00:00
///   is the invalid 0; ATime::MaxDate, 5 February 2037, is the last whole day).
/// - ATime and local time: the local readings of those same counts.
///
/// Thread safety: the date and UTC conversions read only their argument.
/// The local conversions also read the process's time-zone settings,
/// _timezone and _daylight, which _tzset() writes: do not run them while
/// another thread calls _tzset(), as for ATime's own local members.
///
/// Not included by brindle/brindle.h, as it brings in `<chrono>`.
#ifndef BRINDLE_CHRONO_H
#define BRINDLE_CHRONO_H

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "brindle/calendar.h"

namespace brindle {

/// Constants shared by the conversions below; not part of the interface.
namespace chrono_detail {

/// The Julian day number of 1 January 1970, sys_days' epoch.
inline constexpr std::int64_t kUnixEpochDay = 2440588;
/// The Julian day number of 1 January 1901, ATime::RefDate.
inline constexpr std::uint32_t kRefDay = 2415386;
/// The last Julian day number a year_month_day holds: 31 December 32767.
inline constexpr std::int64_t kLastCivilDay =
    std::chrono::sys_days{std::chrono::year::max() / 12 / 31}.time_since_epoch().count() + kUnixEpochDay;
/// ATime's count of 00:00:00 UTC on 1 January 1970.
inline constexpr std::int64_t kUnixEpochCount = 2177452800;
/// The largest count, 06:28:15 UTC on 6 February 2037.
inline constexpr std::int64_t kLastCount = std::numeric_limits<std::uint32_t>::max();

static_assert(std::chrono::sys_days{std::chrono::year{1901} / 1 / 1}.time_since_epoch().count() ==
              kRefDay - kUnixEpochDay);
static_assert(std::chrono::sys_days{std::chrono::year{1901} / 1 / 1}.time_since_epoch().count() * 86400 ==
              -kUnixEpochCount);
static_assert(std::chrono::sys_days{std::chrono::year{-4713} / 11 / 24}.time_since_epoch().count() ==
              -kUnixEpochDay);  // day number 0

/// The day number of `date` from its public arithmetic: 0 for the invalid
/// date, wrapping like the number itself.
inline std::uint32_t DayNumber(ADate const& date) {
  return static_cast<std::uint32_t>(date - ATime::RefDate) + kRefDay;
}

}  // namespace chrono_detail

/// The day of `date` as sys_days; empty for the invalid date, or where
/// std::chrono::days cannot hold it (never with a 64-bit count).
inline std::optional<std::chrono::sys_days> to_sys_days(ADate const& date) {
  std::uint32_t const n = chrono_detail::DayNumber(date);
  std::int64_t const count = static_cast<std::int64_t>(n) - chrono_detail::kUnixEpochDay;
  if (n == 0 || !std::in_range<std::chrono::days::rep>(count)) return std::nullopt;
  return std::chrono::sys_days{std::chrono::days{static_cast<std::chrono::days::rep>(count)}};
}

/// The ADate of `day`; empty outside day numbers 1 to 4,294,967,295.
inline std::optional<ADate> to_date(std::chrono::sys_days day) {
  auto const count = day.time_since_epoch().count();
  // Compared before the sum, which could overflow a far count.
  if (count < 1 - chrono_detail::kUnixEpochDay || count > chrono_detail::kLastCount - chrono_detail::kUnixEpochDay) {
    return std::nullopt;
  }
  // ADate(d, 0) is d days after ATime::RefDate, modulo 2^32: earlier days wrap
  // into place.
  return ADate(static_cast<unsigned int>(count + chrono_detail::kUnixEpochDay - chrono_detail::kRefDay), 0u);
}

/// The calendar date of `date`; empty for the invalid date and after
/// 31 December 32767. Agrees with Year(), Month() and DayOfMonth() wherever
/// those are exact (from 1 March of the year 0).
inline std::optional<std::chrono::year_month_day> to_year_month_day(ADate const& date) {
  std::uint32_t const n = chrono_detail::DayNumber(date);
  if (n == 0 || n > chrono_detail::kLastCivilDay) return std::nullopt;
  return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{n - chrono_detail::kUnixEpochDay}}};
}

/// The ADate of `date`; empty unless date.ok() and on or after 25 November
/// -4713 (day number 1). The year is taken as it is: unlike
/// ADate(day, month, year), years 0 to 99 are not 1900 to 1999.
inline std::optional<ADate> to_date(std::chrono::year_month_day const& date) {
  if (!date.ok()) return std::nullopt;
  return to_date(std::chrono::sys_days{date});
}

/// The instant of `time`, in whole seconds (it converts implicitly to
/// std::chrono::system_clock::time_point); empty for the invalid 0.
inline std::optional<std::chrono::sys_seconds> to_time_point(ATime const& time) {
  if (time.IsValid() == 0) return std::nullopt;
  return std::chrono::sys_seconds{
      std::chrono::seconds{static_cast<std::int64_t>(time.Seconds()) - chrono_detail::kUnixEpochCount}};
}

/// The ATime of `instant` (a system_clock::time_point, or any sys_time of
/// integral count that std::chrono can floor to seconds, sys_days among
/// them). A part of a second is dropped
/// toward the past, so an instant maps to the second that holds it. Empty
/// outside counts 1 to 4,294,967,295: before 00:00:01 UTC on 1 January 1901
/// (its first second is the invalid 0) or after 06:28:15 UTC on 6 February
/// 2037, where the count would wrap.
template <class Duration>
  requires(!std::chrono::treat_as_floating_point_v<typename Duration::rep>)
std::optional<ATime> to_time(std::chrono::sys_time<Duration> instant) {
  std::int64_t const s = std::chrono::floor<std::chrono::seconds>(instant).time_since_epoch().count();
  if (s < 1 - chrono_detail::kUnixEpochCount || s > chrono_detail::kLastCount - chrono_detail::kUnixEpochCount) {
    return std::nullopt;
  }
  return ATime(static_cast<unsigned int>(s + chrono_detail::kUnixEpochCount));
}

/// What the local clock reads at `time`, by the library's own rule: the
/// count less _timezone, plus an hour when time.IsDST(). Its date and time
/// of day are ADate(time), Hour(), Minute() and Second() (in a zone of whole
/// minutes), except within a zone offset of either end of the count's range,
/// where those wrap around 2^32 seconds and this does not: under UTC-5,
/// count 1 reads 19:00:01 on 31 December 1900. Floored to std::chrono::days
/// it is the local day. Empty for the invalid 0.
inline std::optional<std::chrono::local_seconds> to_local_seconds(ATime const& time) {
  if (time.IsValid() == 0) return std::nullopt;
  std::int64_t const reading = static_cast<std::int64_t>(time.Seconds()) - static_cast<std::int64_t>(_timezone) +
                               (time.IsDST() != 0 ? 3600 : 0);
  return std::chrono::local_seconds{std::chrono::seconds{reading - chrono_detail::kUnixEpochCount}};
}

/// The instant at which the local clock reads `reading` (a local_seconds,
/// a local_days for midnight, or any local_time of integral count; a part of
/// a second is dropped toward the past), as ATime(date, hour, minute, second)
/// takes one: a reading repeated when daylight-saving time ends is
/// standard time, and a reading skipped when it starts gives no result. Also
/// empty when the instant lies outside counts 1 to 4,294,967,295.
template <class Duration>
  requires(!std::chrono::treat_as_floating_point_v<typename Duration::rep>)
std::optional<ATime> to_time(std::chrono::local_time<Duration> reading) {
  std::int64_t const s = std::chrono::floor<std::chrono::seconds>(reading).time_since_epoch().count();
  // Far readings go first, so that the sums below cannot overflow; no zone
  // is a week away from UTC.
  constexpr std::int64_t kWeek = 7 * 86400;
  if (s < 1 - chrono_detail::kUnixEpochCount - kWeek ||
      s > chrono_detail::kLastCount - chrono_detail::kUnixEpochCount + kWeek) {
    return std::nullopt;
  }
  // The instant if the reading were standard time, then if daylight-saving.
  std::int64_t const standard = s + chrono_detail::kUnixEpochCount + static_cast<std::int64_t>(_timezone);
  std::int64_t const daylight = standard - 3600;
  auto const in_range = [](std::int64_t count) { return count >= 1 && count <= chrono_detail::kLastCount; };
  auto const is_dst = [&in_range](std::int64_t count) {
    return in_range(count) && ATime(static_cast<unsigned int>(count)).IsDST() != 0;
  };
  bool const daylight_reading = is_dst(daylight);
  bool const standard_reading = is_dst(standard);
  // Daylight-saving by both: daylight-saving time. By the first alone: the
  // repeated hour, read as standard time. By the second alone: skipped.
  if (standard_reading && !daylight_reading) return std::nullopt;
  std::int64_t const count = daylight_reading && standard_reading ? daylight : standard;
  if (!in_range(count)) return std::nullopt;
  return ATime(static_cast<unsigned int>(count));
}

}  // namespace brindle

#endif  // BRINDLE_CHRONO_H
