#include "util/dates/packing.h"

#include <limits>

#include "util/dates/calendar.h"
#include "util/dates/date_text.h"

namespace corvex::dates {

int32_t pack_date(const char *form, const char *text, bool with_time) {
  DateFields f;
  int flags = read_date_text(form, text, with_time, &f);
  if ((flags & (kFlagMonth | kFlagDay | kFlagYear)) == 0) return kInvalidDate;
  int64_t year = int64_t{f.century} * 100 + f.year;
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > month_length(year, f.month))
    return kInvalidDate;
  int64_t number = day_number(year, f.month, f.day);
  if (with_time)
    number = number * kSecondsPerDay + (int64_t{f.hour} * 60 + f.minute) * 60 + f.second;
  if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
    return kInvalidDate;
  return static_cast<int32_t>(number);
}

int unpack_date(const char *form, int32_t number, bool with_time, char *out) {
  DayAndTime t = with_time ? split_date_time(number) : DayAndTime{number, 0};
  CivilDate c = civil_date(t.day);
  DateFields f;
  f.month = c.month;
  f.day = c.day;
  f.century = static_cast<int>(c.year / 100);
  f.year = static_cast<int>(c.year % 100);
  f.hour = t.seconds / 3600;
  f.minute = t.seconds / 60 % 60;
  f.second = t.seconds % 60;
  f.weekday = weekday(t.day);
  return write_date_text(form, f, with_time, out);
}

}  // namespace corvex::dates
