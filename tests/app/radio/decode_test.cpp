// Decoding of the 5-, 22- and 148-byte replies.
#include <gtest/gtest.h>

#include "app/radio/decode.h"
#include "tests/app/fakes.h"

using namespace radio;

namespace {

QByteArray fullStatus() {
  QByteArray r(148, '\0');
  r.replace(143, 4, hex("00 50 42 01"));  // bytes 144-147
  r[142] = 0x01;                           // byte 143: USB
  r[141] = static_cast<char>(0x80);        // byte 142: HAM
  r.replace(90, 6, hex("00 50 42 01 80 00"));  // channel 1, bytes 91-96
  r.replace(24, 6, hex("10 07 00 00 00 17"));  // channel 12, bytes 25-30: unknown mode
  return r;
}

QString digits(const Reply &r) { return QString(r.digits->data(), 7); }

}  // namespace

TEST(Decode, FrequencyEcho) {
  const Reply r = decodeReply(hex("00 50 42 01 08"), 5);
  EXPECT_EQ(r.text1, "0050420108");
  EXPECT_EQ(r.text4, "8010240500");
  EXPECT_EQ(r.inLen, 10);
  ASSERT_TRUE(r.digits);
  EXPECT_EQ(digits(r), "1425000");
  EXPECT_FALSE(r.mode);
  EXPECT_FALSE(r.entry);
}

TEST(Decode, ShortStatusModeAndCoverage) {
  QByteArray r(22, '\0');
  r.replace(17, 4, hex("10 07 00 00"));
  r[16] = 0x03;
  r[15] = static_cast<char>(0x81);
  Reply d = decodeReply(r, 22);
  EXPECT_EQ(digits(d), "0000710");
  EXPECT_EQ(d.mode, "CW-N");
  EXPECT_EQ(d.coverage, "Aux1");
  EXPECT_FALSE(d.entry);
  EXPECT_TRUE(d.memory.empty());
  r[15] = 0x01;
  r[16] = static_cast<char>(0xF3);  // high nibble of the mode byte is not read
  d = decodeReply(r, 22);
  EXPECT_FALSE(d.coverage);
  EXPECT_EQ(d.mode, "CW-N");
  r[16] = 0x09;
  EXPECT_FALSE(decodeReply(r, 22).mode);
}

TEST(Decode, FullStatusWithMemoryChannels) {
  const Reply r = decodeReply(fullStatus(), 148);
  EXPECT_EQ(digits(r), "1425000");
  EXPECT_EQ(r.entry, "14250.00");
  EXPECT_EQ(r.mode, "USB");
  EXPECT_EQ(r.coverage, "HAM");
  EXPECT_EQ(r.inLen, 296);
  ASSERT_EQ(r.memory.size(), 12u);
  EXPECT_EQ(r.memory[0].frequency, "14,250.00");
  EXPECT_EQ(r.memory[0].coverage, "HAM");
  EXPECT_EQ(r.memory[0].mode, "LSB");
  EXPECT_EQ(r.memory[11].frequency, "00,007.10");
  EXPECT_EQ(r.memory[11].coverage, "GEN");
  EXPECT_FALSE(r.memory[11].mode);
}

TEST(Decode, UnexpectedLengthIsPlainHexAndNotDecoded) {
  // A 148-byte reply while 22 were expected must not be read as a full status.
  const Reply r = decodeReply(fullStatus(), 22);
  EXPECT_TRUE(r.text1.isEmpty());
  EXPECT_EQ(r.text4.left(4), "0000");
  EXPECT_EQ(r.text4.size(), 296);
  EXPECT_FALSE(r.decoded);
  EXPECT_FALSE(r.digits);
  EXPECT_FALSE(r.inLen);
  EXPECT_TRUE(r.memory.empty());
  EXPECT_EQ(decodeReply(hex("0A"), 5).text4, "0A");
  EXPECT_EQ(decodeReply(QByteArray(), 5).text4, "");
}

TEST(Decode, OtherLengthsAreShownOnly) {
  const Reply r = decodeReply(hex("2A"), 1);
  EXPECT_EQ(r.text1, "2A");
  EXPECT_EQ(r.text4, "A2");
  EXPECT_FALSE(r.decoded);
  EXPECT_FALSE(r.digits);
}
