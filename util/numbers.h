// Number texts of libcorvex. Texts are returned in one static buffer per
// function, valid until that function's next call in the process. All number
// texts use "." as the decimal point whatever the process locale.
#ifndef CORVEX_UTIL_NUMBERS_H
#define CORVEX_UTIL_NUMBERS_H

#include <stdint.h>

#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// Integer text. With width 1 or more the result is exactly width characters:
// the field is filled with fill, the digits of the magnitude are written from
// the right end (only the lowest width digits survive) and a "-" goes just left
// of the digits of a negative value when a position is left. With width below 1
// the value is written without padding. inttoa(-12, 5, '0') is "00-12".
CORVEX_EXPORT const char *inttoa(int32_t value, int width, int fill);

// The same as inttoa, with its own result buffer.
CORVEX_EXPORT const char *longtoa(int32_t value, int width, int fill);

// The value with at most 5 decimals: 17 significant digits are taken from the
// value, the fifth decimal is rounded half up, trailing zeros and a trailing
// point are removed, and a value that rounds to zero or is below 0.00001 in
// magnitude is "0" without sign. flasc(2.5) is "2.5", flasc(100) "100", flasc(3.14159265) "3.14159".
// Infinities and NaN give "inf", "-inf" and "nan".
CORVEX_EXPORT const char *flasc(double value);

// The value rounded half away from zero to places decimals (below 0 counts as
// 0), worked on the value's flasc text, so round(2.345, 2) is 2.35 and at most
// 5 decimals are kept. Exported under this name because "round" is the C
// library's.
CORVEX_EXPORT long double corvex_round(double value, int places);

// Compares a and b as their 5-decimal texts: -1, 0 or 1. Values that round to
// zero or are below 0.00001 in magnitude count as zero without sign, so
// numcmp(1.000001, 1.0) and numcmp(0.000006, 0) are 0.
CORVEX_EXPORT int numcmp(double a, double b);

CORVEX_EXTERN_C_END

#endif
