#pragma once
// Wall-clock time and its calendar form in local time and UTC.
#include <cstdint>

namespace qlx::platform {

struct CalendarTime {
  int year = 1970;  // four digits
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;   // 0..59
  int second = 0;   // 0..60
  int millisecond = 0;
  int weekday = 4;  // 0 = Sunday
};

// Seconds since 1970-01-01 00:00:00 UTC.
int64_t NowSeconds();

// Milliseconds since 1970-01-01 00:00:00 UTC.
int64_t NowMilliseconds();

// Calendar form of `seconds` in the local time zone (without re-reading the
// zone database on every call) and in UTC; millisecond is 0.
CalendarTime LocalTime(int64_t seconds);
CalendarTime UtcTime(int64_t seconds);

// The current local and UTC time, with milliseconds.
CalendarTime LocalNow();
CalendarTime UtcNow();

}  // namespace qlx::platform
