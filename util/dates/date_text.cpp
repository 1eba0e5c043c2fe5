#include "util/dates/date_text.h"

#include <cstring>

#include "util/ascii.h"
#include "util/dates/calendar.h"

namespace corvex::dates {
namespace {

const char *const kMonthNames[12] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",
                                     "MAY",     "JUNE",     "JULY",      "AUGUST",
                                     "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char *const kWeekdayNames[7] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                      "THURSDAY", "FRIDAY", "SATURDAY"};

bool is_time_code(char c) { return c == 'h' || c == 'm' || c == 's'; }

// Whether nothing of form from index i on reads any text: the form ends
// there, or only time codes follow and the time is not read.
bool ends_form(const char *form, size_t i, bool with_time) {
  for (; form[i] != '\0' && i < static_cast<size_t>(kDateFormMax); ++i)
    if (with_time || !is_time_code(form[i])) return false;
  return true;
}

// Case-blind comparison of the first n characters of text with a name in
// capitals; text may end early.
bool starts_with_name(const char *text, const char *name, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (text[i] == '\0' || ascii_upper(static_cast<unsigned char>(text[i])) != name[i]) return false;
  return true;
}

// The day of the year of a date (1 = 1 January); months out of 1..12 count
// as the nearest one.
int day_of_year(int64_t year, int month, int day) {
  int before = 0;
  for (int m = 1; m < month && m <= 12; ++m) before += month_length(year, m);
  return before + day;
}

class Reader {
 public:
  explicit Reader(const char *text) : at_(text) {}

