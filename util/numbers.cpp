#include "util/numbers.h"

#include <charconv>
#include <cmath>
#include <string>

#include "util/decimal.h"

namespace {

// The integer text of inttoa and longtoa, written into the caller's buffer.
const char *integer_text(std::string &out, int32_t value, int width, int fill) {
  long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude > 0);
  if (width < 1) {
    out = (value < 0 ? "-" : "") + digits;
    return out.c_str();
  }
  size_t w = static_cast<size_t>(width);
  if (digits.size() > w) digits.erase(0, digits.size() - w);  // the lowest w digits survive
  out.assign(w, static_cast<char>(fill));
  out.replace(w - digits.size(), digits.size(), digits);
  if (value < 0 && digits.size() < w) out[w - digits.size() - 1] = '-';
  return out.c_str();
}

}  // namespace

const char *inttoa(int32_t value, int width, int fill) {
  static std::string text;
  return integer_text(text, value, width, fill);
}

const char *longtoa(int32_t value, int width, int fill) {
  static std::string text;
  return integer_text(text, value, width, fill);
}

const char *flasc(double value) {
  static std::string text;
  text = corvex::decimal5_text(corvex::to_decimal5(value), 5);
  return text.c_str();
}

long double corvex_round(double value, int places) {
  corvex::Decimal5 d = corvex::to_decimal5(value);
  if (d.special) return value;
  if (places < 0) places = 0;
  if (places > 5) places = 5;
  std::string text = corvex::decimal5_text(d, places);
  long double result = 0;
  std::from_chars(text.data(), text.data() + text.size(), result);
  return result;
}

int numcmp(double a, double b) {
  if (!std::isfinite(a) || !std::isfinite(b)) return (a > b) - (a < b);
  return corvex::decimal5_compare(corvex::to_decimal5(a), corvex::to_decimal5(b));
}
