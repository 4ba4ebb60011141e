// ATime: instants as seconds since 1 January 1901 UTC, local time and the
// daylight-saving rule.
#include <cstdint>
#include <ctime>
#include <ostream>

#include "brindle/calendar.h"
#include "calendar/calendar_internal.h"
#include "platform/platform.h"

using brindle::detail::kRefDayNumber;
using brindle::detail::kSecondsPerDay;

constinit ADate const ATime::RefDate{kRefDayNumber};
constinit ADate const ATime::MaxDate{kRefDayNumber + brindle::detail::kMaxDayOffset};
int ATime::PrintDateFlag = 1;

namespace {

// _timezone as a 32-bit offset: east of Greenwich it is negative and wraps,
// which the unsigned arithmetic undoes.
std::uint32_t ZoneOffset() { return static_cast<std::uint32_t>(_timezone); }

// Whether daylight-saving time is in force at `count`, by the rule of the
// UTC year the instant falls in.
int DaylightAt(std::uint32_t count) {
  if (_daylight == 0) return 0;
  std::uint32_t const year = brindle::detail::FieldsOf(kRefDayNumber + count / kSecondsPerDay).year;
  return (ATime::BeginDST(year).Seconds() <= count && count < ATime::EndDST(year).Seconds()) ? 1 : 0;
}

// The local reading of an instant, taken apart once.
struct LocalReading {
  std::uint32_t day_number;  // 0 for the invalid instant
  std::uint32_t hour;
  std::uint32_t minute;
  std::uint32_t second;
};

LocalReading ReadLocal(ATime const& time) {
  std::uint32_t const local = brindle::detail::CalendarAccess::LocalSecs(time);
  std::uint32_t const in_day = local % kSecondsPerDay;
  return {time.Seconds() != 0 ? local / kSecondsPerDay + kRefDayNumber : 0u, in_day / 3600, in_day % 3600 / 60,
          time.Seconds() % 60};
}

}  // namespace

// --- Construction -----------------------------------------------------------

ATime::ATime() : ATime(BuildLocal(std::time(nullptr))) {}

ATime::ATime(unsigned int hour, unsigned int minute, unsigned int second) : ATime(ADate(), hour, minute, second) {}

ATime::ATime(ADate const& date, unsigned int hour, unsigned int minute, unsigned int second) : seconds(0) {
  if (date.dayNumber == 0) return;
  // The instant if the reading were daylight-saving time, before the zone
  // shift. Day numbers times 86,400 wrap; only the difference from RefDate
  // matters, and that survives modulo 2^32.
  std::uint32_t v = ((date.dayNumber * 24 + hour) * 60 + minute) * 60 - RefDate.dayNumber * kSecondsPerDay + second - 3600;
  // The zone's shift applies to every reading: 01:00:00 on 1 January 1901,
  // whose daylight-saving count is 0, too.
  v += ZoneOffset();
  int const daylight_reading = DaylightAt(v);
  v += 3600;  // the instant if the reading were standard time
  int const standard_reading = DaylightAt(v);
  if (daylight_reading != 0) {
    // Both: a daylight-saving reading. Only the first: the hour that repeats
    // when daylight-saving time ends, read as standard time.
    seconds = standard_reading != 0 ? v - 3600 : v;
  } else {
    // Only the second: the hour skipped when daylight-saving time starts.
    seconds = standard_reading != 0 ? 0 : v;
  }
}

ATime::ATime(CTime const& time) : seconds(0) {
  struct tm fields {};
  if (time.GetLocalTm(&fields) == nullptr) return;
  *this = ATime(ADate(time), static_cast<unsigned int>(fields.tm_hour), static_cast<unsigned int>(fields.tm_min),
                static_cast<unsigned int>(fields.tm_sec));
}

ATime::ATime(unsigned int count) : seconds(count) {}

ATime ATime::BuildLocal(ADate const& date, unsigned int hour) {
  return ATime((date.dayNumber - RefDate.dayNumber) * kSecondsPerDay + hour * 3600 + ZoneOffset());
}

ATime ATime::BuildLocal(std::time_t clock) {
  struct tm fields {};
  if (localtime_r(&clock, &fields) == nullptr) return ATime(0u);
  ADate const date(static_cast<unsigned int>(fields.tm_mday), static_cast<unsigned int>(fields.tm_mon + 1),
                   static_cast<unsigned int>(fields.tm_year + 1900));
  return ATime(date, static_cast<unsigned int>(fields.tm_hour), static_cast<unsigned int>(fields.tm_min),
               static_cast<unsigned int>(fields.tm_sec));
}

// ADate's constructor from an instant lives here, beside local time.
ADate::ADate(ATime const& time) : dayNumber(ReadLocal(time).day_number) {}

// --- Queries ----------------------------------------------------------------

unsigned int ATime::Seconds() const { return seconds; }

int ATime::IsValid() const { return seconds != 0 ? 1 : 0; }

unsigned int ATime::Hash() const { return seconds; }

unsigned int ATime::LocalSecs() const { return seconds - ZoneOffset() + (IsDST() != 0 ? 3600u : 0u); }

unsigned int ATime::Hour() const { return LocalSecs() % kSecondsPerDay / 3600; }

unsigned int ATime::Minute() const { return LocalSecs() % kSecondsPerDay % 3600 / 60; }

unsigned int ATime::HourGMT() const { return seconds % kSecondsPerDay / 3600; }

unsigned int ATime::MinuteGMT() const { return seconds % kSecondsPerDay % 3600 / 60; }

unsigned int ATime::Second() const { return seconds % kSecondsPerDay % 3600 % 60; }

