#include <ctime>

#include "brindle/framework.h"

CTime::CTime() : time_(0) {}
CTime::CTime(std::time_t time) : time_(time) {}

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst) {
  struct tm fields {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = dst < 0 ? -1 : (dst > 0 ? 1 : 0);
  time_ = std::mktime(&fields);
}

CTime CTime::GetCurrentTime() { return CTime(std::time(nullptr)); }

std::time_t CTime::GetTime() const { return time_; }

struct tm* CTime::GetLocalTm(struct tm* out) const {
  thread_local struct tm spare;
  return localtime_r(&time_, out != nullptr ? out : &spare);
}

struct tm* CTime::GetGmtTm(struct tm* out) const {
  thread_local struct tm spare;
  return gmtime_r(&time_, out != nullptr ? out : &spare);
}

namespace {
struct tm Local(std::time_t t) {
  struct tm fields {};
  localtime_r(&t, &fields);
  return fields;
}
}  // namespace

int CTime::GetYear() const { return Local(time_).tm_year + 1900; }
int CTime::GetMonth() const { return Local(time_).tm_mon + 1; }
int CTime::GetDay() const { return Local(time_).tm_mday; }
int CTime::GetHour() const { return Local(time_).tm_hour; }
int CTime::GetMinute() const { return Local(time_).tm_min; }
int CTime::GetSecond() const { return Local(time_).tm_sec; }
int CTime::GetDayOfWeek() const { return Local(time_).tm_wday + 1; }
