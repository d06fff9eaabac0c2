// Dates of the proleptic Gregorian calendar as day numbers, so that days,
// ISO weeks and months can be counted without a time zone in the way.
#pragma once

#include <cstdint>

namespace kelvane {

struct CivilDate {
  int64_t year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
};

// Days since 1970-01-01 (negative before it).
int64_t DaysFromCivil(const CivilDate& date);
CivilDate CivilFromDays(int64_t days);

// The ISO 8601 week of `date`: its year (which may differ from the date's at
// the turn of a year) and its number, 1..53.
struct IsoWeek {
  int64_t year = 0;
  int week = 0;
};
IsoWeek IsoWeekOf(const CivilDate& date);

}  // namespace kelvane
