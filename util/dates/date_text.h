// Dates as text under a date form.
//
// A date form is a string of field codes and literals; every character that
// is not a code is a literal. One code letter stands for a whole field:
//
//   M  month, two digits          A  month name, first three letters, capitals
//   D  day, two digits            a  the same, first letter a capital
//   Y  year within the century    L  month name in full, capitals
//   C  century                    l  the same, first letter a capital
//   y  day of the year, 3 digits  W  weekday name, capitals
//   h  hour    m  minute          w  the same, first letter a capital
//   s  second
//
// so M/D/CY reads and writes 12/31/1977 and "w, l D, CY" writes
// Sunday, January 01, 1978. Only the first kDateFormMax characters of a form
// are looked at.
#ifndef CORVEX_UTIL_DATES_DATE_TEXT_H
#define CORVEX_UTIL_DATES_DATE_TEXT_H

#include <cstdint>

namespace corvex::dates {

constexpr int kDateFormMax = 31;
// The longest text a form writes: every code writes at most nine characters.
constexpr int kDateTextMax = kDateFormMax * 9;

// Field flags: which fields a form read or wrote.
enum : int {
  kFlagMonth = 0x80,
  kFlagDay = 0x40,
  kFlagCentury = 0x20,
  kFlagYear = 0x10,
  kFlagHour = 0x04,
  kFlagMinute = 0x02,
  kFlagSecond = 0x01,
};

struct DateFields {
  int month = 0;    // 1..12
  int day = 0;      // 1..31
  int century = 0;  // 19 for 1977; the year divided by 100, truncated
  int year = 0;     // within the century; the remainder, with the year's sign
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0;  // 0 Sunday .. 6 Saturday
};

// Reads text under form into fields and returns the flags of the codes met,
// or 0 when the text does not fit the form (fields then hold what was read up
// to there). Every field but the weekday is set to 0 first. Numbers take
// exactly their width of characters, of which at least one must be a digit,
// and are read from the start like a C integer (leading white space and a
// sign allowed, "5/" and " 5" are both 5). A month name is recognised by its
// first three letters in any case; the full-name codes then consume the
// whole name's length. A weekday is one of the seven names in any case: at
// the end of the form (only unread time codes after it) the rest of the
// text must be the name; before more of the form the name is read and the
// form goes on after it. A literal consumes one character, whatever it is.
// Without with_time the codes h, m and s are skipped and consume nothing. A form without C puts
// years 80..99 in the 1900s and 0..79 in the 2000s. A day of the year
// becomes month and day of the year read, wherever the year stands in the
// form; one that the year does not have leaves the month 0.
int read_date_text(const char *form, const char *text, bool with_time, DateFields *fields);

// Writes fields under form into out, which must hold kDateTextMax + 1 bytes,
// and returns the flags of the codes written. Numbers are zero-filled to
// their width; a year before year 0 carries a "-" on its century. Without
// with_time the time codes write nothing, and neither do the literals after
// month, day and year have all been written, so that "M/D/Y h:m" writes
// 12/31/77 alone. A month or weekday out of range writes no name.
int write_date_text(const char *form, const DateFields &fields, bool with_time, char *out);

}  // namespace corvex::dates

#endif
