// The radio state: what decoded replies write into it, what they leave, the
// ages of its values and the link state, fed through a link over a fake
// serial line.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "app/radio/decode.h"
#include "app/radio/radiolink.h"
#include "app/radio/radiostate.h"
#include "tests/app/fakes.h"

using radio::RadioState;

namespace {

struct Station {
  Station() : link(&port), state(&link) { port.opened = true; }
  // Sends a status request and answers it with its echo and `reply`.
  void answer(const QByteArray &reply) {
    const QByteArray frame = hex("00 00 00 00 10");
    link.send(frame, static_cast<int>(reply.size()));
    port.feed(frame);
    port.feed(reply);
  }
  FakeLink port;
  radio::RadioLink link;
  RadioState state;
  QSignalSpy changed{&state, &RadioState::changed};
  QSignalSpy fullStatus{&state, &RadioState::fullStatusRead};
};

// A short status: frequency field `digits` (bytes 18-21), mode and coverage codes.
QByteArray shortStatus(const char *field, int mode, int coverage) {
  QByteArray r(22, '\0');
  r.replace(17, 4, hex(field));
  r[16] = static_cast<char>(mode);
  r[15] = static_cast<char>(coverage);
  return r;
}

}  // namespace

TEST(RadioState, KnowsNothingBeforeTheFirstReply) {
  Station s;
  EXPECT_EQ(s.state.frequencyText(), "");
  EXPECT_FALSE(s.state.frequency());
  EXPECT_FALSE(s.state.frequencyAgeMs());
  EXPECT_FALSE(s.state.mode());
  EXPECT_FALSE(s.state.coverage());
  EXPECT_FALSE(s.state.replyAgeMs());
  EXPECT_EQ(s.state.link(), RadioState::Link::NotConnected);
  EXPECT_EQ(s.state.memory()[0].frequency, "");
}

TEST(RadioState, ShortStatusSetsFrequencyModeCoverageAndLink) {
  Station s;
  s.answer(shortStatus("00 50 42 01", 0x01, 0x80));
  EXPECT_EQ(s.state.frequency(), 1425000);
  EXPECT_EQ(s.state.frequencyText(), "14250.00");
  EXPECT_EQ(s.state.mode(), "USB");
  EXPECT_EQ(s.state.coverage(), "HAM");
  ASSERT_TRUE(s.state.frequencyAgeMs());
  EXPECT_LT(*s.state.frequencyAgeMs(), 1000);
  EXPECT_EQ(s.state.link(), RadioState::Link::Connected);
  EXPECT_EQ(s.changed.count(), 1);
  EXPECT_EQ(s.fullStatus.count(), 0);  // the operator's entry follows a full status only
}

TEST(RadioState, RepliesThatSayNothingChangeNothing) {
  Station s;
  s.answer(shortStatus("00 50 42 01", 0x01, 0x80));
  // A reply of another length than announced is never decoded.
  s.state.apply(radio::decodeReply(hex("00 10 07 00"), 5));
  // A frequency echo carries no mode or coverage: they stay.
  s.state.apply(radio::decodeReply(hex("00 10 07 00 08"), 5));
  EXPECT_EQ(s.state.frequencyText(), "00710.00");
  EXPECT_EQ(s.state.mode(), "USB");
  EXPECT_EQ(s.state.coverage(), "HAM");
  // Unknown mode and coverage codes leave the known ones too.
  s.state.apply(radio::decodeReply(shortStatus("00 50 42 01", 0x0F, 0x42), 22));
  EXPECT_EQ(s.state.mode(), "USB");
  EXPECT_EQ(s.state.coverage(), "HAM");
  EXPECT_EQ(s.changed.count(), 3);
}

TEST(RadioState, DigitsThatAreNoNumberAreShownButKeepTheLastFrequencyAndItsAge) {
  Station s;
  s.answer(shortStatus("00 50 42 01", 0x01, 0x80));
  QTest::qWait(40);
  s.state.apply(radio::decodeReply(hex("00 5A 42 01 08"), 5));
  EXPECT_EQ(s.state.frequencyText(), "1425A.00");  // as the display shows it
  EXPECT_EQ(s.state.frequency(), 1425000);         // what clients and the scan read
  EXPECT_GE(*s.state.frequencyAgeMs(), 40);
  EXPECT_LT(*s.state.replyAgeMs(), 40);
  EXPECT_GE(*s.state.modeAgeMs(), 40);  // the echo said no mode
}

TEST(RadioState, FullStatusFillsTheMemoryAndKeepsWhatARowLacks) {
  Station s;
  QByteArray status(148, '\0');
  status.replace(143, 4, hex("00 50 42 01"));
  status.replace(90, 6, hex("00 50 42 01 80 00"));  // channel 1: 14250.00, HAM, LSB
  s.state.apply(radio::decodeReply(status, 148));
  EXPECT_EQ(s.fullStatus.count(), 1);
  EXPECT_EQ(s.state.memory()[0].frequency, "14,250.00");
  EXPECT_EQ(s.state.memory()[0].mode, "LSB");
  EXPECT_EQ(s.state.memory()[0].coverage, "HAM");
  status.replace(90, 6, hex("00 10 07 00 42 17"));  // unknown coverage and mode codes
  s.state.apply(radio::decodeReply(status, 148));
  EXPECT_EQ(s.state.memory()[0].frequency, "00,710.00");
  EXPECT_EQ(s.state.memory()[0].mode, "LSB");
  EXPECT_EQ(s.state.memory()[0].coverage, "HAM");
}

TEST(RadioState, LinkFollowsFailuresThePortAndTheNextReply) {
  Station s;
  QSignalSpy links(&s.state, &RadioState::linkChanged);
  s.link.send(hex("00 00 00 00 10"), 22);  // no echo comes
  ASSERT_TRUE(QTest::qWaitFor([&] { return s.state.link() == RadioState::Link::NoAnswer; }, 3000));
  EXPECT_FALSE(s.state.reachable());
  s.state.setPortClosed();
  EXPECT_EQ(s.state.link(), RadioState::Link::PortClosed);
  // A failure while the port is closed does not hide that it is closed.
  s.link.send(hex("00 00 00 00 10"), 22);
  QTest::qWait(radio::RadioLink::kAnswerTimeoutMs + 200);
  EXPECT_EQ(s.state.link(), RadioState::Link::PortClosed);
  s.state.setPortOpen();
  EXPECT_EQ(s.state.link(), RadioState::Link::NotConnected);
  EXPECT_TRUE(s.state.reachable());
  s.answer(shortStatus("00 50 42 01", 0x01, 0x80));
  s.answer(shortStatus("00 50 42 01", 0x01, 0x80));  // the same state: no new signal
  EXPECT_EQ(s.state.link(), RadioState::Link::Connected);
  EXPECT_EQ(links.count(), 4);
  EXPECT_EQ(RadioState::linkText(RadioState::Link::NoAnswer), "No answer");
}
