#include "util/dates/calendar.h"

namespace corvex::dates {
namespace {

// Floor division and its remainder (0..d-1) for a positive divisor.
int64_t floor_div(int64_t n, int64_t d) { return n / d - (n % d < 0 ? 1 : 0); }
int64_t floor_mod(int64_t n, int64_t d) { return n - floor_div(n, d) * d; }

// The calendar repeats every 400 years of 146097 days. Counting years from
// 1 March makes the leap day the last day of a year, so that the day of the
// year follows from the month by one formula: from March on the month lengths
// run 31 30 31 30 31 in two groups of 153 days, and the day count before
// shifted month m (0 = March) is (153 m + 2) / 5.
constexpr int64_t kDaysPer400Years = 146097;

// Days from 1 March of year 0 to 31 December 1977.
constexpr int64_t kDayZero = 722389;

// The shifted year starting in March and the month 0..11 from March.
int64_t march_year(int64_t year, int month) { return month <= 2 ? year - 1 : year; }
int march_month(int month) { return month <= 2 ? month + 9 : month - 3; }

}  // namespace

bool is_leap_year(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int month_length(int64_t year, int month) {
  static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kLengths[month - 1];
}

int64_t day_number(int64_t year, int month, int day) {
  int64_t y = march_year(year, month);
  int64_t era = floor_div(y, 400);
  int64_t year_of_era = y - era * 400;  // 0..399
  int64_t day_of_year = (153 * march_month(month) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * kDaysPer400Years + day_of_era - kDayZero;
}

CivilDate civil_date(int64_t day) {
  int64_t n = day + kDayZero;
  int64_t era = floor_div(n, kDaysPer400Years);
  int64_t day_of_era = n - era * kDaysPer400Years;  // 0..146096
  // Every fourth year has a leap day except the last of each century, and the
  // last year of the era has one again.
  int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t shifted_month = (5 * day_of_year + 2) / 153;  // 0 = March
  int day_of_month = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  int64_t year = era * 400 + year_of_era + (month <= 2 ? 1 : 0);
  return {year, month, day_of_month};
}

int weekday(int64_t day) { return static_cast<int>(floor_mod(day - 736, 7)); }

DayAndTime split_date_time(int32_t number) {
  int64_t day = floor_div(number, kSecondsPerDay);
  return {day, static_cast<int32_t>(number - day * kSecondsPerDay)};
}

}  // namespace corvex::dates