  // A number of exactly width characters (fewer at the end of the text).
  bool number(int width, int *value) {
    size_t n = strnlen(at_, static_cast<size_t>(width));
    const char *end = at_ + n;
    bool any_digit = false;
    for (const char *p = at_; p < end; ++p) any_digit = any_digit || ascii_digit(static_cast<unsigned char>(*p));
    if (!any_digit) return false;
    const char *p = at_;
    while (p < end && ascii_space(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    int v = 0;
    while (p < end && ascii_digit(static_cast<unsigned char>(*p))) v = v * 10 + (*p++ - '0');
    *value = negative ? -v : v;
    at_ = end;
    return true;
  }

  // A month by its first three letters; consumes three characters, or the
  // full name's length with full.
  bool month(bool full, int *value) {
    for (int i = 0; i < 12; ++i) {
      if (!starts_with_name(at_, kMonthNames[i], 3)) continue;
      *value = i + 1;
      skip(full ? strlen(kMonthNames[i]) : 3);
      return true;
    }
    return false;
  }

  // A weekday by its full name. With last (nothing of the form reads text
  // after it) the name must be all the text that is left: "MONDAYS" or
  // "Friday 13" is no weekday.
  bool weekday(bool last, int *value) {
    for (int i = 0; i < 7; ++i) {
      size_t n = strlen(kWeekdayNames[i]);
      if (!starts_with_name(at_, kWeekdayNames[i], n)) continue;
      if (last && at_[n] != '\0') return false;
      *value = i;
      at_ += n;
      return true;
    }
    return false;
  }

  void skip(size_t n) { at_ += strnlen(at_, n); }

 private:
  const char *at_;
};

// Appends to a text of at most kDateTextMax characters; the form's length
// bounds what is written, the check only guards that bound.
class Writer {
 public:
  explicit Writer(char *out) : out_(out), end_(out + kDateTextMax) {}
  ~Writer() { *out_ = '\0'; }

  void put(char c) {
    if (out_ < end_) *out_++ = c;
  }

  // The magnitude zero-filled to width, after a "-" when negative.
  void number(int64_t value, int width, bool negative) {
    if (negative) put('-');
    uint64_t magnitude = value < 0 ? -static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char digits[24];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    for (int i = n; i < width; ++i) put('0');
    while (n > 0) put(digits[--n]);
  }
  void number(int64_t value, int width) { number(value, width, value < 0); }

  // A name in capitals, or with its first letter a capital and the others
  // small; only its first limit characters.
  void name(const char *capitals, bool capitalised, size_t limit) {
    for (size_t i = 0; capitals[i] != '\0' && i < limit; ++i)
      put(capitalised && i > 0 ? static_cast<char>(capitals[i] - 'A' + 'a') : capitals[i]);
  }

 private:
  char *out_;
  char *const end_;
};

}  // namespace

int read_date_text(const char *form, const char *text, bool with_time, DateFields *f) {
  form = text_or_empty(form);
  Reader in(text_or_empty(text));
  int weekday = f->weekday;
  *f = DateFields{};
  f->weekday = weekday;
  int flags = 0;
  bool had_century = false;
  int year_day = 0;
  bool had_year_day = false;
  for (size_t i = 0; form[i] != '\0' && i < kDateFormMax; ++i) {
    char code = form[i];
    if (is_time_code(code) && !with_time) continue;
    bool ok = true;
    switch (code) {
      case 'M': ok = in.number(2, &f->month); flags |= kFlagMonth; break;
      case 'D': ok = in.number(2, &f->day); flags |= kFlagDay; break;
      case 'Y': ok = in.number(2, &f->year); flags |= kFlagYear; break;
      case 'C': ok = in.number(2, &f->century); flags |= kFlagCentury; had_century = true; break;
      case 'A': case 'a': ok = in.month(false, &f->month); flags |= kFlagMonth; break;
      case 'L': case 'l': ok = in.month(true, &f->month); flags |= kFlagMonth; break;
      case 'W': case 'w': ok = in.weekday(ends_form(form, i + 1, with_time), &f->weekday); break;
      case 'y': ok = in.number(3, &year_day); had_year_day = true; flags |= kFlagMonth | kFlagDay; break;
      case 'h': ok = in.number(2, &f->hour); flags |= kFlagHour; break;
      case 'm': ok = in.number(2, &f->minute); flags |= kFlagMinute; break;
      case 's': ok = in.number(2, &f->second); flags |= kFlagSecond; break;
      default: in.skip(1); break;
    }
    if (!ok) return 0;
  }
  if (!had_century) {
    f->century = f->year >= 80 ? 19 : 20;
    flags |= kFlagCentury;
  }
  if (had_year_day) {
    int64_t year = int64_t{f->century} * 100 + f->year;
    f->month = 0;
    f->day = year_day;
    for (int m = 1; m <= 12 && year_day >= 1; ++m) {
      if (year_day <= month_length(year, m)) {
        f->month = m;
        f->day = year_day;
        break;
      }
      year_day -= month_length(year, m);
    }
  }
  return flags;
}

int write_date_text(const char *form, const DateFields &f, bool with_time, char *out) {
  form = text_or_empty(form);
  Writer w(out);
  int flags = 0;
  constexpr int kDate = kFlagMonth | kFlagDay | kFlagYear;
  bool month_known = f.month >= 1 && f.month <= 12;
  bool weekday_known = f.weekday >= 0 && f.weekday <= 6;
  for (size_t i = 0; form[i] != '\0' && i < kDateFormMax; ++i) {
    char code = form[i];
    if (is_time_code(code) && !with_time) continue;
    switch (code) {
      case 'M': w.number(f.month, 2); flags |= kFlagMonth; break;
      case 'D': w.number(f.day, 2); flags |= kFlagDay; break;
      case 'Y': w.number(f.year, 2, false); flags |= kFlagYear; break;
      case 'C':
        w.number(f.century, 2, f.century < 0 || (f.century == 0 && f.year < 0));
        flags |= kFlagCentury;
        break;
      case 'A': case 'a':
        if (month_known) w.name(kMonthNames[f.month - 1], code == 'a', 3);
        flags |= kFlagMonth;
        break;
      case 'L': case 'l':
        if (month_known) w.name(kMonthNames[f.month - 1], code == 'l', sizeof "SEPTEMBER");
        flags |= kFlagMonth;
        break;
      case 'W': case 'w':
        if (weekday_known) w.name(kWeekdayNames[f.weekday], code == 'w', sizeof "WEDNESDAY");
        break;
      case 'y':
        w.number(day_of_year(int64_t{f.century} * 100 + f.year, f.month, f.day), 3);
        flags |= kFlagMonth | kFlagDay;
        break;
      case 'h': w.number(f.hour, 2); flags |= kFlagHour; break;
      case 'm': w.number(f.minute, 2); flags |= kFlagMinute; break;
      case 's': w.number(f.second, 2); flags |= kFlagSecond; break;
      default:
        if (with_time || (flags & kDate) != kDate) w.put(code);
        break;
    }
  }
  return flags;
}

}  // namespace corvex::dates
