// Keying the transmitter by RTS over a fake serial line (a pseudo-terminal
// has no control lines): who may unkey, the time-out, and every way the
// transmitter is unkeyed without its holder (client gone, port lost, signal,
// window closed).
#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "app/mainwindow.h"
#include "app/options.h"
#include "app/radio/ptt.h"
#include "app/stopsignals.h"
#include "app/txbutton.h"
#include "tests/app/fakes.h"
#include "tests/app/panel_controls.h"

using radio::Ptt;
using Result = radio::Ptt::Result;

namespace {

constexpr Ptt::Holder kAlice = 1, kBob = 2;

struct Keying {
  Keying() : ptt(&port) {
    port.opened = true;
    ptt.setLine(Ptt::Line::Rts);
  }
  FakeLink port;
  Ptt ptt;
  QSignalSpy notices{&ptt, &Ptt::notice};
};

}  // namespace

TEST(Ptt, OnlyTheHolderUnkeysButThePanelAlwaysCan) {
  Keying k;
  EXPECT_EQ(k.ptt.key(kAlice), Result::Ok);
  EXPECT_TRUE(k.port.rts);
  EXPECT_EQ(k.ptt.key(kBob), Result::Busy);
  EXPECT_EQ(k.ptt.unkey(kBob), Result::Busy);
  EXPECT_TRUE(k.port.rts);
  EXPECT_EQ(k.ptt.key(kAlice), Result::Ok);  // the holder again
  EXPECT_EQ(k.ptt.holder(), kAlice);
  EXPECT_EQ(k.ptt.unkey(kAlice), Result::Ok);
  EXPECT_FALSE(k.port.rts);
  EXPECT_FALSE(k.ptt.keyed());
  EXPECT_EQ(k.ptt.unkey(kBob), Result::Ok);  // nothing to unkey
  EXPECT_EQ(k.notices.count(), 0);

  EXPECT_EQ(k.ptt.key(kBob), Result::Ok);
  EXPECT_EQ(k.ptt.key(Ptt::kPanel), Result::Busy);
  EXPECT_EQ(k.ptt.unkey(Ptt::kPanel), Result::Ok);
  EXPECT_FALSE(k.port.rts);
  ASSERT_EQ(k.notices.count(), 1);
  EXPECT_EQ(k.notices[0][0].toString(), "unkeyed from the panel");
}

TEST(Ptt, NoLineOrNoPortKeysNothing) {
  Keying k;
  k.ptt.setLine(Ptt::Line::None);
  EXPECT_EQ(k.ptt.key(kAlice), Result::NoLine);
  k.ptt.lineOpened();
  k.ptt.setLine(Ptt::Line::Rts);
  k.port.opened = false;
  EXPECT_EQ(k.ptt.key(kAlice), Result::NotOpen);
  EXPECT_TRUE(k.port.rtsCalls.empty());  // the line was never touched
  EXPECT_FALSE(k.ptt.keyed());
}

TEST(Ptt, OpeningThePortPutsRtsBackToUnkeyed) {
  Keying k;
  k.port.rts = true;  // as opening a real port raises it
  k.ptt.lineOpened();
  EXPECT_FALSE(k.port.rts);
}

TEST(Ptt, TimeOutUnkeysAndKeyingAgainDoesNotExtendIt) {
  Keying k;
  k.ptt.setTimeoutMs(200);
  ASSERT_EQ(k.ptt.key(kAlice), Result::Ok);
  QTest::qWait(120);
  ASSERT_EQ(k.ptt.key(kAlice), Result::Ok);
  EXPECT_TRUE(k.port.rts);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !k.ptt.keyed(); }, 1000));
  EXPECT_FALSE(k.port.rts);
  ASSERT_EQ(k.notices.count(), 1);
  EXPECT_TRUE(k.notices[0][0].toString().startsWith("transmit time-out")) << k.notices[0][0].toString().toStdString();
  // Unkeyed by hand, the time-out does not fire later.
  ASSERT_EQ(k.ptt.key(kBob), Result::Ok);
  ASSERT_EQ(k.ptt.unkey(kBob), Result::Ok);
  ASSERT_EQ(k.ptt.key(kAlice), Result::Ok);
  QTest::qWait(120);
  EXPECT_TRUE(k.ptt.keyed());
}

