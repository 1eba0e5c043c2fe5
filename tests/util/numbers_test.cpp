#include "util/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace {

// printf's 5-decimal text without trailing zeros and point; "-0" becomes "0",
// and so does a value below 0.00001 in magnitude, which printf may round up.
std::string printf_form(double v) {
  if (std::fabs(v) < 0.00001) return "0";
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.5f", v);
  std::string s = buf;
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

TEST(IntegerText, Widths) {
  EXPECT_STREQ(inttoa(-12, 5, '0'), "00-12");
  EXPECT_STREQ(inttoa(12345, 3, '0'), "345");
  EXPECT_STREQ(inttoa(-12, 0, ' '), "-12");
  EXPECT_STREQ(inttoa(-123, 3, ' '), "123");  // no room left for the sign
  EXPECT_STREQ(inttoa(-12, 3, ' '), "-12");
  EXPECT_STREQ(inttoa(0, 4, ' '), "   0");
  EXPECT_STREQ(inttoa(7, -3, '*'), "7");
  EXPECT_STREQ(inttoa(INT32_MIN, 0, ' '), "-2147483648");
  EXPECT_STREQ(longtoa(INT32_MAX, 12, '0'), "002147483647");
  EXPECT_STREQ(longtoa(INT32_MIN, 4, '0'), "3648");
  EXPECT_EQ(std::string(inttoa(5, 300, '.')).size(), 300u);
}

TEST(Flasc, Examples) {
  EXPECT_STREQ(flasc(2.5), "2.5");
  EXPECT_STREQ(flasc(100), "100");
  EXPECT_STREQ(flasc(3.14159265), "3.14159");
  EXPECT_STREQ(flasc(0.000001), "0");
  EXPECT_STREQ(flasc(-0.000001), "0");
  EXPECT_STREQ(flasc(0.0), "0");
  EXPECT_STREQ(flasc(-0.0), "0");
  // Below 0.00001 in magnitude is zero, even where the fifth decimal would
  // round up; 0.00001 itself is kept.
  EXPECT_STREQ(flasc(0.000006), "0");
  EXPECT_STREQ(flasc(-0.0000099), "0");
  EXPECT_STREQ(flasc(0.00001), "0.00001");
  EXPECT_STREQ(flasc(-0.00001), "-0.00001");
  EXPECT_STREQ(flasc(-1.5), "-1.5");
  EXPECT_STREQ(flasc(0.015625), "0.01563");  // an exact tie rounds up
  EXPECT_STREQ(flasc(9.999996), "10");
  EXPECT_STREQ(flasc(1e20), "100000000000000000000");
  // Only 17 significant digits come from the value.
  EXPECT_STREQ(flasc(123456789012345678901.0), "123456789012345680000");
  EXPECT_STREQ(flasc(INFINITY), "inf");
  EXPECT_STREQ(flasc(-INFINITY), "-inf");
  EXPECT_STREQ(flasc(NAN), "nan");
  EXPECT_EQ(std::string(flasc(-1.7e308)).size(), 310u);
}

// Within 17 significant digits flasc is the correctly rounded 5-decimal text,
// which is also what printf gives (they differ only on exact ties).
TEST(Flasc, AgreesWithPrintf) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-8, 3);
  for (int i = 0; i < 50000; ++i) {
    double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    ASSERT_EQ(flasc(v), printf_form(v)) << std::hexfloat << v;
  }
}

TEST(Round, HalfAwayFromZeroOnTheText) {
  EXPECT_EQ(corvex_round(2.345, 2), 2.35L);
  EXPECT_EQ(corvex_round(-2.345, 2), -2.35L);
  EXPECT_EQ(corvex_round(9.995, 2), 10.0L);
  EXPECT_EQ(corvex_round(-9.5, 0), -10.0L);
  EXPECT_EQ(corvex_round(2.4, -3), 2.0L);
  EXPECT_EQ(corvex_round(2.25, 5), 2.25L);
  EXPECT_EQ(corvex_round(1.0000049, 9), 1.0L);  // at most 5 decimals survive
  EXPECT_EQ(corvex_round(-0.004, 2), 0.0L);
  EXPECT_FALSE(std::signbit(corvex_round(-0.004, 2)));
  EXPECT_EQ(corvex_round(999.96, 1), 1000.0L);
  EXPECT_EQ(corvex_round(0.12345, 4), 0.1235L);
  EXPECT_EQ(corvex_round(0.000006, 5), 0.0L);
  EXPECT_FALSE(std::signbit(corvex_round(-0.000006, 5)));
}

TEST(Numcmp, FiveDecimalComparison) {
  EXPECT_EQ(numcmp(1.000001, 1.0), 0);
  EXPECT_LT(numcmp(-1, 1), 0);
  EXPECT_GT(numcmp(1, -1), 0);
  EXPECT_EQ(numcmp(-0.000001, 0.000001), 0);  // both count as zero without sign
  EXPECT_EQ(numcmp(0.000006, 0), 0);
  EXPECT_EQ(numcmp(-0.000006, 0.000009), 0);
  EXPECT_GT(numcmp(0.00001, 0.000009), 0);
  EXPECT_LT(numcmp(99.5, 100), 0);
  EXPECT_GT(numcmp(100, 99.99999), 0);
  EXPECT_GT(numcmp(-99.5, -100), 0);  // negatives in reverse
  EXPECT_LT(numcmp(-0.5, 0.000001), 0);
  EXPECT_EQ(numcmp(2.000004, 2.000001), 0);
  EXPECT_LT(numcmp(2.000004, 2.000006), 0);
  EXPECT_LT(numcmp(1.0, INFINITY), 0);
}

}  // namespace
