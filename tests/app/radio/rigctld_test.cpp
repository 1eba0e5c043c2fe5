// The rigctld server with our own TCP clients against the window and
// tessaly-rig: golden exchanges and their wire bytes,
// clients that misbehave, a radio that does not answer, the port, the log.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QLabel>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include "app/radio/rigaccess.h"
#include "tests/app/radio/rigctld_fixture.h"

TEST_F(RigctldTest, GoldenExchangesAndTheirWireBytes) {
  startServer();
  auto c = client();
  EXPECT_EQ(p->NetClients->text(), "Network clients: 1");

  EXPECT_EQ(ask(*c, "f"), "14250000\n");  // nothing known yet: one status read
  EXPECT_EQ(rx(), (QStringList{"00 00 00 00 00", "00 00 00 00 0B"}));
  EXPECT_EQ(ask(*c, "m", 2), "USB\n2400\n");  // fresh: nothing sent
  EXPECT_EQ(rx().size(), 2);

  EXPECT_EQ(ask(*c, "F 7074000"), "RPRT 0\n");
  EXPECT_EQ(rx().mid(2), (QStringList{"00 74 70 00 08", "00 00 00 00 0B"}));
  EXPECT_EQ(ask(*c, "f"), "7074000\n");  // the frequency echo refreshed it
  EXPECT_EQ(p->NewFrq->text().isEmpty(), false);
  EXPECT_EQ(ask(*c, "\\set_freq VFOA 14074000"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "+\\get_freq", 3), "get_freq:\nFrequency: 14074000\nRPRT 0\n");

  EXPECT_EQ(ask(*c, "M PKTUSB 3000"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "M CW 500"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "m", 2), "CW\n500\n");
  EXPECT_EQ(p->ModeL->text(), "CW-N");  // the panel shows what clients read
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
  EXPECT_TRUE(QTest::qWaitFor([&] { return p->NetClients->text() == "Network clients: 0"; }, 3000));
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
  p->ModeButton[0]->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return p->ModeL->text() == "LSB"; }, 3000));
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
  p->ModeButton[1]->click();
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
  // On the wire every command is followed by its execute frame (once a
  // status read queued behind the last answers has been carried out).
  EXPECT_TRUE(QTest::qWaitFor([&] { return rx().size() % 2 == 0; }, 3000));
  const QStringList wire = rx();
  ASSERT_EQ(wire.size() % 2, 0) << wire.join(", ").toStdString();
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

TEST_F(RigctldTest, ReadsAnswerAtOnceAndRefreshTheStateBehindTheAnswer) {
  startServer({"--pace"});  // a status read takes about 340 ms at wire speed
  auto c = client();
  EXPECT_EQ(ask(*c, "f"), "14250000\n");  // nothing known yet: the one read that waits
  QTest::qWait(radio::RigctldServer::kDefaultStaleMs + 100);
  const int before = rx().size();
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(ask(*c, "f m"), "14250000\nUSB\n2400\n");
  EXPECT_LT(clock.elapsed(), 100);
  // The stale state is read again behind the answers, once.
  EXPECT_TRUE(QTest::qWaitFor([&] { return rx().size() == before + 2; }, 3000));
  EXPECT_EQ(rx().mid(before), (QStringList{"00 00 00 00 00", "00 00 00 00 0B"}));
  QTest::qWait(500);
  EXPECT_EQ(rx().size(), before + 2);
}

TEST_F(RigctldTest, ARadioThatDoesNotAnswerGivesTheTimeOutCodeAtOnce) {
  startServer({"--lose-echo", "1"});
  auto c = client();
  EXPECT_EQ(ask(*c, "f"), "RPRT -5\n");  // the first read waits for the radio's silence
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(ask(*c, "f +\\get_powerstat |m", 4), "RPRT -5\nget_powerstat:\nRPRT -5\nget_mode:|RPRT -5\n");
  EXPECT_LT(clock.elapsed(), 100);
  EXPECT_EQ(ask(*c, "v"), "VFOA\n");  // what needs no radio still answers
  EXPECT_EQ(ask(*c, "F 7074000"), "RPRT -5\n");  // a set still goes to the radio
}

