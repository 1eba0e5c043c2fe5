// Display formatting: number pictures, templates, justification,
// capitalisation, rounding and the date exports of the access layer.
#include <gtest/gtest.h>

#include <string>

#include "access/kdb.h"
#include "access/result_buffer.h"

namespace {

// Expected texts worked out by hand from the picture rules.
TEST(KDBedit, PictureGrid) {
  const struct {
    const char *number, *picture, *currency, *edited;
  } grid[] = {
      // digit positions, commas and the point
      {"1234.5", "zzz,zz9.99", "", "  1,234.50"},
      {"0", "zzz,zz9.99", "", "      0.00"},
      {"12.345", "zzz,zz9.99", "", "     12.35"},
      {"1,234.5", "zzz,zz9.99", "", "  1,234.50"},
      {"  -0012.5", "zzz,zz9.99", "", "    -12.50"},
      {"-1234.5", "zzz,zz9.99", "", " -1,234.50"},
      {"5", "999", "", "005"},
      {"1234567", "9,999,999", "", "1,234,567"},
      {"5", "9,999", "", "0,005"},
      {"5", "z,zz9", "", "    5"},
      {".5", ".99", "", ".50"},
      {"1.5", "9.zzz", "", "1.5  "},
      {"1.5", "9.999", "", "1.500"},
      // rounding: carries and more decimals than the picture
      {"999.995", "zzz,zz9.99", "", "  1,000.00"},
      {"9.995", "z9.99", "", "10.00"},
      {"1.23456", "9.99", "", "1.23"},
      {"1.5", "99", "", "02"},
      {"0.004", "zzz,zz9.99", "", "      0.00"},
      {"-0.004", "zzz,zz9.99", "", "      0.00"},  // rounds to 0: no sign
      {"1.235", "z9.99-", "", " 1.24 "},          // the sign is no decimal
      // signs
      {"-5", "zz9", "", " -5"},
      {"-5", "999", "", "-05"},
      {"-5", "zz9-", "", "  5-"},
      {"5", "zz9-", "", "  5 "},
      {"5", "+zz9", "", "  +5"},
      {"-5", "+zz9", "", "  -5"},
      {"5", "-zz9", "", "   5"},
      {"-5", "-zz9", "", "  -5"},
      {"5", "zz9+", "", "  5+"},
      {"-5", "zz9+", "", "  5-"},
      {"12.50-", "zz9.99", "", "-12.50"},
      {"-5", "(zz9)", "", "(  5)"},
      {"5", "(zz9)", "", "   5 "},
      // currency: floating and fixed
      {"5", "$zz9", "DM", "  DM5"},
      {"5", "$zz9", "", "  5"},
      {"5", "$zz9", "$", "  $5"},
      {"-5", "$zz9", "$", " -$5"},
      {"-5", "$zz9", "DM", " -DM5"},
      {"5", "$999", "$", "$005"},
      {"1234.5", "$zz,zz9.99", "EUR ", " EUR 1,234.50"},
      // asterisk fill
      {"12.5", "*zz,zz9.99", "", "****12.50"},
      {"5", "*$zz9", "$", "**$5"},
      {"-5", "(*zz9)", "", "(**5)"},
      // too small pictures and bad characters
      {"12345", "z9", "", ""},
      {"12345", "z9-", "", ""},
      {"99.995", "z9.99", "", ""},
      {"1.5", ".99", "", ""},
      {"-5", "9", "", ""},
      {"-123", "999", "", ""},
      {"5", "zz9X", "", ""},
      {"5", "99 9", "", ""},
  };
  for (const auto &g : grid)
    EXPECT_STREQ(KDBedit(g.number, g.picture, g.currency), g.edited)
        << g.number << " in " << g.picture << " with " << g.currency;
}

TEST(KDBedit, NullsAndLengths) {
  EXPECT_STREQ(KDBedit(nullptr, "zz9", nullptr), "  0");
  EXPECT_STREQ(KDBedit("5", nullptr, nullptr), "");
  // Pictures and numbers count up to 50 characters.
  std::string picture(60, '9');
  EXPECT_EQ(std::string(KDBedit("5", picture.c_str(), "")), std::string(49, '0') + "5");
  std::string number = "7" + std::string(60, ' ') + "1";
  EXPECT_STREQ(KDBedit(number.c_str(), "z9", ""), " 7");
  // A long currency text is cut at the result buffer.
  std::string currency(600, 'c');
  EXPECT_EQ(std::string(KDBedit("5", "$$9", currency.c_str())).size(), lumbra::kResultMax);
}

TEST(KDBunedit, PlainNumbers) {
  EXPECT_STREQ(KDBunedit("1,234.50-"), "-1234.50");
  EXPECT_STREQ(KDBunedit("$ 12.00"), "12.00");
  EXPECT_STREQ(KDBunedit("(12.00)"), "12.00");
  EXPECT_STREQ(KDBunedit("  -5"), "-5");
  EXPECT_STREQ(KDBunedit("--5-"), "-5");
  EXPECT_STREQ(KDBunedit(nullptr), "");
  std::string digits(600, '1');
  EXPECT_EQ(std::string(KDBunedit(digits.c_str())).size(), lumbra::kResultMax);
}

TEST(KDBroundstub, Carries) {
  EXPECT_STREQ(KDBroundstub("2.345", 2), "2.35");
  EXPECT_STREQ(KDBroundstub("9.999", 2), "10.00");
  EXPECT_STREQ(KDBroundstub("-9.999", 2), "-10.00");
  EXPECT_STREQ(KDBroundstub("12.5", 0), "13.");
  EXPECT_STREQ(KDBroundstub("12.4", 0), "12.");
  EXPECT_STREQ(KDBroundstub("12.5", 0x8002), "13.");  // the sign bit counts as 0
  EXPECT_STREQ(KDBroundstub("12", 2), "12");
  EXPECT_STREQ(KDBroundstub("1.2", 3), "1.2");
  EXPECT_STREQ(KDBroundstub("  3.14159", 2), "3.14");
  EXPECT_STREQ(KDBroundstub("12.55-", 1), "12.6-");
  EXPECT_STREQ(KDBroundstub("$9.99", 1), "$10.0");
  EXPECT_STREQ(KDBroundstub("9,999.5", 0), "10,000.");
  EXPECT_STREQ(KDBroundstub(nullptr, 2), "");
  std::string long_number = std::string(600, '9') + ".5";
  EXPECT_EQ(std::string(KDBroundstub(long_number.c_str(), 0)), "1" + std::string(511, '0'));
}

TEST(KDBpicture, Templates) {
  const char *phone = "(###) ###-####";
  EXPECT_STREQ(KDBpicture("5551234567", phone, 0), "(555) 123-4567");
  EXPECT_STREQ(KDBpicture("(555)123-4567", phone, 0), "(555) 123-4567");
  EXPECT_STREQ(KDBpicture("  5551234567  ", phone, 0), "(555) 123-4567");
  EXPECT_STREQ(KDBpicture("555", phone, 0), "(555)         ");
  EXPECT_STREQ(KDBpicture("1234567", phone, 1), "    ) 123-4567");
  EXPECT_STREQ(KDBpicture("12345678901234", "##-##", 0), "12-34");
  EXPECT_STREQ(KDBpicture(nullptr, "##", 0), "  ");
  EXPECT_STREQ(KDBpicture("12", nullptr, 0), "");
  std::string templ(600, '#');
  EXPECT_EQ(std::string(KDBpicture("x", templ.c_str(), 1)), std::string(511, ' ') + "x");
}

TEST(Justify, FillAndLengths) {
  EXPECT_STREQ(KDBrjust("AB   ", "0"), "000AB");
  EXPECT_STREQ(KDBrjust("  AB  ", "0"), "0000AB");
  EXPECT_STREQ(KDBrjust("A B  ", " "), "  A B");
  EXPECT_STREQ(KDBrjust("AB", "0"), "AB");
  EXPECT_STREQ(KDBljust("  AB", "*"), "AB**");
  EXPECT_STREQ(KDBljust("  AB", nullptr), "AB");  // zero bytes end the text
  EXPECT_STREQ(KDBcenter("AB    ", " "), "  AB  ");
  EXPECT_STREQ(KDBcenter("AB   ", "-"), "-AB--");
  EXPECT_STREQ(KDBcenter("    ", "x"), "xxxx");
  EXPECT_STREQ(KDBrjust("   ", "0"), "000");
  EXPECT_STREQ(KDBrjust("AB   ", ""), "");
  EXPECT_STREQ(KDBljust(nullptr, "x"), "");
  std::string text = "AB" + std::string(600, ' ');
  EXPECT_EQ(std::string(KDBrjust(text.c_str(), "0")), std::string(510, '0') + "AB");
}

TEST(KDBicase, Words) {
  EXPECT_STREQ(KDBicase("hello, WORLD.again"), "Hello, World.Again");
  EXPECT_STREQ(KDBicase("mcDONALD o'NEIL 3rd"), "Mcdonald O'neil 3rd");
  EXPECT_STREQ(KDBicase(nullptr), "");
  std::string text(600, 'a');
  EXPECT_EQ(std::string(KDBicase(text.c_str())), "A" + std::string(511, 'a'));
}

TEST(Dates, FormPictureAndConversions) {
  EXPECT_STREQ(KDBdateform("M/D/CY"), "mm/dd/yyyy");
  EXPECT_EQ(KDBjdpack("01/01/1978", 0), 1);
  EXPECT_EQ(KDBjdpack("02/30/1978", 0), -999999);
  EXPECT_STREQ(KDBjdunpack(1, 0), "01/01/1978");
  EXPECT_STREQ(KDBdateform("w, l D, CY h:m:s"), "dddd, mmmm dd, yyyy hh:nn:ss");
  EXPECT_STREQ(KDBjdunpack(86400, 0x10000), "Friday, July 22, 2214");  // time flag in 16 bits
  EXPECT_STREQ(KDBjdunpack(-86401, 1), "Thursday, December 29, 1977 23:59:59");
  EXPECT_EQ(KDBjdpack("Thursday, December 29, 1977 23:59:59", 1), -86401);
  EXPECT_STREQ(KDBdateform("A a L l y W x"), "mmm mmm mmmm mmmm y dddd x");
  // The form is cut to 31 characters; so is its picture.
  std::string form = std::string(30, '-') + "MD";
  EXPECT_EQ(std::string(KDBdateform(form.c_str())), std::string(30, '-') + "mm");
  EXPECT_STREQ(KDBdateform(nullptr), "");
  EXPECT_STREQ(KDBjdunpack(1, 0), "");
}

}  // namespace
