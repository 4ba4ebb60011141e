// ATime::CheckDST: the built-in daylight-saving rule against the platform's
// own local time, over one UTC year.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <ostream>
#include <vector>

#include "brindle/calendar.h"
#include "calendar/calendar_internal.h"
#include "platform/platform.h"

namespace {

using brindle::detail::kRefDayNumber;
using brindle::detail::kSecondsPerDay;

constexpr std::int64_t kUnixEpochCount = 2177452800;  // 1 January 1970 as a count
// Zones keep each setting for weeks at least: a three-hour step sees every
// change with at most 2,928 conversions a year, plus about 14 to bisect each.
constexpr std::uint32_t kStep = 3 * 3600;

struct PlatformReading {
  bool ok;
  bool daylight;
  long west;  // seconds west of UTC, as _timezone counts
};

// The C runtime's local reading of `count`: localtime_r here, on Windows the
// runtime's localtime_s, both thread-safe and both following TZ or the
// system's zone as _tzset() read it.
PlatformReading PlatformAt(std::uint32_t count) {
  std::time_t const clock = static_cast<std::time_t>(count - kUnixEpochCount);
  struct tm f {};
  if (localtime_r(&clock, &f) == nullptr) return {false, false, 0};
  // The offset from the reading itself: not every runtime has tm_gmtoff.
  std::uint32_t const day = brindle::detail::DayNumberOf(static_cast<std::uint32_t>(f.tm_mon + 1),
                                                         static_cast<std::uint32_t>(f.tm_mday),
                                                         static_cast<std::uint32_t>(f.tm_year + 1900));
  std::int64_t const local = (static_cast<std::int64_t>(day) - kRefDayNumber) * kSecondsPerDay + f.tm_hour * 3600 +
                             f.tm_min * 60 + f.tm_sec;
  return {day != 0, f.tm_isdst > 0, static_cast<long>(count - local)};
}

std::uint32_t StartOfYear(unsigned int year) { return (ADate(1, 1, year) - ATime::RefDate) * kSecondsPerDay; }

}  // namespace

ATime::DstCheck ATime::CheckDST(unsigned int year) {
  DstCheck check{year, 0, 0, _timezone, {}};
  if (year < 1901 || year > 2037) return check;
  std::uint32_t const first = StartOfYear(year);
  // Exclusive; 2037 runs to the count's end.
  std::uint32_t const end = year == 2037 ? 0xFFFFFFFFu : StartOfYear(year + 1);

  // Where the platform's setting changes: samples, then a bisection between
  // two that differ to the first second of the new setting.
  std::vector<std::uint32_t> cuts{first};
  auto const note_standard_time = [&check](PlatformReading const& r) {
    if (check.sawStandardTime != 0 || r.daylight) return;
    check.sawStandardTime = 1;
    check.platformTimezone = r.west;
  };
  PlatformReading before = PlatformAt(first);
  if (!before.ok) return check;
  note_standard_time(before);
  std::uint32_t at = first;
  while (at != end - 1) {
    std::uint32_t const next = end - 1 - at > kStep ? at + kStep : end - 1;
    PlatformReading const sample = PlatformAt(next);
    if (!sample.ok) return check;
    note_standard_time(sample);
    if (sample.daylight != before.daylight) {
      std::uint32_t low = at, high = next;
      while (high - low > 1) {
        std::uint32_t const mid = low + (high - low) / 2;
        PlatformReading const m = PlatformAt(mid);
        if (!m.ok) return check;
        (m.daylight == before.daylight ? low : high) = mid;
      }
      cuts.push_back(high);
    }
    before = sample;
    at = next;
  }
  // The rule's changes, even where it keeps one setting (_daylight 0): the
  // spans that meet there are merged below.
  for (ATime const change : {BeginDST(year), EndDST(year)}) {
    if (change.seconds > first && change.seconds < end) cuts.push_back(change.seconds);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  cuts.push_back(end);

  // Between two cuts neither side changes: one reading of each decides.
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    PlatformReading const platform = PlatformAt(cuts[i]);
    if (!platform.ok) return check;
    int const rule = ATime(cuts[i]).IsDST();
    if ((rule != 0) == platform.daylight) continue;
    if (!check.mismatches.empty() && check.mismatches.back().to.seconds == cuts[i] &&
        check.mismatches.back().ruleSaysDST == rule) {
      check.mismatches.back().to = ATime(cuts[i + 1]);
    } else {
      check.mismatches.push_back({ATime(cuts[i]), ATime(cuts[i + 1]), rule});
    }
  }
  check.checked = 1;
  return check;
}

namespace {

// "2024-03-31 01:00:00 UTC"
void PutUtc(char* out, std::size_t size, std::uint32_t count) {
  brindle::detail::MonthDayYear const f = brindle::detail::FieldsOf(kRefDayNumber + count / kSecondsPerDay);
  std::uint32_t const s = count % kSecondsPerDay;
  std::snprintf(out, size, "%04u-%02u-%02u %02u:%02u:%02u UTC", f.year, f.month, f.day, s / 3600, s % 3600 / 60,
                s % 60);
}

// "UTC+01:00" for an offset west of UTC of -3600.
void PutOffset(char* out, std::size_t size, long west) {
  long long const magnitude = west < 0 ? -static_cast<long long>(west) : west;
  std::snprintf(out, size, "UTC%c%02lld:%02lld", west > 0 ? '-' : '+', magnitude / 3600, magnitude % 3600 / 60);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, ATime::DstCheck const& check) {
  char line[160];
  if (check.checked == 0) {
    std::snprintf(line, sizeof line, "%u: not checked (outside 1901..2037, or the platform cannot convert it)\n",
                  check.year);
    return out << line;
  }
  char platform[48];
  char runtime[48];
  PutOffset(platform, sizeof platform, check.platformTimezone);
  PutOffset(runtime, sizeof runtime, _timezone);
  if (check.sawStandardTime == 0) {
    std::snprintf(line, sizeof line, "%u: the platform keeps daylight-saving time throughout; _timezone says %s\n",
                  check.year, runtime);
  } else if (check.platformTimezone == _timezone) {
    std::snprintf(line, sizeof line, "%u: standard time %s, as _timezone says\n", check.year, platform);
  } else {
    std::snprintf(line, sizeof line, "%u: standard time %s, but _timezone says %s\n", check.year, platform, runtime);
  }
  out << line;
  if (check.mismatches.empty()) {
    return out << (check.year == 2037 ? "  the built-in rule and the platform agree until the count runs out\n"
                                      : "  the built-in rule and the platform agree all year\n");
  }
  for (ATime::DstMismatch const& span : check.mismatches) {
    char from[32];
    char to[32];
    PutUtc(from, sizeof from, span.from.Seconds());
    PutUtc(to, sizeof to, span.to.Seconds());
    std::snprintf(line, sizeof line, "  %s to %s: %s\n", from, to,
                  span.ruleSaysDST != 0 ? "the built-in rule says daylight-saving time, the platform standard time"
                                        : "the platform says daylight-saving time, the built-in rule standard time");
    out << line;
  }
  return out;
}
