#include "util/decimal.h"

#include <charconv>
#include <cmath>

namespace corvex {
namespace {

constexpr int kPlaces = 5;
constexpr int kSignificant = 17;
// Magnitudes below this are zero without sign, even those that would round up
// to the fifth decimal.
constexpr double kSmallest = 0.00001;

// Adds one to the last digit of a decimal digit string, carrying leftwards.
void increment(std::string &digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

void strip_leading_zeros(std::string &digits) {
  size_t i = digits.find_first_not_of('0');
  digits.erase(0, i == std::string::npos ? digits.size() : i);
}

}  // namespace

Decimal5 to_decimal5(double value) {
  Decimal5 d;
  if (std::isnan(value)) {
    d.special = "nan";
    return d;
  }
  if (std::isinf(value)) {
    d.special = value < 0 ? "-inf" : "inf";
    return d;
  }
  if (std::fabs(value) < kSmallest) return d;
  // "d.dddddddddddddddde[+-]x": the 17 significant digits and the exponent of
  // the first. to_chars is exact and ignores the locale.
  char text[40];
  auto res = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific,
                           kSignificant - 1);
  std::string mantissa;
  const char *p = text;
  for (; p < res.ptr && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') mantissa += *p;
  int exponent = 0;
  if (p < res.ptr) std::from_chars(p + 1 + (p[1] == '+'), res.ptr, exponent);

  auto digit_at = [&](int power) {  // digit of 10^power
    int index = exponent - power;
    return index >= 0 && index < static_cast<int>(mantissa.size()) ? mantissa[index] : '0';
  };
  for (int power = exponent > 0 ? exponent : 0; power >= -kPlaces; --power) d.digits += digit_at(power);
  if (digit_at(-kPlaces - 1) >= '5') increment(d.digits);
  strip_leading_zeros(d.digits);
  d.negative = value < 0 && !d.digits.empty();
  return d;
}

std::string decimal5_text(const Decimal5 &d, int places) {
  if (d.special) return d.special;
  std::string digits = d.digits;
  if (digits.size() < kPlaces + 1) digits.insert(0, kPlaces + 1 - digits.size(), '0');
  size_t cut = static_cast<size_t>(kPlaces - places);
  char next = cut > 0 ? digits[digits.size() - cut] : '0';
  digits.resize(digits.size() - cut);
  if (next >= '5') increment(digits);
  size_t point = digits.size() - static_cast<size_t>(places);
  std::string whole = digits.substr(0, point);
  std::string fraction = digits.substr(point);
  strip_leading_zeros(whole);
  fraction.erase(fraction.find_last_not_of('0') + 1);
  if (whole.empty() && fraction.empty()) return "0";
  std::string text = d.negative ? "-" : "";
  text += whole.empty() ? "0" : whole;
  if (!fraction.empty()) text.append(".").append(fraction);
  return text;
}

int decimal5_compare(const Decimal5 &a, const Decimal5 &b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  int magnitude = a.digits.size() != b.digits.size() ? (a.digits.size() < b.digits.size() ? -1 : 1)
                                                     : (a.digits < b.digits ? -1 : a.digits > b.digits ? 1 : 0);
  return a.negative ? -magnitude : magnitude;
}

}  // namespace corvex
