// The echo-then-execute handshake over a fake serial line.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "app/radio/frames.h"
#include "app/radio/radiolink.h"
#include "tests/app/fakes.h"

using radio::RadioLink;

namespace {

struct Rig {
  Rig() : link(&port) { port.opened = true; }
  FakeLink port;
  RadioLink link;
  QSignalSpy replies{&link, &RadioLink::replyReceived};
  QSignalSpy failures{&link, &RadioLink::failed};
  QSignalSpy ended{&link, &RadioLink::eventEnded};
};

const QByteArray kFm = hex("00 00 00 17 0A");

}  // namespace

TEST(Handshake, EchoThenExecuteThenReply) {
  Rig r;
  r.link.send(kFm, 22);
  ASSERT_EQ(r.port.written.size(), 1u);
  EXPECT_EQ(r.port.written[0], kFm);
  EXPECT_EQ(r.port.threshold, 5);
  EXPECT_EQ(r.link.expectedReplyLength(), 22);
  r.port.feed(kFm);
  ASSERT_EQ(r.port.written.size(), 2u);
  EXPECT_EQ(r.port.written[1], radio::executeFrame());
  EXPECT_TRUE(r.link.lastCommand().isEmpty());
  EXPECT_EQ(r.port.threshold, 22);
  EXPECT_EQ(r.replies.count(), 0);  // an echo shows nothing
  QByteArray status(22, '\0');
  status[16] = 0x07;
  r.port.feed(status);
  ASSERT_EQ(r.replies.count(), 1);
  EXPECT_EQ(r.replies[0][0].value<radio::Reply>().mode, "FM");
  EXPECT_FALSE(r.link.inFlight());
  EXPECT_EQ(r.ended.count(), 2);
}

TEST(Handshake, WrongEchoIsResentAtMostThreeTimes) {
  Rig r;
  r.link.send(kFm, 22);
  const QByteArray wrong = hex("00 00 00 16 0A");
  for (int i = 1; i <= RadioLink::kMaxResends; ++i) {
    r.port.feed(wrong);
    QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(r.port.written.size()), i + 1, 500);
    EXPECT_EQ(r.port.written.back(), kFm);
    EXPECT_EQ(r.link.lastCommand(), kFm);
  }
  r.port.feed(wrong);
  ASSERT_EQ(r.failures.count(), 1);
  EXPECT_TRUE(r.link.lastCommand().isEmpty());
  QTest::qWait(60);
  EXPECT_EQ(r.port.written.size(), 4u);
  EXPECT_EQ(r.replies.count(), 0);
}

TEST(Handshake, StrayBytesBeforeEchoAreDroppedBeforeResending) {
  Rig r;
  r.link.send(kFm, 22);
  r.port.feed(hex("FF 55 AA 00 00"));      // threshold reached mid-echo
  r.port.waiting += hex("00 17 0A");        // the rest of the echo trickles in
  QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(r.port.written.size()), 2, 500);
  EXPECT_TRUE(r.port.waiting.isEmpty());
  r.port.feed(kFm);
  EXPECT_EQ(r.port.written.back(), radio::executeFrame());
}

TEST(Handshake, LostEchoTimesOutAndNextCommandWorks) {
  Rig r;
  QElapsedTimer clock;
  clock.start();
  r.link.send(kFm, 22);
  QTRY_COMPARE_WITH_TIMEOUT(r.failures.count(), 1, 3000);
  EXPECT_GE(clock.elapsed(), RadioLink::kAnswerTimeoutMs);
  EXPECT_TRUE(r.link.lastCommand().isEmpty());
  EXPECT_FALSE(r.link.inFlight());
  const QByteArray connect = radio::connectFrame();
  r.link.send(connect, 148);
  r.port.feed(connect);
  EXPECT_EQ(r.port.written.back(), radio::executeFrame());
}

TEST(Handshake, ShortReplyIsShownAsHexWhenTheTimeOutEnds) {
  Rig r;
  r.link.send(kFm, 22);
  r.port.feed(kFm);
  r.port.feed(QByteArray(11, '\x01'));  // half a short status: below the threshold
  EXPECT_EQ(r.replies.count(), 0);
  QTRY_COMPARE_WITH_TIMEOUT(r.failures.count(), 1, 3000);
  ASSERT_EQ(r.replies.count(), 1);
  const auto reply = r.replies[0][0].value<radio::Reply>();
  EXPECT_FALSE(reply.decoded);
  EXPECT_EQ(reply.text4, QString("01").repeated(11));
}

TEST(Handshake, NewCommandReplacesTheOneInFlight) {
  Rig r;
  r.link.send(kFm, 22);
  r.link.send(radio::connectFrame(), 148);
  r.port.feed(kFm);  // the first command's echo no longer matches
  EXPECT_EQ(r.link.lastCommand(), radio::connectFrame());
  EXPECT_EQ(r.link.expectedReplyLength(), 148);
}

TEST(Handshake, ClosedPortSendsNothingAndWaitsForNothing) {
  Rig r;
  r.port.opened = false;
  r.link.send(kFm, 22);
  EXPECT_TRUE(r.port.written.empty());
  EXPECT_FALSE(r.link.inFlight());
}

TEST(Pause, NextEventEndsLateAndLaterEventsWait) {
  Rig r;
  r.link.pauseNextEvent(150);
  r.link.send(kFm, 22);
  QElapsedTimer clock;
  clock.start();
  emit r.port.commEvent(radio::SerialLink::kSent);  // spends the pause
  EXPECT_EQ(r.ended.count(), 0);
  r.port.feed(kFm);                                  // held until the pause is over
  EXPECT_EQ(r.port.written.size(), 1u);
  QTRY_COMPARE_WITH_TIMEOUT(r.ended.count(), 2, 1000);
  EXPECT_GE(clock.elapsed(), 140);
  EXPECT_EQ(r.link.pendingPause(), 0);
  EXPECT_EQ(r.port.written.back(), radio::executeFrame());
}

TEST(Timing, WireTime) {
  EXPECT_EQ(RadioLink::wireTimeMs(5), 12);    // 11.46 ms
  EXPECT_EQ(RadioLink::wireTimeMs(148), 340); // 339.2 ms
}

TEST(Handshake, AGarbledEchoIsResentOnlyOnceTheLineIsQuiet) {
  Rig r;
  r.link.send(kFm, 22);
  // The rest of an earlier 148-byte reply keeps coming in 5-byte pieces.
  for (int i = 0; i < 10; ++i) {
    r.port.feed(hex("12 34 56 78 9A"));
    QTest::qWait(12);
    EXPECT_EQ(r.port.written.size(), 1u) << i;
  }
  QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(r.port.written.size()), 2, 500);
  EXPECT_EQ(r.port.written.back(), kFm);
  r.port.feed(kFm);
  EXPECT_EQ(r.port.written.back(), radio::executeFrame());
  EXPECT_EQ(r.failures.count(), 0);
}
