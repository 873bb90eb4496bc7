#include "platform/clock.h"

#include <time.h>

namespace qlx::platform {
namespace {

CalendarTime FromTm(const tm& parts, int millisecond) {
  CalendarTime result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  result.millisecond = millisecond;
  result.weekday = parts.tm_wday;
  return result;
}

// localtime_r reads the zone database once; localtime() would stat
// /etc/localtime on every call.
CalendarTime Convert(int64_t seconds, int millisecond, bool local) {
  time_t value = static_cast<time_t>(seconds);
  tm parts{};
  if (!(local ? localtime_r(&value, &parts) : gmtime_r(&value, &parts))) return CalendarTime();
  return FromTm(parts, millisecond);
}

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

}  // namespace

int64_t NowSeconds() { return static_cast<int64_t>(Now().tv_sec); }

int64_t NowMilliseconds() {
  timespec now = Now();
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

CalendarTime LocalTime(int64_t seconds) { return Convert(seconds, 0, true); }
CalendarTime UtcTime(int64_t seconds) { return Convert(seconds, 0, false); }

CalendarTime LocalNow() {
  timespec now = Now();
  return Convert(now.tv_sec, static_cast<int>(now.tv_nsec / 1000000), true);
}

CalendarTime UtcNow() {
  timespec now = Now();
  return Convert(now.tv_sec, static_cast<int>(now.tv_nsec / 1000000), false);
}

}  // namespace qlx::platform