TEST(Ptt, ClientLossAndPortLossUnkeyAtOnce) {
  Keying k;
  ASSERT_EQ(k.ptt.key(kAlice), Result::Ok);
  k.ptt.release(kBob);  // not the holder
  EXPECT_TRUE(k.ptt.keyed());
  k.ptt.release(kAlice);
  EXPECT_FALSE(k.ptt.keyed());
  EXPECT_FALSE(k.port.rts);
  ASSERT_EQ(k.notices.count(), 1);

  ASSERT_EQ(k.ptt.key(kBob), Result::Ok);
  k.port.lose();
  EXPECT_FALSE(k.ptt.keyed());
  EXPECT_EQ(k.port.rtsCalls.back(), false);
  EXPECT_EQ(k.notices.count(), 2);
  EXPECT_EQ(k.ptt.key(kBob), Result::NotOpen);
}

TEST(Ptt, GoingAwayUnkeys) {
  FakeLink port;
  port.opened = true;
  {
    Ptt ptt(&port);
    ptt.setLine(Ptt::Line::Rts);
    ASSERT_EQ(ptt.key(kAlice), Result::Ok);
  }
  EXPECT_FALSE(port.rts);
}

TEST(Ptt, SigtermReachesTheEventLoopAndUnkeys) {
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  Keying k;
  {
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::received, &k.ptt,
                     [&k](int signal) { k.ptt.forceUnkey(QStringLiteral("signal %1").arg(signal)); });
    ASSERT_EQ(k.ptt.key(kAlice), Result::Ok);
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(k.ptt.keyed());  // the handler only wrote a byte
    ASSERT_TRUE(QTest::qWaitFor([&] { return !k.ptt.keyed(); }, 2000));
    EXPECT_FALSE(k.port.rts);
    EXPECT_EQ(k.notices[0][0].toString(), QStringLiteral("signal %1").arg(SIGTERM));
  }
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);  // put back
}

TEST(Ptt, LineOptionRefusesDtrWithAReason) {
  QString why;
  EXPECT_EQ(Ptt::parseLine("none", &why), Ptt::Line::None);
  EXPECT_EQ(Ptt::parseLine("rts", &why), Ptt::Line::Rts);
  EXPECT_FALSE(Ptt::parseLine("dtr", &why));
  EXPECT_TRUE(why.contains("holds DTR on")) << why.toStdString();
  EXPECT_FALSE(Ptt::parseLine("RTS ", &why));

  auto parse = [](QStringList args) { return parseOptions(QStringList{"tessaly"} + args); };
  EXPECT_EQ(parse({}).options->ptt, Ptt::Line::None);
  EXPECT_EQ(parse({}).options->txTimeoutSeconds, 180);
  const ParsedOptions keyed = parse({"--ptt", "rts", "--tx-timeout", "30"});
  ASSERT_TRUE(keyed.options);
  EXPECT_EQ(keyed.options->ptt, Ptt::Line::Rts);
  EXPECT_EQ(keyed.options->txTimeoutSeconds, 30);
  for (const QStringList &bad : {QStringList{"--ptt", "dtr"}, QStringList{"--tx-timeout", "0"},
                                 QStringList{"--tx-timeout", "3601"}, QStringList{"--tx-timeout", "x"}}) {
    const ParsedOptions refused = parse(bad);
    EXPECT_FALSE(refused.options) << bad.join(' ').toStdString();
    EXPECT_EQ(refused.exitCode, 2);
  }
}