int ATime::IsDST() const { return DaylightAt(seconds); }

ATime::operator CTime() const {
  LocalReading const r = ReadLocal(*this);
  brindle::detail::MonthDayYear const f = brindle::detail::FieldsOf(r.day_number);
  // -1: the platform decides whether the reading is daylight-saving time.
  return CTime(static_cast<int>(f.year), static_cast<int>(f.month), static_cast<int>(f.day),
               static_cast<int>(r.hour), static_cast<int>(r.minute), static_cast<int>(r.second), -1);
}

CString ATime::AsString() const {
  char text[brindle::detail::kTextBuffer];
  std::size_t const length = brindle::detail::FormatTime(text, *this);
  return CString(text, static_cast<int>(length));
}

int ATime::Between(ATime const& first, ATime const& last) const {
  return (first.seconds <= seconds && seconds <= last.seconds) ? 1 : 0;
}

ATime ATime::Max(ATime const& other) const { return seconds > other.seconds ? *this : other; }

ATime ATime::Min(ATime const& other) const { return seconds >= other.seconds ? other : *this; }

int ATime::CompareTo(ATime const& other) const {
  if (seconds < other.seconds) return -1;
  return seconds > other.seconds ? 1 : 0;
}

// --- Operators --------------------------------------------------------------

int ATime::operator<(ATime const& other) const { return seconds < other.seconds ? 1 : 0; }
int ATime::operator<=(ATime const& other) const { return seconds <= other.seconds ? 1 : 0; }
int ATime::operator>(ATime const& other) const { return seconds > other.seconds ? 1 : 0; }
int ATime::operator>=(ATime const& other) const { return seconds >= other.seconds ? 1 : 0; }
int ATime::operator==(ATime const& other) const { return seconds == other.seconds ? 1 : 0; }
int ATime::operator!=(ATime const& other) const { return seconds != other.seconds ? 1 : 0; }

ATime& ATime::operator+=(int delta) {
  seconds += static_cast<std::uint32_t>(delta);
  return *this;
}

ATime& ATime::operator-=(int delta) {
  seconds -= static_cast<std::uint32_t>(delta);
  return *this;
}

ATime& ATime::operator++() {
  ++seconds;
  return *this;
}

ATime& ATime::operator--() {
  --seconds;
  return *this;
}

ATime const ATime::operator++(int) {
  ATime const old = *this;
  ++seconds;
  return old;
}

ATime const ATime::operator--(int) {
  ATime const old = *this;
  --seconds;
  return old;
}

// --- Daylight-saving rule and settings --------------------------------------

// Each change falls at a whole hour of local standard time on a Sunday found
// with Previous(7), which always steps strictly back: from 30 April it gives
// the Sunday of 23..29 April, from 15 March that of 8..14 March.
ATime ATime::BeginDST(unsigned int year) {
  ADate date(0u);
  if (year == 1974) {
    date = ADate(6, 1, 1974);
  } else if (year == 1975) {
    date = ADate(23, 2, 1975);
  } else if (year <= 1986) {
    date = ADate(30, 4, year).Previous(7);
  } else if (year <= 2006) {
    date = ADate(31, 3, year).Previous(7);  // the Sunday of 24..30 March,
    date += 7;                              // then a week on: 31 March..6 April
  } else {
    date = ADate(15, 3, year).Previous(7);  // second Sunday in March
  }
  return BuildLocal(date, 2);
}

// 1:00 standard time is 2:00 on the daylight-saving clock.
ATime ATime::EndDST(unsigned int year) {
  ADate const date = year <= 2006 ? ADate(31, 10, year).Previous(7)   // the Sunday of 24..30 October
                                  : ADate(8, 11, year).Previous(7);   // first Sunday in November
  return BuildLocal(date, 1);
}

int ATime::PrintDate(int on) {
  int const was_set = PrintDateFlag != 0 ? 1 : 0;
  PrintDateFlag = on != 0 ? 1 : 0;
  return was_set;
}

int ATime::AssertDate(ADate const& date) { return (RefDate <= date && date <= MaxDate) ? 1 : 0; }

// --- Text -------------------------------------------------------------------

namespace brindle::detail {

std::size_t FormatTime(char* out, ATime const& time) {
  LocalReading const r = ReadLocal(time);
  char* p = out;
  if (ATime::PrintDateFlag != 0) {
    p += FormatDate(p, CalendarAccess::FromDayNumber(r.day_number));
    *p++ = ' ';
  }
  // A 12-hour clock whose midnight hour reads 0 and noon hour 12.
  std::uint32_t hour = r.hour;
  char const suffix = hour < 12 ? 'a' : 'p';
  if (hour > 12) hour -= 12;
  if (hour >= 10) *p++ = static_cast<char>('0' + hour / 10);
  *p++ = static_cast<char>('0' + hour % 10);
  *p++ = ':';
  *p++ = static_cast<char>('0' + r.minute / 10);
  *p++ = static_cast<char>('0' + r.minute % 10);
  *p++ = ':';
  *p++ = static_cast<char>('0' + r.second / 10);
  *p++ = static_cast<char>('0' + r.second % 10);
  *p++ = ' ';
  *p++ = suffix;
  *p++ = 'm';
  *p = '\0';
  return static_cast<std::size_t>(p - out);
}

std::ostream& WriteTime(std::ostream& out, ATime const& time) {
  char text[kTextBuffer];
  FormatTime(text, time);
  return out << text;
}

}  // namespace brindle::detail

std::ostream& operator<<(std::ostream& out, ATime const& time) { return brindle::detail::WriteTime(out, time); }
