// Local wall-clock time as text, in the time zone of the environment.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane::platform {

// The current local time formatted with strftime's `format` (for example
// "_%Y-%m-%d_%H-%M"); the empty text when the result does not fit 255 bytes.
std::wstring FormatLocalTime(const char* format);

// A moment in the local time zone.
struct CalendarTime {
  int year = 0;   // e.g. 2026
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0, minute = 0, second = 0;
};

// The local calendar time of a Unix time; false when it cannot be told.
bool LocalCalendarTime(int64_t unixSeconds, CalendarTime* time);
// The Unix time of a local calendar time (ZIP's DOS times are local).
int64_t UnixTimeOfLocal(const CalendarTime& time);

}  // namespace kelvane::platform