TEST(TxButton, KeysUnkeysWhoeverKeyedAndShowsRedWhileKeyed) {
  auto owned = std::make_unique<FakeLink>();
  FakeLink *port = owned.get();
  auto window = std::make_unique<MainWindow>(std::move(owned), std::make_unique<FakeMixer>(), "1");
  TxButton *tx = window->txButton();
  EXPECT_FALSE(tx->isEnabled());  // no keying line by default
  window->keyBy(Ptt::Line::Rts, 60000);
  ASSERT_TRUE(tx->isEnabled());

  tx->click();
  EXPECT_TRUE(port->rts);
  EXPECT_EQ(window->ptt()->holder(), Ptt::kPanel);
  EXPECT_TRUE(tx->styleSheet().contains("background-color"));
  tx->click();
  EXPECT_FALSE(port->rts);
  EXPECT_TRUE(tx->styleSheet().isEmpty());

  // A client's keying shows too, and the button takes it off the air.
  ASSERT_EQ(window->ptt()->key(kAlice), Result::Ok);
  EXPECT_TRUE(tx->styleSheet().contains("background-color"));
  tx->click();
  EXPECT_FALSE(port->rts);
  EXPECT_EQ(PanelControls(window.get()).StatusLine->text(), "unkeyed from the panel");

  // With the port gone, a press says why it keyed nothing.
  port->lose();
  tx->click();
  EXPECT_EQ(PanelControls(window.get()).StatusLine->text(), "TX: the serial port is not open");
  EXPECT_FALSE(window->ptt()->keyed());

  // Closing the window unkeys before the port closes.
  port->opened = true;
  tx->click();
  ASSERT_TRUE(port->rts);
  window->close();
  EXPECT_FALSE(port->rts);
  EXPECT_FALSE(port->opened);
}

// Keying by rigctld clients: "T" and "t" per client over TCP.
#include <QHostAddress>
#include <QTcpSocket>

#include "app/radio/rigctld_server.h"

namespace {

class NetKeying : public testing::Test {
protected:
  NetKeying() {
    auto owned = std::make_unique<FakeLink>();
    port = owned.get();
    window = std::make_unique<MainWindow>(std::move(owned), std::make_unique<FakeMixer>(), "1");
    QString error;
    EXPECT_TRUE(window->startRigctld(QHostAddress::LocalHost, 0, &error));
  }
  std::unique_ptr<QTcpSocket> client() {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, window->rigctld()->port());
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 3000));
    return socket;
  }
  static QByteArray ask(QTcpSocket &socket, const QByteArray &line, int lines = 1) {
    socket.write(line + "\n");
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
          got += socket.readAll();
          return got.count('\n') >= lines;
        },
        3000);
    return got.trimmed();
  }
  FakeLink *port;
  std::unique_ptr<MainWindow> window;
};

}  // namespace

TEST_F(NetKeying, EachClientKeysForItselfAndLosingItUnkeys) {
  auto alice = client(), bob = client();
  EXPECT_EQ(ask(*alice, "T 1"), "RPRT -11");  // no keying line
  EXPECT_EQ(ask(*alice, "T 0"), "RPRT 0");
  window->keyBy(Ptt::Line::Rts, 60000);

  EXPECT_EQ(ask(*alice, "T 1"), "RPRT 0");
  EXPECT_TRUE(port->rts);
  EXPECT_EQ(ask(*bob, "t"), "1");
  EXPECT_EQ(ask(*bob, "T 0"), "RPRT -9");
  EXPECT_EQ(ask(*bob, "T 1"), "RPRT -9");
  EXPECT_EQ(ask(*bob, "T 7"), "RPRT -1");
  EXPECT_TRUE(port->rts);
  EXPECT_EQ(ask(*alice, "T 0"), "RPRT 0");
  EXPECT_FALSE(port->rts);
  EXPECT_EQ(ask(*bob, "+t", 3), "get_ptt:\nPTT: 0\nRPRT 0");

  EXPECT_EQ(ask(*bob, "T VFOA 1"), "RPRT 0");
  bob->disconnectFromHost();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !port->rts; }, 2000));
  EXPECT_EQ(PanelControls(window.get()).StatusLine->text(), "the program that keyed went away: unkeyed");

  EXPECT_EQ(ask(*alice, "T 1"), "RPRT 0");
  port->lose();
  EXPECT_EQ(ask(*alice, "t"), "0");
  EXPECT_EQ(ask(*alice, "T 1"), "RPRT -6");
}

// The program itself: SIGTERM ends it through the event loop (unkeying and
// closing the port as the Close button does), not by the default death.
#include <QProcess>
#include <QTemporaryDir>

TEST(Program, SigtermEndsItInOrder) {
  QTemporaryDir dir;
  QProcess program;
  program.setWorkingDirectory(dir.path());
  program.start(TESSALY_BIN, {"/nonexistent/tty", "--ptt", "rts", "--rigctld-port", "0", "-platform", "offscreen"});
  ASSERT_TRUE(program.waitForStarted(5000));
  QTest::qWait(3000);  // up and waiting (or showing the start-up message)
  ASSERT_EQ(program.state(), QProcess::Running);
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
}
