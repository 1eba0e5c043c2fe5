// The link watch over a fake serial line: a lost port reopened at its path
// with the connect command sent again, a silent transceiver noticed and
// probed, and commands refused with a reason while the port is closed; all
// of it in the radio state's link.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "app/radio/frames.h"
#include "app/radio/linkwatch.h"
#include "app/radio/radiolink.h"
#include "app/radio/radiostate.h"
#include "tests/app/fakes.h"

using radio::LinkWatch;
using Link = radio::RadioState::Link;

namespace {

constexpr int kRetryMs = 40, kProbeMs = 150;
// How long a command waits for its echo before the link gives up on it.
constexpr int kNoEchoMs = radio::RadioLink::kAnswerTimeoutMs + 100;

struct Watched {
  explicit Watched(bool open = true) : link(&port), state(&link), watch(&port, &link, &state, "/dev/ttyUSB0") {
    port.opened = open;
    watch.setIntervals(kRetryMs, kProbeMs);
    watch.start();
  }
  Link linkState() const { return state.link(); }
  // Sends a mode command and answers it as the transceiver does.
  void answeredCommand() {
    link.send(hex("00 00 00 17 0A"), radio::kShortStatusLength);
    port.feed(hex("00 00 00 17 0A"));
    port.feed(QByteArray(radio::kShortStatusLength, '\0'));
  }
  FakeLink port;
  radio::RadioLink link;
  radio::RadioState state;
  LinkWatch watch;
  QSignalSpy states{&state, &radio::RadioState::linkChanged};
  QSignalSpy reopened{&watch, &LinkWatch::reopened};
  QSignalSpy refused{&watch, &LinkWatch::refused};
};

}  // namespace

TEST(LinkWatch, LostPortIsRetriedAtItsPathAndTheConnectCommandGoesOutAgain) {
  Watched w;
  w.answeredCommand();
  w.port.written.clear();
  w.port.dtr = false;
  w.port.openable = false;
  w.port.lose();
  EXPECT_EQ(w.linkState(), Link::PortClosed);
  EXPECT_EQ(w.watch.text(), "radio disconnected: /dev/ttyUSB0, retrying");

  // Not back yet: every retry tries, none succeeds.
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.port.opens >= 3; }, 2000));
  EXPECT_EQ(w.linkState(), Link::PortClosed);
  EXPECT_TRUE(w.port.written.empty());

  // A button pressed meanwhile says why nothing happens.
  w.link.send(radio::connectFrame(), radio::kFullStatusLength);
  ASSERT_EQ(w.refused.count(), 1);
  EXPECT_EQ(w.refused[0][0].toString(), "radio disconnected: /dev/ttyUSB0, retrying: not sent");

  w.port.openable = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.reopened.count() == 1; }, 2000));
  EXPECT_EQ(w.linkState(), Link::NotConnected);
  EXPECT_TRUE(w.port.dtr);
  ASSERT_EQ(w.port.written.size(), 1u);
  EXPECT_EQ(w.port.written[0], radio::connectFrame());
  const int opens = w.port.opens;
  QTest::qWait(3 * kRetryMs);
  EXPECT_EQ(w.port.opens, opens);  // the retries stopped
}

TEST(LinkWatch, CommandInFlightFailsAtOnceWhenThePortIsLost) {
  Watched w;
  QSignalSpy failures(&w.link, &radio::RadioLink::failed);
  w.link.send(radio::connectFrame(), radio::kFullStatusLength);
  w.port.lose();
  ASSERT_EQ(failures.count(), 1);
  EXPECT_FALSE(w.link.inFlight());
  w.port.lose();  // nothing in flight: nothing more to say
  EXPECT_EQ(failures.count(), 1);
}

TEST(LinkWatch, PortNeverTalkedToIsReopenedQuietly) {
  Watched w(false);  // did not open at start
  EXPECT_EQ(w.linkState(), Link::PortClosed);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.reopened.count() == 1; }, 2000));
  w.port.lose();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.reopened.count() == 2; }, 2000));
  // Nothing goes to the transceiver until the operator connects, and no probe.
  QTest::qWait(2 * kProbeMs);
  EXPECT_TRUE(w.port.written.empty());
  EXPECT_EQ(w.linkState(), Link::NotConnected);
}