TEST_F(RigctldTest, NoClientCanHarmTheProgramOrTheOthers) {
  startServer();
  auto good = client();
  EXPECT_EQ(ask(*good, "f"), "14250000\n");
  // 100k reads pipelined without reading a single answer.
  {
    DeafClient deaf(port);
    ASSERT_TRUE(deaf.connected());
    const QByteArray flood = QByteArray("f\n").repeated(100000);
    qsizetype sent = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !deaf.push(flood, &sent) || sent == flood.size(); }, 30000));
    QTest::qWait(200);
    EXPECT_EQ(ask(*good, "m"), "USB\n2400\n");
  }
  // Answers piling up unread: the client is cut off past 64 KiB, memory stays bounded.
  {
    DeafClient deaf(port);
    const QByteArray flood = QByteArray("\\dump_state\n").repeated(1000);
    qsizetype sent = 0, total = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          const qsizetype before = sent;
          const bool open = deaf.push(flood, &sent);
          total += sent - before;
          if (sent == flood.size()) sent = 0;
          return !open;
        },
        30000));
    EXPECT_LT(total, 100 * flood.size()) << "cut off only after " << total << " bytes";
    EXPECT_EQ(ask(*good, "v"), "VFOA\n");
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->rigctld()->clientCount() == 1; }, 3000));
  // Lines pipelined by a client that reads come back whole and in order.
  QByteArray many;
  for (int i = 0; i < 500; ++i) many += "f v\n";
  EXPECT_EQ(ask(*good, many, 1000), QByteArray("14250000\nVFOA\n").repeated(500));
}

TEST_F(RigctldTest, IdleClientsAreDroppedAndNewcomersBeyondTheLimitRefused) {
  radio::RigctldServer::Settings settings;
  settings.idleSeconds = 1;
  startServer({}, settings);
  std::vector<std::unique_ptr<QTcpSocket>> clients;
  for (int i = 0; i < radio::RigctldServer::kMaxClients; ++i) clients.push_back(client());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->rigctld()->clientCount() == radio::RigctldServer::kMaxClients; }, 3000));
  auto newcomer = client();
  EXPECT_EQ(readLines(*newcomer, 1), "RPRT -6 busy: 32 rigctld clients are connected, try again later\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return newcomer->state() == QAbstractSocket::UnconnectedState; }, 3000));
  // One keeps talking, the others fall silent and are dropped.
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 1600) EXPECT_EQ(ask(*clients[0], "v"), "VFOA\n") << clock.elapsed();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->rigctld()->clientCount() == 1; }, 3000));
  EXPECT_EQ(clients[0]->state(), QAbstractSocket::ConnectedState);
  EXPECT_EQ(clients[1]->state(), QAbstractSocket::UnconnectedState);
  EXPECT_EQ(p->NetClients->text(), "Network clients: 1");
}

TEST_F(RigctldTest, APortInUseIsShownAndTriedAgain) {
  start();
  QTcpServer blocker;
  ASSERT_TRUE(blocker.listen(QHostAddress::LocalHost, 0));
  const quint16 taken = blocker.serverPort();
  radio::RigctldServer::Settings settings;
  settings.retryMs = 200;
  QString error;
  EXPECT_FALSE(window->startRigctld(QHostAddress::LocalHost, taken, &error, settings));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(p->NetClients->text(), QString("rigctld port %1 in use").arg(taken));
  blocker.close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->rigctld()->isListening(); }, 3000));
  EXPECT_EQ(p->NetClients->text(), "Network clients: 0");
  port = taken;
  auto c = client();
  EXPECT_EQ(ask(*c, "v"), "VFOA\n");
}

