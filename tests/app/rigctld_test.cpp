// The rigctld server: its protocol logic alone, then real TCP clients (our own
// and the rigctl program) against the window and tessaly-rig.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>

#include "app/radio/rigctld_server.h"
#include "tests/app/rig_fixture.h"

namespace {

class RigctldTest : public RigFixture {
protected:
  void startServer(const QStringList &rigOptions = {}) {
    start(rigOptions);
    QString error;
    ASSERT_TRUE(window->startRigctld(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
    port = window->rigctld()->port();
  }
  std::unique_ptr<QTcpSocket> client() {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 3000));
    return socket;
  }
  // Sends `line` and waits for an answer of `lines` lines.
  QByteArray ask(QTcpSocket &socket, const QByteArray &line, int lines = 1) {
    socket.write(line + "\n");
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
          got += socket.readAll();
          return got.count('\n') >= lines;
        },
        5000);
    return got;
  }
  QStringList rx() { return logged("rx"); }

  quint16 port = 0;
};

}  // namespace

TEST_F(RigctldTest, GoldenExchangesAndTheirWireBytes) {
  startServer();
  auto c = client();
  EXPECT_EQ(window->panel()->NetClients->text(), "Network clients: 1");

  EXPECT_EQ(ask(*c, "f"), "14250000\n");  // nothing known yet: one status read
  EXPECT_EQ(rx(), (QStringList{"00 00 00 00 00", "00 00 00 00 0B"}));
  EXPECT_EQ(ask(*c, "m", 2), "USB\n2400\n");  // fresh: nothing sent
  EXPECT_EQ(rx().size(), 2);

  EXPECT_EQ(ask(*c, "F 7074000"), "RPRT 0\n");
  EXPECT_EQ(rx().mid(2), (QStringList{"00 74 70 00 08", "00 00 00 00 0B"}));
  EXPECT_EQ(ask(*c, "f"), "7074000\n");  // the frequency echo refreshed it
  EXPECT_EQ(window->panel()->NewFrq->text().isEmpty(), false);
  EXPECT_EQ(ask(*c, "\\set_freq VFOA 14074000"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "+\\get_freq", 3), "get_freq:\nFrequency: 14074000\nRPRT 0\n");

  EXPECT_EQ(ask(*c, "M PKTUSB 3000"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "M CW 500"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "m", 2), "CW\n500\n");
  EXPECT_EQ(window->panel()->ModeL->text(), "CW-N");  // the panel shows what clients read
  EXPECT_EQ(ask(*c, "M AM 0"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "M RTTY 0"), "RPRT 0\n");
  EXPECT_EQ(rx().mid(6), (QStringList{"00 00 00 11 0A", "00 00 00 00 0B", "00 00 00 13 0A", "00 00 00 00 0B",
                                      "00 00 00 14 0A", "00 00 00 00 0B", "00 00 00 16 0A", "00 00 00 00 0B"}));

  const int sent = rx().size();
  EXPECT_EQ(ask(*c, "v"), "VFOA\n");
  EXPECT_EQ(ask(*c, "V VFOA"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "V VFOB"), "RPRT -11\n");
  EXPECT_EQ(ask(*c, "t"), "0\n");
  EXPECT_EQ(ask(*c, "T 0"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "T 1"), "RPRT -11\n");
  EXPECT_EQ(ask(*c, "s", 2), "0\nVFOA\n");
  EXPECT_EQ(ask(*c, "\\chk_vfo"), "0\n");
  EXPECT_TRUE(ask(*c, "\\dump_state", 30).startsWith("1\n2\n2\n100000.000000 30000000.000000 0xcbf"));  // after chk_vfo
  // Refused settings send nothing.
  EXPECT_EQ(ask(*c, "F 35000000"), "RPRT -1\n");
  EXPECT_EQ(ask(*c, "F 0"), "RPRT -1\n");
  EXPECT_EQ(ask(*c, "F"), "RPRT -1\n");
  EXPECT_EQ(ask(*c, "M WFM 0"), "RPRT -1\n");
  EXPECT_EQ(ask(*c, "M USB wide"), "RPRT -1\n");
  EXPECT_EQ(rx().size(), sent);

  EXPECT_EQ(ask(*c, "q"), "RPRT 0\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return c->state() == QAbstractSocket::UnconnectedState; }, 3000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->panel()->NetClients->text() == "Network clients: 0"; }, 3000));
}

TEST_F(RigctldTest, BadInputNeverBlocksThePanelOrOtherClients) {
  startServer();
  auto a = client(), b = client();
  EXPECT_EQ(ask(*a, "###garbage"), "RPRT -1\n");
  EXPECT_EQ(ask(*a, "\\no_such_command"), "RPRT -11\n");
  // A line of 2 KiB, sent in pieces: one error, then the client goes on.
  a->write(QByteArray(1500, 'F'));
  a->flush();
  QTest::qWait(50);
  EXPECT_EQ(ask(*a, QByteArray(600, 'x')), "RPRT -1\n");
  EXPECT_EQ(ask(*a, "v"), "VFOA\n");
  // A partial line and a client gone mid-command hold nothing up.
  b->write("F 70");
  b->flush();
  auto gone = client();
  gone->write("F 7100000\n");
  gone->flush();
  gone->abort();
  QTest::qWait(100);
  auto c = client();
  EXPECT_EQ(ask(*c, "F 14200000"), "RPRT 0\n");
  EXPECT_EQ(ask(*b, "00000"), "RPRT 0\n");  // "F 7000000" completed
  EXPECT_EQ(ask(*c, "f"), "7000000\n");
  // The panel still works.
  window->panel()->ModeButton[0]->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->panel()->ModeL->text() == "LSB"; }, 3000));
}

