#include "platform/local_clock.h"

#include <ctime>

#include "platform/clock.h"
#include "platform/text_codec.h"

namespace kelvane::platform {

std::wstring FormatLocalTime(const char* format) {
  const auto now = static_cast<std::time_t>(Time().WallSeconds());
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return {};
  char buffer[256];
  const size_t length = std::strftime(buffer, sizeof buffer, format, &local);
  return FromNative(std::string_view(buffer, length));
}

bool LocalCalendarTime(int64_t unixSeconds, CalendarTime* time) {
  const auto seconds = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (::localtime_r(&seconds, &local) == nullptr) return false;
  time->year = local.tm_year + 1900;
  time->month = local.tm_mon + 1;
  time->day = local.tm_mday;
  time->hour = local.tm_hour;
  time->minute = local.tm_min;
  time->second = local.tm_sec;
  return true;
}

int64_t UnixTimeOfLocal(const CalendarTime& time) {
  std::tm local{};
  local.tm_year = time.year - 1900;
  local.tm_mon = time.month - 1;
  local.tm_mday = time.day;
  local.tm_hour = time.hour;
  local.tm_min = time.minute;
  local.tm_sec = time.second;
  local.tm_isdst = -1;  // the zone's rule for that day decides
  return static_cast<int64_t>(std::mktime(&local));
}

}  // namespace kelvane::platform
