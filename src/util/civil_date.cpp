#include "util/civil_date.h"

namespace kelvane {
namespace {

int64_t FloorDivide(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

// After Howard Hinnant's days_from_civil: years counted from March, so the
// leap day ends each year, in eras of 400 years.
int64_t DaysFromCivil(const CivilDate& date) {
  const int64_t year = date.year - (date.month <= 2);
  const int64_t era = FloorDivide(year, 400);
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = FloorDivide(days, 146097);
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  CivilDate date;
  date.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  date.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  date.year = yearOfEra + era * 400 + (date.month <= 2);
  return date;
}

// The week belongs to the year of its Thursday.
IsoWeek IsoWeekOf(const CivilDate& date) {
  const int64_t days = DaysFromCivil(date);
  // Monday 0: 1970-01-01 was a Thursday.
  const int64_t weekday = (days + 3) - 7 * FloorDivide(days + 3, 7);
  const int64_t thursday = days - weekday + 3;
  const CivilDate thursdayDate = CivilFromDays(thursday);
  const int64_t firstOfYear = DaysFromCivil({thursdayDate.year, 1, 1});
  return {thursdayDate.year, static_cast<int>((thursday - firstOfYear) / 7 + 1)};
}

}  // namespace kelvane
