// The date exports of libcorvex: the process's date form, packing, unpacking
// and the field record of _convdate.
#include "util/dates/dates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t kInvalid = -999999;

std::string unpack(int32_t number, int with_time) {
  char out[CORVEX_DATE_TEXT_MAX + 1];
  jdunpack(number, out, with_time);
  return out;
}

TEST(DateForm, EmptyUntilSetAndCutTo31Characters) {
  char out[CORVEX_DATE_TEXT_MAX + 1] = "x";
  EXPECT_EQ(jdunpack(1, out, 0), 0);  // nothing set yet in this process
  EXPECT_STREQ(out, "");
  EXPECT_EQ(jdpack("01/01/78", 0), kInvalid);

  std::string form = "M/D/CY" + std::string(25, '-');  // 31 characters
  set_dateform((form + "h").c_str());                 // the hour is cut off
  EXPECT_EQ(unpack(86400 + 3600, 1), "01/01/1978" + std::string(25, '-'));

  // 31 weekday names are the longest text a form can write.
  set_dateform(std::string(40, 'W').c_str());
  EXPECT_EQ(unpack(739, 0), [] {
    std::string s;
    for (int i = 0; i < 31; ++i) s += "WEDNESDAY";
    return s;
  }());
  EXPECT_EQ(unpack(739, 0).size(), size_t{CORVEX_DATE_TEXT_MAX});

  set_dateform(nullptr);
  EXPECT_EQ(jdpack("01/01/78", 0), kInvalid);
  EXPECT_EQ(unpack(1, 0), "");
}

TEST(Jdpack, TwoDigitYears) {
  set_dateform("M/D/Y");
  EXPECT_EQ(jdpack("01/01/78", 0), 36526);  // 2078: years below 80 are in the 2000s
  EXPECT_EQ(jdpack("01/01/80", 0), 731);
  EXPECT_EQ(jdpack("02/29/80", 0), 790);
  EXPECT_EQ(jdpack("01/01/79", 0), 36891);
  EXPECT_EQ(jdpack("12/31/77", 0), 36525);  // 31 December 2077
  EXPECT_EQ(jdpack("02/29/79", 0), kInvalid);
  EXPECT_EQ(jdpack("13/01/80", 0), kInvalid);
  EXPECT_EQ(jdpack("00/01/80", 0), kInvalid);
  EXPECT_EQ(jdpack("01/00/80", 0), kInvalid);
  EXPECT_EQ(jdpack("04/31/80", 0), kInvalid);
  // Two characters per number, read from their start.
  EXPECT_EQ(jdpack(" 5/ 6/80", 0), jdpack("05/06/80", 0));
  EXPECT_EQ(jdpack("ab/01/80", 0), kInvalid);
  EXPECT_EQ(jdpack("", 0), kInvalid);
  EXPECT_EQ(jdpack(nullptr, 0), kInvalid);
}

TEST(Jdpack, FourDigitYearsAndTimes) {
  set_dateform("M/D/CY");
  EXPECT_EQ(jdpack("01/01/1978", 0), 1);
  EXPECT_EQ(jdpack("12/31/1977", 0), 0);
  EXPECT_EQ(jdpack("12/30/1977", 0), -1);
  set_dateform("D-M-CY");
  EXPECT_EQ(jdpack("29-02-2000", 0), 8095);
  EXPECT_EQ(jdpack("29-02-1900", 0), kInvalid);
  EXPECT_EQ(jdpack("29-02-1600", 0), -138002);

  set_dateform("M/D/Y h:m:s");
  EXPECT_EQ(jdpack("01/01/80 00:00:01", 1), 731 * 86400 + 1);
  EXPECT_EQ(jdpack("01/01/80 00:00:01", 0), 731);  // the time is not read
  EXPECT_EQ(jdpack("01/01/80 25:00:00", 1), 732 * 86400 + 3600);  // not range-checked
  EXPECT_EQ(jdpack("01/01/80 xx:00:00", 1), kInvalid);
  EXPECT_EQ(jdpack("01/01/80", 1), kInvalid);  // the form asks for a time
  set_dateform("M/D/CY h:m:s");
  EXPECT_EQ(jdpack("01/01/1978 00:00:01", 1), 86401);
  // Date-time numbers that do not fit 32 bits are refused, not wrapped.
  EXPECT_EQ(jdpack("01/18/2046 03:14:07", 1), INT32_MAX);
  EXPECT_EQ(jdpack("01/18/2046 03:14:08", 1), kInvalid);
  EXPECT_EQ(jdpack("01/01/2100 00:00:00", 1), kInvalid);
  EXPECT_EQ(jdpack("01/01/1900 00:00:00", 1), kInvalid);
}

