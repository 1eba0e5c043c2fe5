// Dates of libcorvex: day numbers and date-time numbers to and from text
// under one date form for the whole process.
//
// A day number is a 32-bit signed count of days on the Gregorian calendar
// (also for years before its introduction): 1 is 1 January 1978, 0 is 31
// December 1977, negative numbers count back from there. A date-time number
// is the day number times 86400 plus the seconds of the day; 1 January 1978,
// 00:00:00 is 86400. The invalid date is -999999.
//
// The date form says how dates are written and read: field codes M (month),
// D (day), Y (year within the century), C (century), A/a (month name, three
// letters, in capitals / with a capital first letter), L/l (month name in
// full), W/w (weekday name), y (day of the year, three digits), h, m and s
// (hour, minute, second); every other character is a literal. M/D/CY writes
// 12/31/1977; a form without C reads years 80..99 as 19xx and 0..79 as 20xx.
#ifndef CORVEX_UTIL_DATES_DATES_H
#define CORVEX_UTIL_DATES_DATES_H

#include <stdint.h>

#include "util/export.h"

// The longest date form kept, and the longest text one writes (each
// without its terminator).
#define CORVEX_DATE_FORM_MAX 31
#define CORVEX_DATE_TEXT_MAX 279

CORVEX_EXTERN_C_BEGIN

// Replaces the process's date form for every later conversion of every caller.
// Only the first 31 characters are kept (a longer form is cut); null empties
// it. The form is empty until the first call.
CORVEX_EXPORT void set_dateform(const char *form);

// The day number of the date in text (withTime 0) or its date-time number,
// or -999999 when the text does not fit the date form, the date does not
// exist, the form is empty or has none of month, day and year, or the
// date-time number does not fit 32 bits. Hour, minute and second are taken as
// written, not range-checked.
CORVEX_EXPORT int32_t jdpack(const char *text, int withTime);

// Writes the date of number (withTime 0) or its date and time under the date
// form into out, which must hold CORVEX_DATE_TEXT_MAX + 1 bytes (null writes
// nothing), and returns the flags of the fields written as _convdate does.
// The time of day of a date-time number is its remainder of floor division
// by 86400, so that numbers before 1978 also have one time in 00:00:00 to
// 23:59:59 and pack back to themselves: -1 is 30 December 1977, 23:59:59,
// -86400 the same day at 00:00:00 and -86401 the day before at 23:59:59.
// Writing without time leaves out the literals after the date. An empty form
// writes an empty text.
CORVEX_EXPORT int jdunpack(int32_t number, char *out, int withTime);

// The text engine under jdpack and jdunpack. fields is a 9-byte record of
// signed 8-bit numbers: [0] month, [1] day, [2] century, [3] year within the
// century, [4] hour, [5] minute, [6] second, [7] not used, [8] weekday (0
// Sunday .. 6 Saturday). With parse not 0 text is read into fields (bytes 0
// to 7 are zeroed first; on failure they hold what was read); with parse 0
// fields are written as text into text, which must hold
// CORVEX_DATE_TEXT_MAX + 1 bytes. With noTime not 0 the codes h, m and s are
// skipped. Returns the flags of the fields met: 0x80 month, 0x40 day, 0x20
// century (also set when a form without C got its century from the year),
// 0x10 year, 0x04 hour, 0x02 minute, 0x01 second; 0 when the text cannot be
// read.
CORVEX_EXPORT int _convdate(char *text, int8_t *fields, int noTime, int parse);

CORVEX_EXTERN_C_END

#endif
