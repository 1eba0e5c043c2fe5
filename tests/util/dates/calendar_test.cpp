// The day and date-time numbers against std::chrono's civil calendar.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "util/dates/calendar.h"
#include "util/dates/date_text.h"
#include "util/dates/packing.h"

namespace corvex::dates {
namespace {

using namespace std::chrono;

constexpr sys_days kDayZero = sys_days{1977y / December / 31};

const char *const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
const char *const kWeekdays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};

int64_t oracle_day_number(const year_month_day &d) { return (sys_days{d} - kDayZero).count(); }

// The oracle's date of a day, and the texts of it under the forms tested.
struct OracleDay {
  int year, month, day, day_of_year, weekday;
};

// Appends value zero-filled to width digits (the test builds every expected
// text itself, faster than printf).
char *put_number(char *out, int value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
  return out + width;
}
char *put_text(char *out, const char *text) {
  while (*text) *out++ = *text++;
  return out;
}

void md_cy(const OracleDay &d, char *out) {
  out = put_number(out, d.month, 2);
  *out++ = '/';
  out = put_number(out, d.day, 2);
  *out++ = '/';
  *put_number(out, d.year, 4) = '\0';
}
void d_m_cy(const OracleDay &d, char *out) {
  out = put_number(out, d.day, 2);
  *out++ = '-';
  out = put_number(out, d.month, 2);
  *out++ = '-';
  *put_number(out, d.year, 4) = '\0';
}
void cy_y(const OracleDay &d, char *out) {
  out = put_number(out, d.year, 4);
  *out++ = '-';
  *put_number(out, d.day_of_year, 3) = '\0';
}
void names(const OracleDay &d, char *out) {
  out = put_text(out, kWeekdays[d.weekday]);
  out = put_text(out, ", ");
  out = put_text(out, kMonths[d.month - 1]);
  *out++ = ' ';
  out = put_number(out, d.day, 2);
  out = put_text(out, ", ");
  *put_number(out, d.year, 4) = '\0';
}

// Every day of 1600..2400 under several forms: the text of the oracle's date
// packs to the oracle's day number, and that number unpacks to the text.
TEST(DatesAgainstChrono, EveryDayFrom1600To2400) {
  const struct {
    const char *form;
    void (*expected)(const OracleDay &, char *);
  } forms[] = {{"M/D/CY", md_cy}, {"D-M-CY", d_m_cy}, {"CY-y", cy_y}, {"w, l D, CY", names}};
  const sys_days first = sys_days{1600y / January / 1}, last = sys_days{2400y / December / 31};
  int failures = 0;
  for (sys_days day = first; day <= last && failures < 10; day += days{1}) {
    year_month_day ymd{day};
    OracleDay d{int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
                int((day - sys_days{ymd.year() / January / 1}).count()) + 1,
                int(std::chrono::weekday{day}.c_encoding())};
    int32_t number = static_cast<int32_t>((day - kDayZero).count());
    for (const auto &form : forms) {
      char expected[64], written[kDateTextMax + 1];
      form.expected(d, expected);
      int32_t packed = pack_date(form.form, expected, false);
      unpack_date(form.form, number, false, written);
      if (packed != number || strcmp(written, expected) != 0) {
        ADD_FAILURE() << form.form << ": " << expected << " packs to " << packed << ", " << number
                      << " unpacks to " << written;
        ++failures;
      }
    }
  }
}

// The calendar arithmetic far from 1978, over all of chrono's years.
TEST(DatesAgainstChrono, CalendarOverChronosYears) {
  const sys_days first = sys_days{year::min() / January / 1}, last = sys_days{year::max() / December / 31};
  for (sys_days day = first; day <= last; day += days{997}) {
    year_month_day d{day};
    int64_t n = oracle_day_number(d);
    CivilDate c = civil_date(n);
    ASSERT_EQ(c.year, int(d.year())) << n;
    ASSERT_EQ(c.month, int(unsigned(d.month()))) << n;
    ASSERT_EQ(c.day, int(unsigned(d.day()))) << n;
    ASSERT_EQ(day_number(c.year, c.month, c.day), n);
    ASSERT_EQ(weekday(n), int(std::chrono::weekday{day}.c_encoding())) << n;
    ASSERT_EQ(is_leap_year(c.year), d.year().is_leap()) << n;
  }
}

// Date-time numbers over the whole 32-bit range, sampled with a prime stride
// (so that the samples fall at ever different times of day) and the edges:
// the text is the oracle's date and time, and it packs back to the number.
TEST(DatesAgainstChrono, DateTimeNumbersOverThe32BitRange) {
  const char *form = "M/D/CY h:m:s";
  auto check = [&](int32_t number) {
    sys_seconds t = sys_seconds{kDayZero} + seconds{number};
    sys_days day = floor<days>(t);
    year_month_day d{day};
    hh_mm_ss<seconds> time{t - day};
    char expected[64], written[kDateTextMax + 1];
    std::snprintf(expected, sizeof expected, "%02u/%02u/%04d %02d:%02d:%02d", unsigned(d.month()),
                  unsigned(d.day()), int(d.year()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    unpack_date(form, number, true, written);
    EXPECT_STREQ(written, expected) << number;
    EXPECT_EQ(pack_date(form, expected, true), number) << expected;
    return std::string(written) == expected;
  };
  const int32_t edges[] = {INT32_MIN, INT32_MIN + 1, -86401, -86400, -86399, -1, 0, 1,
                           86399,     86400,         86401,  INT32_MAX - 1, INT32_MAX};
  for (int32_t n : edges) check(n);
  int failures = 0;
  for (int64_t n = INT32_MIN; n <= INT32_MAX && failures < 5; n += 32749)
    failures += check(static_cast<int32_t>(n)) ? 0 : 1;
}

// Floor division gives every number before 1978 one time of day in
// 00:00:00..23:59:59 and the day it falls on.
TEST(DateTimeNumbers, FloorDivisionAroundDayZero) {
  const struct {
    int32_t number;
    int64_t day;
    int32_t seconds;
    const char *text;
  } cases[] = {
      {-1, -1, 86399, "12/30/1977 23:59:59"},     {-86400, -1, 0, "12/30/1977 00:00:00"},
      {-86401, -2, 86399, "12/29/1977 23:59:59"}, {-86399, -1, 1, "12/30/1977 00:00:01"},
      {0, 0, 0, "12/31/1977 00:00:00"},           {86400, 1, 0, "01/01/1978 00:00:00"},
  };
  for (const auto &c : cases) {
    DayAndTime t = split_date_time(c.number);
    EXPECT_EQ(t.day, c.day) << c.number;
    EXPECT_EQ(t.seconds, c.seconds) << c.number;
    char out[kDateTextMax + 1];
    unpack_date("M/D/CY h:m:s", c.number, true, out);
    EXPECT_STREQ(out, c.text);
    EXPECT_EQ(pack_date("M/D/CY h:m:s", c.text, true), c.number) << c.text;
  }
}

// Day numbers at the ends of the 32-bit range lie millions of years away;
// they unpack without overflow, with the century widened.
TEST(DayNumbers, EndsOfThe32BitRange) {
  char out[kDateTextMax + 1];
  CivilDate top = civil_date(INT32_MAX), bottom = civil_date(INT32_MIN);
  EXPECT_EQ(day_number(top.year, top.month, top.day), INT32_MAX);
  EXPECT_EQ(day_number(bottom.year, bottom.month, bottom.day), INT32_MIN);
  EXPECT_GT(top.year, 5000000);
  EXPECT_LT(bottom.year, -5000000);
  unpack_date("CY-M-D", INT32_MAX, false, out);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%lld-%02d-%02d", static_cast<long long>(top.year),
                top.month, top.day);
  EXPECT_STREQ(out, expected);
  unpack_date("CY-M-D", INT32_MIN, false, out);
  std::snprintf(expected, sizeof expected, "%lld-%02d-%02d", static_cast<long long>(bottom.year),
                bottom.month, bottom.day);
  EXPECT_STREQ(out, expected);
  EXPECT_EQ(weekday(INT32_MIN), int((int64_t{INT32_MIN} - 736) % 7 + 7) % 7);
}

}  // namespace
}  // namespace corvex::dates