TEST_F(RigctldTest, ConcurrentClientsNeverInterleaveOnTheWire) {
  startServer();
  constexpr int kClients = 4, kRounds = 5;
  std::vector<std::unique_ptr<QTcpSocket>> clients;
  for (int i = 0; i < kClients; ++i) clients.push_back(client());
  std::vector<QByteArray> answers(kClients);
  for (int round = 0; round < kRounds; ++round)
    for (int i = 0; i < kClients; ++i) {
      const long hz = 7000000 + 10000 * (i * kRounds + round);
      clients[i]->write("F " + QByteArray::number(static_cast<qlonglong>(hz)) + "\nm\n");
    }
  // Meanwhile the operator presses a mode button.
  window->panel()->ModeButton[1]->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (int i = 0; i < kClients; ++i) answers[i] += clients[i]->readAll();
        for (const QByteArray &a : answers)
          if (a.count('\n') < 3 * kRounds) return false;
        return true;
      },
      20000));
  for (int i = 0; i < kClients; ++i)
    EXPECT_EQ(answers[i].count("RPRT 0\n"), kRounds) << answers[i].toStdString();
  // On the wire every command is followed by its execute frame.
  const QStringList wire = rx();
  ASSERT_EQ(wire.size() % 2, 0);
  for (int i = 0; i < wire.size(); i += 2) {
    EXPECT_NE(wire[i], "00 00 00 00 0B") << i;
    EXPECT_EQ(wire[i + 1], "00 00 00 00 0B") << i;
  }
  for (int n = 0; n < kClients * kRounds; ++n) {
    const long tenHz = 700000 + 1000 * n;
    const QString digits = QString("%1").arg(tenHz, 7, 10, QLatin1Char('0'));
    const QString frame = QString("%1 %2 %3 0%4 08").arg(digits.mid(5, 2), digits.mid(3, 2), digits.mid(1, 2), digits.left(1));
    EXPECT_EQ(wire.count(frame), 1) << frame.toStdString();
  }
}

TEST_F(RigctldTest, TheRigctlProgramDrivesTheTransceiver) {
  const QString rigctl = QStandardPaths::findExecutable("rigctl");
  if (rigctl.isEmpty()) GTEST_SKIP() << "rigctl (package libhamlib-utils) is not installed";
  startServer();
  QProcess peer;
  peer.start(rigctl, {"-m", "2", "-r", QString("127.0.0.1:%1").arg(port), "F", "10136000", "f", "M", "PKTUSB",
                      "2400", "m", "v", "t", "s"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return peer.state() == QProcess::NotRunning; }, 20000));
  const QString out = QString::fromLatin1(peer.readAllStandardOutput());
  const QString err = QString::fromLatin1(peer.readAllStandardError());
  EXPECT_EQ(peer.exitCode(), 0) << err.toStdString();
  // rigctl answers "m" from its own cache of what it just set.
  EXPECT_EQ(out, "10136000\nPKTUSB\n2400\nVFOA\n0\n0\nVFOA\n") << err.toStdString();
  EXPECT_TRUE(rx().contains("00 36 01 01 08")) << rx().join(", ").toStdString();
  EXPECT_TRUE(rx().contains("00 00 00 11 0A")) << rx().join(", ").toStdString();
}