TEST_F(RigctldTest, TheLogHoldsEveryLineAndAnswerAndMarksRefusals) {
  radio::RigctldServer::Settings settings;
  settings.logPath = dir.filePath("rigctld.log");
  startServer({}, settings);
  auto c = client();
  EXPECT_EQ(ask(*c, "f"), "14250000\n");
  EXPECT_EQ(ask(*c, "F 0"), "RPRT -1\n");
  EXPECT_EQ(ask(*c, "+\\get_freq", 3), "get_freq:\nFrequency: 14250000\nRPRT 0\n");
  EXPECT_EQ(ask(*c, "q"), "RPRT 0\n");
  QFile file(settings.logPath);
  ASSERT_TRUE(QTest::qWaitFor([&] { return file.open(QIODevice::ReadOnly) && file.readAll().contains(" closed\n"); }, 3000));
  file.seek(0);
  const QList<QByteArray> lines = file.readAll().split('\n');
  QStringList events;
  const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z client 1 (.*)$");
  for (const QByteArray &line : lines) {
    if (line.isEmpty()) continue;
    const QRegularExpressionMatch m = stamp.match(QString::fromLatin1(line));
    ASSERT_TRUE(m.hasMatch()) << line.toStdString();
    events << m.captured(1);
  }
  ASSERT_EQ(events.size(), 10);
  EXPECT_TRUE(events[0].startsWith("connected from 127.0.0.1:"));
  EXPECT_EQ(events.mid(1), (QStringList{"> f", "< 14250000\\n", "> F 0", "< RPRT -1\\n REFUSED", "> +\\\\get_freq",
                                        "< get_freq:\\nFrequency: 14250000\\nRPRT 0\\n", "> q", "< RPRT 0\\n",
                                        "closed"}));
  EXPECT_EQ(QFileInfo(settings.logPath).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
  // A log that is a symbolic link is never written through.
  radio::RigctldServer::Settings linked;
  linked.logPath = dir.filePath("link.log");
  ASSERT_TRUE(QFile::link(settings.logPath, linked.logPath));
  radio::RigctldLog log;
  QString error;
  EXPECT_FALSE(log.open(linked.logPath, &error));
  EXPECT_FALSE(error.isEmpty());
  radio::RigAccess access(&window->radio()->link(), &window->radio()->state());
  radio::RigctldServer server(&access, linked);
  EXPECT_FALSE(server.listen(QHostAddress::LocalHost, 0, &error));
  EXPECT_TRUE(server.status().startsWith("rigctld off: no log ")) << server.status().toStdString();
  EXPECT_FALSE(server.isListening());
}

TEST_F(RigctldTest, ClientsThatComeAndGoLeaveNoWorkOnTheLink) {
  startServer({"--pace"});  // a set takes about 90 ms at wire speed
  for (int i = 0; i < 50; ++i) {
    auto c = client();
    c->write("F " + QByteArray::number(7000000 + 1000 * i) + "\n");
    c->flush();
    QTest::qWait(5);
    c->abort();
  }
  // Only the sets already on the wire went out; the rest were forgotten.
  QTest::qWait(1500);
  const int sent = rx().size();
  EXPECT_LT(sent, 20) << rx().join(", ").toStdString();
  auto c = client();
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(ask(*c, "F 14074000"), "RPRT 0\n");
  EXPECT_LT(clock.elapsed(), 500);
}

TEST_F(RigctldTest, APanelCommandCuttingIntoAStatusReadIsNoSilentRadio) {
  startServer({"--pace"});
  auto c = client();
  EXPECT_EQ(ask(*c, "f"), "14250000\n");
  QTest::qWait(radio::RigctldServer::kDefaultStaleMs + 100);
  EXPECT_EQ(ask(*c, "f"), "14250000\n");  // queues a status read
  QTest::qWait(60);                        // its reply is on the wire now
  p->ModeButton[0]->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->ModeL->text() == "LSB"; }, 5000));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(ask(*c, "m", 2), "LSB\n2400\n");
    QTest::qWait(50);
  }
}

TEST_F(RigctldTest, TheWindowsFrequencyRangeBoundsWhatClientsTune) {
  start();
  window->setFrequencyRange(radio::FrequencyRange{1800000, 2000000});
  QString error;
  ASSERT_TRUE(window->startRigctld(QHostAddress::LocalHost, 0, &error));
  port = window->rigctld()->port();
  auto c = client();
  EXPECT_EQ(ask(*c, "F 7074000"), "RPRT -1\n");
  EXPECT_TRUE(rx().isEmpty());
  EXPECT_EQ(ask(*c, "F 1850000"), "RPRT 0\n");
  EXPECT_EQ(ask(*c, "f"), "1850000\n");
  EXPECT_TRUE(ask(*c, "\\dump_state", 28).contains("\n1800000.000000 2000000.000000 "));
}
