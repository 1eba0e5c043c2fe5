// A bounded soak of the rigctld server: 8 clients connect, send every command
// in random grammar forms, pipeline, drop mid-line and reconnect, while the
// operator presses buttons and the radio now and then loses an echo. Nothing
// may crash (the test build runs under the address and undefined-behaviour
// sanitizers), and afterwards the server, the panel and a new client work.
// TESSALY_SOAK_SECONDS sets the length (default 60).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <array>
#include <vector>

#include "tests/app/radio/rigctld_fixture.h"

namespace {

// Every command the server knows, and some it does not, with arguments.
constexpr std::array<const char *, 44> kCommands{{
    "f", "F 7074000", "F 14074000.000000", "F 0", "F 99999999999", "F abc", "m", "M USB 0", "M CW 500", "M PKTUSB 3000",
    "M AM -1", "M WFM 0", "M", "v", "V VFOA", "V VFOB", "t", "T 0", "T 1", "s", "S 0 VFOA", "S 1 VFOB", "i", "I 7074000",
    "x", "X USB 2400", "\\get_vfo_info VFOA", "\\get_vfo_info", "\\get_rig_info", "\\get_lock_mode", "\\get_powerstat",
    "\\set_powerstat 1", "\\chk_vfo", "\\dump_state", "\\dump_caps", "1", "l RFPOWER", "L AF 0.5", "b CQ CQ TEST",
    "\\no_such", "###", "\\", "F VFOA 21074000", "\xff\x01\x02"}};
constexpr std::array<const char *, 5> kPrefixes{{"", "+", ";", "|", ","}};

class Soak {
public:
  Soak(quint16 port, quint32 seed) : port_(port), random_(seed) {}

  // One random line of one to five commands.
  QByteArray line() {
    QByteArray text;
    const int count = 1 + random_.bounded(5);
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += random_.bounded(4) == 0 ? "" : " ";
      text += kPrefixes[random_.bounded(static_cast<int>(kPrefixes.size()))];
      text += kCommands[random_.bounded(static_cast<int>(kCommands.size()))];
    }
    return text + (random_.bounded(8) == 0 ? "\r\n" : "\n");
  }

  // Does one random thing with client `socket`, connecting it first if need be.
  void step(std::unique_ptr<QTcpSocket> &socket) {
    if (!socket || socket->state() == QAbstractSocket::UnconnectedState) {
      socket = std::make_unique<QTcpSocket>();
      socket->connectToHost(QHostAddress::LocalHost, port_);
      ++connects;
      return;
    }
    if (socket->state() != QAbstractSocket::ConnectedState) return;
    answered += socket->readAll().size();
    switch (random_.bounded(20)) {
      case 0: {  // a burst of pipelined lines
        QByteArray burst;
        for (int i = random_.bounded(10, 200); i > 0; --i) burst += line();
        socket->write(burst);
        break;
      }
      case 1: {  // half a line, then gone
        const QByteArray l = line();
        socket->write(l.left(l.size() / 2));
        socket->flush();
        socket->abort();
        break;
      }
      case 2:
        socket->abort();
        break;
      case 3:
        socket->write(QByteArray(random_.bounded(100, 3000), 'F'));  // over-long, maybe ended later
        break;
      case 4:
        socket->write("q\n");
        break;
      default:
        socket->write(line());
        break;
    }
  }

  int connects = 0;
  qint64 answered = 0;

private:
  quint16 port_;
  QRandomGenerator random_;
};

}  // namespace

TEST_F(RigctldTest, SoakOfRandomClientsAgainstALinkThatLosesEchoes) {
  bool ok = false;
  const int seconds = qEnvironmentVariableIntValue("TESSALY_SOAK_SECONDS", &ok);
  const qint64 lengthMs = (ok && seconds > 0 ? seconds : 60) * 1000LL;
  startServer({"--lose-echo", "17"});
  const quint32 seed = QRandomGenerator::global()->generate();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  Soak soak(port, seed);
  QRandomGenerator operatorHand(seed ^ 0x5a5a5a5au);
  std::vector<std::unique_ptr<QTcpSocket>> clients(8);
  QElapsedTimer clock;
  clock.start();
  qint64 nextPress = 0;
  while (clock.elapsed() < lengthMs) {
    for (auto &client : clients) soak.step(client);
    if (clock.elapsed() >= nextPress) {
      p->ModeButton[operatorHand.bounded(4)]->click();
      nextPress = clock.elapsed() + operatorHand.bounded(200, 2000);
    }
    QTest::qWait(static_cast<int>(operatorHand.bounded(1, 20)));
  }
  clients.clear();
  RecordProperty("connects", soak.connects);
  EXPECT_GT(soak.connects, 8);
  EXPECT_GT(soak.answered, 0);

  // Afterwards: everyone is forgotten, a new client and the panel work.
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->rigctld()->clientCount() == 0; }, 10000));
  auto c = client();
  EXPECT_EQ(ask(*c, "v"), "VFOA\n");
  QByteArray freq;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        freq = ask(*c, "F 7074000");
        return freq == "RPRT 0\n";  // the link may lose this echo too
      },
      20000))
      << freq.toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ask(*c, "f") == "7074000\n"; }, 10000));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return pressAndWait(p->ModeButton[1]) && p->ModeL->text() == "USB"; }, 20000));
}