TEST(Jdunpack, FormsAndOmittedTime) {
  set_dateform("w, l D, CY");
  EXPECT_EQ(unpack(1, 0), "Sunday, January 01, 1978");
  EXPECT_EQ(unpack(736, 0), "Sunday, January 06, 1980");
  EXPECT_EQ(unpack(2, 0), "Monday, January 02, 1978");
  EXPECT_EQ(jdpack("sunday, JANUARY 01, 1978", 0), 1);
  EXPECT_EQ(jdpack("Funday, January 01, 1978", 0), kInvalid);
  // At the end of a form the weekday is all the rest of the text.
  set_dateform("M/D/CY w");
  EXPECT_EQ(jdpack("01/01/1978 sunday", 0), 1);
  EXPECT_EQ(jdpack("01/01/1978 Sundays", 0), kInvalid);
  EXPECT_EQ(jdpack("01/01/1978 Sunday 13", 0), kInvalid);
  set_dateform("M/D/CY Whm");
  EXPECT_EQ(jdpack("01/01/1978 SUNDAY", 0), 1);  // the time codes read nothing
  EXPECT_EQ(jdpack("01/01/1978 SUNDAYX", 0), kInvalid);
  set_dateform("W a A L D");
  EXPECT_EQ(unpack(-1, 0), "FRIDAY Dec DEC DECEMBER 30");

  set_dateform("M/D/Y");
  EXPECT_EQ(unpack(0, 0), "12/31/77");
  set_dateform("M/D/Y h:m");
  EXPECT_EQ(unpack(0, 0), "12/31/77");  // no blank and colon without the time
  EXPECT_EQ(unpack(47100, 1), "12/31/77 13:05");
  char out[CORVEX_DATE_TEXT_MAX + 1];
  EXPECT_EQ(jdunpack(47100, out, 1), 0xD6);  // the form writes no century
  EXPECT_EQ(jdunpack(0, out, 0), 0xD0);
  EXPECT_EQ(jdunpack(0, nullptr, 0), 0xD0);
  // A literal before the date still is written.
  set_dateform("(M/D/Y)");
  EXPECT_EQ(unpack(0, 0), "(12/31/77");
  EXPECT_EQ(unpack(0, 1), "(12/31/77)");
}

TEST(Jdpack, MonthNamesAndDayOfYear) {
  set_dateform("A D CY");
  EXPECT_EQ(jdpack("dec 31 1977", 0), 0);
  EXPECT_EQ(jdpack("Xyz 31 1977", 0), kInvalid);
  set_dateform("L D, CY");
  EXPECT_EQ(jdpack("september 05, 1980", 0), jdpack("SEP       05, 1980", 0));
  EXPECT_EQ(unpack(jdpack("May 05, 1980", 0), 0), "MAY 05, 1980");

  set_dateform("CY-y");
  EXPECT_EQ(jdpack("1980-060", 0), 790);
  EXPECT_EQ(jdpack("1980-366", 0), 1096);
  EXPECT_EQ(jdpack("1979-366", 0), kInvalid);
  EXPECT_EQ(jdpack("1979-000", 0), kInvalid);
  EXPECT_EQ(unpack(790, 0), "1980-060");
  // The day of the year is resolved once the year is known.
  set_dateform("y/CY");
  EXPECT_EQ(jdpack("060/1980", 0), 790);
  EXPECT_EQ(jdpack("060/1979", 0), 425);  // 1 March 1979
}

// Any form that names every field, in any order and with any literals in
// between, writes a date-time number as a text that packs back to it.
TEST(Jdunpack, EveryCompleteFormPacksBack) {
  std::mt19937 random(14);
  const std::vector<std::string> months = {"M", "A", "a", "L", "l"};
  const std::string literals = " /-.,:x";
  for (int round = 0; round < 5000; ++round) {
    std::vector<std::string> codes = {"C", "Y", "h", "m", "s"};
    if (random() % 4 == 0) {
      codes.push_back("y");
    } else {
      codes.push_back(months[random() % months.size()]);
      codes.push_back("D");
    }
    if (random() % 2) codes.push_back(random() % 2 ? "W" : "w");
    std::shuffle(codes.begin(), codes.end(), random);
    std::string form;
    for (const std::string &code : codes) {
      form += code;
      if (random() % 2) form += literals[random() % literals.size()];
    }
    set_dateform(form.c_str());
    int32_t number = static_cast<int32_t>(random());
    std::string text = unpack(number, 1);
    ASSERT_EQ(jdpack(text.c_str(), 1), number) << form << ": " << text;
  }
}

TEST(Convdate, FieldRecord) {
  set_dateform("M/D/Y h:m");
  int8_t f[9] = {1, 1, 1, 1, 1, 1, 1, 1, 5};
  char text[CORVEX_DATE_TEXT_MAX + 1] = "12/31/77 13:05";
  EXPECT_EQ(_convdate(text, f, 0, 1), 0xF6);
  const int8_t read[9] = {12, 31, 20, 77, 13, 5, 0, 0, 5};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(f[i], read[i]) << i;
  EXPECT_EQ(_convdate(text, f, 1, 1), 0xF0);  // without the time
  EXPECT_EQ(f[4], 0);

  // A failed read keeps what was read before.
  char bad[] = "07/xx/80";
  EXPECT_EQ(_convdate(bad, f, 1, 1), 0);
  EXPECT_EQ(f[0], 7);
  EXPECT_EQ(f[2], 0);

  int8_t w[9] = {2, 9, 19, 80, 7, 8, 0, 0, 0};
  EXPECT_EQ(_convdate(text, w, 0, 0), 0xD6);
  EXPECT_STREQ(text, "02/09/80 07:08");
  EXPECT_EQ(_convdate(text, w, 1, 0), 0xD0);
  EXPECT_STREQ(text, "02/09/80");
  // Values out of range write as numbers, or no name, never more than fits.
  set_dateform("L W M C Y");
  int8_t odd[9] = {-128, -128, -128, -128, 0, 0, 0, 0, 99};
  EXPECT_EQ(_convdate(text, odd, 1, 0), 0xB0);
  EXPECT_STREQ(text, "  -128 -128 128");
  EXPECT_EQ(_convdate(text, nullptr, 1, 0), 0);
}

}  // namespace
