// Day numbers on the proleptic Gregorian calendar.
//
// Day 1 is 1 January 1978, day 0 31 December 1977, and negative numbers count
// back from there. A date-time number is the day number times 86400 plus the
// seconds of the day. Both are 32-bit in records; the arithmetic here is
// 64-bit so that every 32-bit number, and every date that packs to one, is
// handled without overflow.
#ifndef CORVEX_UTIL_DATES_CALENDAR_H
#define CORVEX_UTIL_DATES_CALENDAR_H

#include <cstdint>

namespace corvex::dates {

constexpr int32_t kInvalidDate = -999999;
constexpr int32_t kSecondsPerDay = 86400;

// Divisible by 4 and not by 100, or divisible by 400 (also for years before
// the calendar's introduction and for negative years).
bool is_leap_year(int64_t year);

// Days of month 1..12 in year.
int month_length(int64_t year, int month);

struct CivilDate {
  int64_t year;
  int month;  // 1..12
  int day;    // 1..31
};

// The day number of a date. month must be 1..12; day is counted on from the
// first of the month without a check.
int64_t day_number(int64_t year, int month, int day);

// The date of a day number.
CivilDate civil_date(int64_t day);

// 0 Sunday .. 6 Saturday (day 736, 6 January 1980, is a Sunday).
int weekday(int64_t day);

// A date-time number split by floor division, so that every number has one
// day and a time of day in 0..86399: -1 is day -1 at 86399 seconds (31
// December 1977 is day 0, so 30 December 1977, 23:59:59).
struct DayAndTime {
  int64_t day;
  int32_t seconds;
};
DayAndTime split_date_time(int32_t number);

}  // namespace corvex::dates

#endif
