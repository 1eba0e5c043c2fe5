// A double as a fixed-point decimal with 5 decimals, the form behind flasc,
// corvex_round and numcmp.
#ifndef CORVEX_UTIL_DECIMAL_H
#define CORVEX_UTIL_DECIMAL_H

#include <string>

namespace corvex {

struct Decimal5 {
  // "inf", "-inf" or "nan" for a value that is not finite, else null.
  const char *special = nullptr;
  bool negative = false;  // never set for zero
  // The magnitude times 100000 in decimal digits without leading zeros; empty
  // for zero.
  std::string digits;
};

// 17 significant digits of value, rounded half up at the fifth decimal; a
// value below 0.00001 in magnitude is zero.
Decimal5 to_decimal5(double value);

// The text of d with the decimals given (0..5), rounded half away from zero at
// the last one, without trailing zeros or a trailing point: "-12.5", "0".
std::string decimal5_text(const Decimal5 &d, int places);

// -1, 0 or 1 as a is below, equal to or above b.
int decimal5_compare(const Decimal5 &a, const Decimal5 &b);

}  // namespace corvex

#endif
