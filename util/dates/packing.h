// Day numbers and date-time numbers to and from text under a date form (see
// date_text.h for the forms and calendar.h for the numbers).
#ifndef CORVEX_UTIL_DATES_PACKING_H
#define CORVEX_UTIL_DATES_PACKING_H

#include <cstdint>

namespace corvex::dates {

// The day number of the date in text (with_time false) or its date-time
// number, or kInvalidDate when the text does not fit the form, the form has
// none of month, day and year, the month is not 1..12, the day is not in the
// month, or the date-time number does not fit 32 bits. The time of day is
// taken as written (25:00 is the next day's 01:00).
int32_t pack_date(const char *form, const char *text, bool with_time);

// Writes the date of a day number (with_time false) or the date and time of
// a date-time number into out (kDateTextMax + 1 bytes) and returns the flags
// of the fields written. A date-time number is split by floor division, so
// that -1 is 30 December 1977, 23:59:59 and every number packs back to
// itself.
int unpack_date(const char *form, int32_t number, bool with_time, char *out);

}  // namespace corvex::dates

#endif
