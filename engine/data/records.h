// The layout of records in a data file.
//
// Every record slot starts with a status byte (' ' active, 'D' deleted) and
// ends with a line feed. A variable-length record keeps its total stored
// length, counting the status byte, the four digits and the line feed, as
// four upper-case hexadecimal digits in bytes 1..4. The header record in
// slot 0 holds ' ' or 'V' and the slot count as eight hexadecimal digits.
#ifndef CORVEX_ENGINE_DATA_RECORDS_H
#define CORVEX_ENGINE_DATA_RECORDS_H

#include <stddef.h>
#include <stdint.h>

namespace corvex {

enum : char { REC_ACTIVE = ' ', REC_DELETED = 'D', REC_END = '\n', REC_VARHDR = 'V', REC_FILL = 0x1A };

constexpr int VAR_LENGTH_AT = 1;  // first of the length digits
constexpr int VAR_LENGTH_DIGITS = 4;
constexpr int VAR_DATA_AT = 5;     // first byte of packed items
constexpr int VAR_MIN_LENGTH = 6;  // status, digits and line feed
constexpr int HDR_COUNT_DIGITS = 8;
constexpr int HDR_PREFIX = 9;      // variability byte and count digits

// Writes `value` as `width` upper-case hexadecimal digits, zero-padded.
void hex_put(uint32_t value, int width, char *out);

// Reads `width` hexadecimal digits (either case); false when any other
// character is met.
bool hex_get(const char *text, int width, uint32_t *value);

// The stored length of the variable-length record whose first bytes are at
// `slot` (`avail` bytes of them readable), checked against the record
// length: the length, or 0 when the digits are missing, malformed, below 6
// or above `reclen`.
uint32_t stored_length(const char *slot, size_t avail, uint32_t reclen);

}  // namespace corvex

#endif
