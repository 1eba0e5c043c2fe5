// The window against tessaly-rig while the radio goes away: its terminal
// vanishing and coming back at the same path, and the transceiver going deaf
// and answering again, with a rigctld client asking meanwhile.
#include <dirent.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QLabel>
#include <QTcpSocket>

#include "app/polling.h"
#include "app/radio/linkwatch.h"
#include "app/radio/rigaccess.h"
#include "app/radio/rigctld_server.h"
#include "tests/app/radio/rig_fixture.h"

using Link = radio::RadioState::Link;

namespace {

int openDescriptors() {
  int n = 0;
  DIR *d = opendir("/proc/self/fd");
  while (dirent *e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n - 1;  // the directory's own
}

class ReconnectTest : public RigFixture {
protected:
  bool waitForLink(Link link, int ms) {
    return QTest::qWaitFor([&] { return window->radio()->state().link() == link; }, ms);
  }
  bool waitUntilReachable(int ms) {
    return QTest::qWaitFor([&] { return window->radio()->state().reachable(); }, ms);
  }
  bool terminalPublished() { return QFileInfo(linkPath).isSymLink(); }
  // A rigctld client's answer to `line`, and how long it took.
  QByteArray ask(const QByteArray &line, qint64 *ms) {
    QElapsedTimer took;
    took.start();
    client.write(line + "\n");
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
          got += client.readAll();
          return got.contains('\n');
        },
        5000);
    *ms = took.elapsed();
    return got.trimmed();
  }
  void startServer() {
    QString error;
    ASSERT_TRUE(window->startRigctld(QHostAddress::LocalHost, 0, &error));
    client.connectToHost(QHostAddress::LocalHost, window->rigctld()->port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QAbstractSocket::ConnectedState; }, 3000));
  }
  QTcpSocket client;
};

TEST_F(ReconnectTest, VanishedTerminalIsReopenedAndThePanelFillsWithoutAClick) {
  start({"--vanish-after", "3", "--back-after", "2.5"}, Path::Link);
  startServer();
  ASSERT_TRUE(pressAndWait(p->But_Power));
  ASSERT_EQ(digits(), "1425000");

  ASSERT_TRUE(waitForLink(Link::PortClosed, 5000));
  const QString said = "radio disconnected: " + linkPath + ", retrying";
  // The status line goes on with what to check.
  EXPECT_EQ(p->StatusLine->text(), said + "; check the cable, the port, 4800 baud 8N2, the radio on.");
  EXPECT_TRUE(window->windowTitle().contains(said)) << window->windowTitle().toStdString();
  for (QLineEdit *box : p->D1) box->clear();

  // Buttons say why they do nothing; clients get an error code at once.
  p->GenBut->click();
  EXPECT_EQ(p->StatusLine->text(), said + ": not sent");
  qint64 ms = 0;
  const QByteArray answer = ask("f", &ms);
  EXPECT_TRUE(answer == "RPRT -5" || answer == "RPRT -6") << answer.toStdString();
  EXPECT_LT(ms, 500);

  // The terminal comes back: the panel is filled again within 3 s of it.
  int shown = 0;
  QObject::connect(window->radio(), &RadioControl::replyShown, [&shown] { ++shown; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return terminalPublished(); }, 5000));
  QElapsedTimer back;
  back.start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown > 0; }, 3000));
  EXPECT_LE(back.elapsed(), 3000);
  EXPECT_EQ(digits(), "1425000");
  EXPECT_EQ(window->radio()->state().link(), Link::Connected);
  EXPECT_TRUE(p->StatusLine->text().isEmpty());
  EXPECT_FALSE(window->windowTitle().contains("retrying"));
  EXPECT_EQ(ask("f", &ms), "14250000");
}

TEST_F(ReconnectTest, DeafTransceiverIsNoticedByThePollAndServedAgain) {
  start({"--deaf-after", "2", "--deaf-for", "5"});
  window->polling()->setIntervalSeconds(1);
  window->polling()->setEnabled(true);
  startServer();
  ASSERT_TRUE(pressAndWait(p->But_Power));

  ASSERT_TRUE(waitForLink(Link::NoAnswer, 8000));
  EXPECT_TRUE(p->StatusLine->text().startsWith("radio not answering")) << p->StatusLine->text().toStdString();
  EXPECT_TRUE(window->windowTitle().contains("radio not answering"));
  qint64 ms = 0;
  EXPECT_EQ(ask("f", &ms), "RPRT -5");  // the link's time-out, no hang
  EXPECT_LT(ms, 2 * radio::RadioLink::kAnswerTimeoutMs);

  // The transceiver answers again 7 s after its start; a loaded machine may
  // take a few more seconds to poll it back.
  ASSERT_TRUE(waitUntilReachable(10000));
  EXPECT_FALSE(window->windowTitle().contains("not answering"));
  EXPECT_EQ(ask("f", &ms), "14250000");
}

// Ten times gone and back, reopened faster than the operator's 2 s: every
// return fills the panel, and no descriptor is left behind (the sanitizer
// build checks the memory when the test program ends).
TEST_F(ReconnectTest, TenCyclesLeaveNothingBehind) {
  start({"--vanish-after", "1.2", "--back-after", "0.4"}, Path::Link);
  window->linkWatch()->setIntervals(100, radio::LinkWatch::kProbeMs);
  ASSERT_TRUE(pressAndWait(p->But_Power));
  ASSERT_TRUE(waitForLink(Link::PortClosed, 3000));
  ASSERT_TRUE(waitUntilReachable(3000));
  int shown = 0;
  QObject::connect(window->radio(), &RadioControl::replyShown, [&shown] { ++shown; });
  const int descriptors = openDescriptors();
  for (int cycle = 0; cycle < 10; ++cycle) {
    SCOPED_TRACE(cycle);
    const int before = shown;
    ASSERT_TRUE(waitForLink(Link::PortClosed, 3000));
    ASSERT_TRUE(waitUntilReachable(3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown > before; }, 2000));
  }
  EXPECT_EQ(openDescriptors(), descriptors);
}

}  // namespace
