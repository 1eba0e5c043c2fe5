// Base-95 numbers: fixed-width text numbers, most significant digit first,
// in which a digit's value is its character code minus 32 (a space is 0, '~'
// is 94). Record links of threads use 4 digits, word index postings 5.
#ifndef CORVEX_ENGINE_DATA_BASE95_H
#define CORVEX_ENGINE_DATA_BASE95_H

#include <stdint.h>

#include "engine/exports.h"

namespace corvex {

constexpr int LINK_WIDTH = 4;

// 95^4: the first position a 4-digit link cannot hold.
constexpr uint32_t kLinkLimit = 95u * 95u * 95u * 95u;

// Writes `value` as exactly `width` digits into `out` (no terminator).
void base95_put(uint32_t value, int width, char *out);

// Reads `width` digits at `text` into `value`; false when a character lies
// outside ' '..'~' (a damaged field).
bool base95_get(const char *text, int width, uint32_t *value);

}  // namespace corvex

#endif
