// Command frames, frequency text and port names.
#include <gtest/gtest.h>

#include "app/radio/commport.h"
#include "app/radio/frames.h"
#include "app/radio/frequency.h"
#include "tests/app/fakes.h"

using namespace radio;

TEST(Frames, FixedCommands) {
  EXPECT_EQ(connectFrame(), hex("00 00 00 00 00"));
  EXPECT_EQ(executeFrame(), hex("00 00 00 00 0B"));
  EXPECT_EQ(*modeFrame(0), hex("00 00 00 10 0A"));
  EXPECT_EQ(*modeFrame(7), hex("00 00 00 17 0A"));
  EXPECT_FALSE(modeFrame(8));
  EXPECT_FALSE(modeFrame(-1));
  EXPECT_EQ(coverageFrame(Coverage::General), hex("00 00 00 21 0A"));
  EXPECT_EQ(coverageFrame(Coverage::Amateur), hex("00 00 00 22 0A"));
}

TEST(Frames, SlidersAndTheirRanges) {
  EXPECT_EQ(slider1Frame(1), hex("00 00 00 FE 04"));
  EXPECT_EQ(slider1Frame(254), hex("00 00 00 01 04"));
  EXPECT_EQ(slider1Frame(0), hex("00 00 00 FE 04"));  // clamped, never 255
  EXPECT_EQ(slider2Frame(15), hex("00 00 00 0F 05"));
  EXPECT_EQ(slider2Frame(99), hex("00 00 00 1E 05"));
}

TEST(Frames, FrequencyIsBcdLeastSignificantFirst) {
  EXPECT_EQ(*frequencyFrame(1425000), hex("00 50 42 01 08"));
  EXPECT_EQ(*frequencyFrame(710), hex("10 07 00 00 08"));
  EXPECT_EQ(*frequencyFrame(0), hex("00 00 00 00 08"));
  EXPECT_EQ(*frequencyFrame(9999999), hex("99 99 99 09 08"));
  EXPECT_FALSE(frequencyFrame(10000000));
  EXPECT_FALSE(frequencyFrame(-1));
}

TEST(Frames, HexTextKeepsLeadingZero) { EXPECT_EQ(hexText(hex("0A 00 FF")), "0A00FF"); }

TEST(FrequencyText, ParsesOnlyPlainNumbersInRange) {
  EXPECT_EQ(parseKhz("7.1"), 710);
  EXPECT_EQ(parseKhz(" 14250 "), 1425000);
  EXPECT_EQ(parseKhz("99999.99"), 9999999);
  EXPECT_EQ(parseKhz("0"), 0);
  EXPECT_FALSE(parseKhz("100000"));
  EXPECT_FALSE(parseKhz("-1"));
  EXPECT_FALSE(parseKhz(""));
  EXPECT_FALSE(parseKhz("abc"));
  EXPECT_FALSE(parseKhz("14200abc"));
  EXPECT_FALSE(parseKhz("1e3"));
  EXPECT_FALSE(parseKhz("1.2.3"));
  EXPECT_EQ(khzText(710), "00007.10");
  EXPECT_EQ(khzText(1425050), "14250.50");
}

TEST(FrequencyText, LeadingNumberAndStepCaptions) {
  EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
  EXPECT_DOUBLE_EQ(leadingNumber("  14200.5 kHz"), 14200.5);
  EXPECT_DOUBLE_EQ(leadingNumber("-3"), -3.0);
  EXPECT_DOUBLE_EQ(leadingNumber("x1"), 0.0);
  EXPECT_DOUBLE_EQ(leadingNumber("."), 0.0);
  EXPECT_EQ(leadingNumber("+7055.25"), 7055.25);
  EXPECT_EQ(leadingNumber("-.1"), -0.1);  // read exactly as the compiler reads it
  EXPECT_EQ(leadingNumber("2612072105"), 2612072105.0);
  EXPECT_EQ(leadingNumber("1e5"), 1.0);  // no exponents
  EXPECT_EQ(leadingNumber(QString(70, QLatin1Char('1'))), QString(70, QLatin1Char('1')).toDouble());
  EXPECT_EQ(plainNumberText("0.10"), "0.1");
  EXPECT_EQ(plainNumberText("1.00"), "1");
  EXPECT_EQ(plainNumberText("10.00"), "10");
  // Steps that do not add up exactly in binary still land on 10 Hz.
  EXPECT_EQ(khzToTenHz(7100.1 + 0.1 + 0.1), 710030);
  EXPECT_FALSE(khzToTenHz(-0.1));
  EXPECT_FALSE(khzToTenHz(100000.0));
}

TEST(FrequencyText, PickListFromLowLimit) {
  const QStringList lines = limitPickList("07100.00");
  ASSERT_EQ(lines.size(), 10);
  EXPECT_EQ(lines.front(), "07000.00");
  EXPECT_EQ(lines[8], "07800.00");
  EXPECT_EQ(lines.back(), "07999.00");
  EXPECT_TRUE(limitPickList("00007.99").isEmpty());
  EXPECT_EQ(limitPickList("8").size(), 10);
  EXPECT_TRUE(limitPickList("").isEmpty());
  EXPECT_TRUE(limitPickList("abc").isEmpty());
}

TEST(PortNames, NumbersPathsAndBlank) {
  EXPECT_EQ(portDevice(""), "/dev/ttyS0");
  EXPECT_EQ(portLabel("  "), "1");
  EXPECT_EQ(portDevice("3"), "/dev/ttyS2");
  EXPECT_EQ(portLabel("3"), "3");
  EXPECT_EQ(portDevice("/dev/pts/4"), "/dev/pts/4");
  EXPECT_EQ(portLabel("/dev/pts/4"), "/dev/pts/4");
  EXPECT_EQ(portDevice("abc"), "");
  EXPECT_EQ(portLabel("abc"), "0");
}