TEST(LinkWatch, SilentTransceiverIsNoticedAndProbedUntilItAnswers) {
  Watched w;
  w.answeredCommand();
  EXPECT_EQ(w.linkState(), Link::Connected);
  EXPECT_EQ(w.watch.text(), "");
  w.link.send(radio::connectFrame(), radio::kFullStatusLength);  // no echo comes
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.linkState() == Link::NoAnswer; }, 2 * kNoEchoMs));
  EXPECT_EQ(w.watch.text(), "radio not answering");
  EXPECT_TRUE(w.port.opened);  // the port stays

  // Silent, the probe asks sooner than after the quiet of a working link,
  // and again while nothing answers.
  w.port.written.clear();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.port.written.size() >= 2; }, 3 * kNoEchoMs));
  EXPECT_EQ(w.port.written[0], radio::connectFrame());
  EXPECT_EQ(w.linkState(), Link::NoAnswer);

  // Only a reply makes it reachable again; the probe goes back to the quiet.
  w.port.written.clear();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.port.written.empty(); }, 2 * kNoEchoMs));
  w.port.feed(radio::connectFrame());
  EXPECT_EQ(w.linkState(), Link::NoAnswer);  // an echo is no answer yet
  w.port.feed(QByteArray(radio::kFullStatusLength, '\0'));
  EXPECT_EQ(w.linkState(), Link::Connected);
  EXPECT_EQ(w.watch.text(), "");
  w.port.written.clear();
  QTest::qWait(kProbeMs / 2);
  EXPECT_TRUE(w.port.written.empty());
}

TEST(LinkWatch, FailureWhileThePortIsClosedLeavesItClosed) {
  Watched w;
  w.link.send(radio::connectFrame(), radio::kFullStatusLength);
  w.port.openable = false;
  w.port.lose();  // the command in flight fails as the port goes
  EXPECT_EQ(w.linkState(), Link::PortClosed);
  EXPECT_EQ(w.watch.text(), "radio disconnected: /dev/ttyUSB0, retrying");
}

TEST(LinkWatch, ProbeOnlyAfterQuietAndOnlyWhenWanted) {
  Watched w;
  bool polling = true;
  w.watch.setProbeWanted([&] { return !polling; });
  w.answeredCommand();
  w.port.written.clear();
  QTest::qWait(2 * kProbeMs);
  EXPECT_TRUE(w.port.written.empty());  // the status poll does the asking
  polling = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.port.written.empty(); }, 2000));
  EXPECT_EQ(w.port.written[0], radio::connectFrame());
}

TEST(LinkWatch, StoppedWatchNeitherRetriesNorProbes) {
  Watched w;
  w.answeredCommand();
  w.watch.stop();
  w.states.clear();
  w.port.lose();
  const int opens = w.port.opens;
  QTest::qWait(kProbeMs + 3 * kRetryMs);
  EXPECT_EQ(w.port.opens, opens);
  EXPECT_FALSE(w.port.opened);
  EXPECT_EQ(w.states.count(), 0);
}

// The window's side: the scans pause while the port is gone and go on after.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/radio/scanner.h"
#include "tests/app/panel_controls.h"

TEST(LinkWatchWindow, ScanPausesWhileThePortIsGoneAndGoesOnAfter) {
  auto owned = std::make_unique<FakeLink>();
  FakeLink *port = owned.get();
  MainWindow window(std::move(owned), std::make_unique<FakeMixer>(), "/dev/ttyUSB0");
  window.linkWatch()->setIntervals(kRetryMs, radio::LinkWatch::kProbeMs);
  PanelControls controls(&window);
  PanelControls *p = &controls;
  p->Scan_Delay->setText("1");
  p->Timer2->setInterval(100);  // its first tick, before the dwell sets it
  p->NewFrq->setText("07100.00");
  p->ButtonPlus1->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return port->written.size() >= 2; }, 2000));

  port->openable = false;
  port->lose();
  EXPECT_EQ(p->ScanState->text(), "Scan paused");
  EXPECT_TRUE(window.scanner()->rangeScanRunning());
  EXPECT_TRUE(window.windowTitle().contains("radio disconnected: /dev/ttyUSB0, retrying"));
  const QString entry = p->NewFrq->text();
  QTest::qWait(500);
  EXPECT_EQ(p->NewFrq->text(), entry);  // no step taken meanwhile

  port->openable = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return port->opened; }, 2000));
  EXPECT_EQ(p->ScanState->text(), "Scan running");
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->NewFrq->text() != entry; }, 2000));
}

TEST(LinkWatchWindow, PortMissingAtStartIsRetriedAndNamedInTheTitle) {
  auto owned = std::make_unique<FakeLink>();
  owned->openable = false;
  FakeLink *port = owned.get();
  MainWindow window(std::move(owned), std::make_unique<FakeMixer>(), "1");
  EXPECT_EQ(window.windowTitle(), "Tessaly - port 1 - radio disconnected: /dev/ttyS0, retrying");
  window.linkWatch()->setIntervals(kRetryMs, radio::LinkWatch::kProbeMs);
  port->openable = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return port->opened; }, 2000));
  EXPECT_TRUE(port->written.empty());  // plugged in: waiting for Connect
  EXPECT_EQ(window.windowTitle(), "Tessaly - port 1 - Not connected");
}
