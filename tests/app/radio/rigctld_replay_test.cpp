// What real rigctld clients send, replayed byte for byte against the window
// and tessaly-rig: each session is the client's lines in order with the exact
// answers it must get. Then the Debian peers run live, and the lines they send
// must be the recorded ones.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <vector>

#include "tests/app/radio/rigctld_fixture.h"

namespace {

struct Exchange {
  const char *send;
  const char *answer;
};
using Session = std::vector<Exchange>;

// \dump_state after \chk_vfo, for the default range.
constexpr char kDumpStateV1[] =
    "1\n2\n2\n"
    "100000.000000 30000000.000000 0xcbf -1 -1 0x1 0x1\n0 0 0 0 0 0 0\n"
    "100000.000000 30000000.000000 0xcbf -1 -1 0x1 0x1\n0 0 0 0 0 0 0\n"
    "0xcbf 10\n0 0\n"
    "0xc1c 2400\n0x82 2400\n0x82 500\n0x1 6000\n0x1 2400\n0x20 12000\n0 0\n"
    "0\n0\n0\n0\n\n\n0x0\n0x0\n0x0\n0x0\n0x0\n0x0\n"
    "vfo_ops=0x0\nptt_type=0x0\ntargetable_vfo=0x0\nhas_set_vfo=0\nhas_get_vfo=1\nhas_set_freq=1\nhas_get_freq=1\n"
    "has_set_conf=0\nhas_get_conf=0\nhas_power2mW=0\nhas_mW2power=0\ntimeout=3000\nrig_model=2\ndone\n";

// How the protocol's own library (Hamlib 4.5: rigctl -m 2, the Python
// bindings and every program built on them) opens the network rig;
// tessaly-rig starts on 14.250 MHz USB. The programs then ask whether the
// radio is on.
const Session kLibraryOpen = {
    {"\\chk_vfo\n", "0\n"}, {"\\dump_state\n", kDumpStateV1}, {"v\n", "VFOA\n"},
    {"f\n", "14250000\n"},  {"s\n", "0\nVFOA\n"},            {"m\n", "USB\n2400\n"},
};
const Session kPowerCheck = {{"\\get_powerstat\n", "1\n"}};

Session operator+(Session a, const Session &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// `rigctl -m 2 -r HOST:PORT F 14074000 M PKTUSB 3000 t`
const Session kRigctl = kLibraryOpen + kPowerCheck + Session{{"F 14074000.000000\n", "RPRT 0\n"},
                                               {"\\get_lock_mode\n", "0\n"},
                                               {"M PKTUSB 3000\n", "RPRT 0\n"},
                                               {"t\n", "0\n"},
                                               {"q\n", "RPRT 0\n"}};

// The Python bindings: set_freq(VFO_CURR, 7074000), set_mode(MODE_CW, 500), close().
const Session kPython = kLibraryOpen + Session{{"F 7074000.000000\n", "RPRT 0\n"},
                                               {"\\get_lock_mode\n", "0\n"},
                                               {"M CW 500\n", "RPRT 0\n"},
                                               {"q\n", "RPRT 0\n"}};

// A weak-signal program: the library's open, its probe of the tuning step
// (two odd frequencies, each read back), then its poll.
const Session kWeakSignal = kLibraryOpen + kPowerCheck + Session{{"F 14070055.000000\n", "RPRT 0\n"},
                                                   {"f\n", "14070060\n"},
                                                   {"F 14070051.000000\n", "RPRT 0\n"},
                                                   {"f\n", "14070050\n"},
                                                   {"v\n", "VFOA\n"},
                                                   {"s\n", "0\nVFOA\n"},
                                                   {"f\n", "14070050\n"},
                                                   {"m\n", "USB\n2400\n"},
                                                   {"t\n", "0\n"},
                                                   {"v s f m t\n", "VFOA\n0\nVFOA\n14070050\nUSB\n2400\n0\n"}};

// A logger's compound poll, one line; a set in the same form.
const Session kLogger = {
    {"+f +m +v\n",
     "get_freq:\nFrequency: 14250000\nRPRT 0\nget_mode:\nMode: USB\nPassband: 2400\nRPRT 0\nget_vfo:\nVFO: VFOA\nRPRT 0\n"},
    {"+F 21074000\n", "set_freq: 21074000\nRPRT 0\n"},
    {"+f +m +v\n",
     "get_freq:\nFrequency: 21074000\nRPRT 0\nget_mode:\nMode: USB\nPassband: 2400\nRPRT 0\nget_vfo:\nVFO: VFOA\nRPRT 0\n"},
};

// A contest logger reads with the '|' separator, one answer a line (after
// the logger above).
const Session kContestLogger = {
    {"|f\n", "get_freq:|Frequency: 21074000|RPRT 0\n"},
    {"|m\n", "get_mode:|Mode: USB|Passband: 2400|RPRT 0\n"},
    {"|M CW 500\n", "set_mode: CW 500|RPRT 0\n"},
    {"|m\n", "get_mode:|Mode: CW|Passband: 500|RPRT 0\n"},
};

// A satellite tracker tunes the downlink, reads it back and tries the uplink.
const Session kSatelliteTracker = {
    {"F 14074000\n", "RPRT 0\n"},
    {"f\n", "14074000\n"},
    {"I 14074000\n", "RPRT -11\n"},
    {"F 145800000\n", "RPRT -1\n"},  // outside the radio's range: nothing sent
    {"f\n", "14074000\n"},
};

const Session kVfoInfo = {
    {"+\\get_vfo_info VFOA\n",
     "get_vfo_info: VFOA\nFreq: 14250000\nMode: USB\nWidth: 2400\nSplit: 0\nSatMode: 0\nRPRT 0\n"},
    {"\\get_vfo_info VFOA\n", "14250000\nUSB\n2400\n0\n0\n"},
    {"\\get_vfo_info VFOB\n", "RPRT -11\n"},
};

class RigctldReplayTest : public RigctldTest {
protected:
  void startLogged() {
    radio::RigctldServer::Settings settings;
    settings.logPath = dir.filePath("rigctld.log");
    startServer({}, settings);
  }
  void replay(const Session &session) {
    auto c = client();
    for (const Exchange &e : session) {
      c->write(e.send);
      const QByteArray want(e.answer);
      QByteArray got;
      (void)QTest::qWaitFor(
          [&] {
            got += c->readAll();
            return got.size() >= want.size();
          },
          5000);
      QTest::qWait(10);  // nothing more may follow
      got += c->readAll();
      ASSERT_EQ(got, want) << "after " << e.send;
    }
  }
  // The lines the server's log says client `id` sent, with their line ends.
  QStringList sentBy(int id) {
    QFile file(dir.filePath("rigctld.log"));
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly)) return lines;
    const QByteArray marker = " client " + QByteArray::number(id) + " > ";
    for (const QByteArray &line : file.readAll().split('\n')) {
      const qsizetype at = line.indexOf(marker);
      if (at > 0) lines << QString::fromLatin1(line.mid(at + marker.size()).replace("\\\\", "\\") + "\n");
    }
    return lines;
  }
  static QStringList sends(const Session &session) {
    QStringList lines;
    for (const Exchange &e : session) lines << QString::fromLatin1(e.send);
    return lines;
  }
  // Runs `program` with `arguments` to its end; its standard output.
  static QString run(const QString &program, const QStringList &arguments) {
    QProcess peer;
    peer.start(program, arguments);
    EXPECT_TRUE(QTest::qWaitFor([&] { return peer.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().toStdString();
    return QString::fromLatin1(peer.readAllStandardOutput());
  }
};

}  // namespace

TEST_F(RigctldReplayTest, TheLibrarysOpenAndAModeChange) {
  startServer();
  replay(kRigctl);
  EXPECT_EQ(rx(), (QStringList{"00 00 00 00 00", "00 00 00 00 0B", "00 74 40 01 08", "00 00 00 00 0B",
                               "00 00 00 11 0A", "00 00 00 00 0B"}));
}

TEST_F(RigctldReplayTest, ThePythonBindings) {
  startServer();
  replay(kPython);
  EXPECT_EQ(rx().mid(2), (QStringList{"00 74 70 00 08", "00 00 00 00 0B", "00 00 00 13 0A", "00 00 00 00 0B"}));
}

TEST_F(RigctldReplayTest, AWeakSignalProgramProbesTheTuningStepThenPolls) {
  startServer();
  replay(kWeakSignal);
  EXPECT_EQ(rx().mid(2), (QStringList{"06 70 40 01 08", "00 00 00 00 0B", "05 70 40 01 08", "00 00 00 00 0B"}));
}

TEST_F(RigctldReplayTest, LoggersTrackersAndVfoInfo) {
  startServer();
  replay(kLogger);
  replay(kContestLogger);
  replay(kSatelliteTracker);
  EXPECT_EQ(rx().count("00 74 40 01 08"), 1) << "nothing sent for 145.8 MHz";
  p->ModeButton[1]->click();  // USB again
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->ModeL->text() == "USB"; }, 3000));
  Session vfoInfo = kVfoInfo;
  vfoInfo[0].answer = "get_vfo_info: VFOA\nFreq: 14074000\nMode: USB\nWidth: 2400\nSplit: 0\nSatMode: 0\nRPRT 0\n";
  vfoInfo[1].answer = "14074000\nUSB\n2400\n0\n0\n";
  replay(vfoInfo);
}

TEST_F(RigctldReplayTest, VfoInfoOfAFreshRadio) {
  startServer();
  replay(kVfoInfo);
}

// The Debian peers, live: what they send must be what the sessions above replay.
TEST_F(RigctldReplayTest, LiveRigctl) {
  const QString rigctl = QStandardPaths::findExecutable("rigctl");
  if (rigctl.isEmpty()) GTEST_SKIP() << "rigctl (package libhamlib-utils) is not installed";
  startLogged();
  const QString out = run(rigctl, {"-m", "2", "-r", QString("127.0.0.1:%1").arg(port), "F", "14074000", "M",
                                   "PKTUSB", "3000", "t"});
  EXPECT_EQ(out, "0\n");
  EXPECT_EQ(sentBy(1), sends(kRigctl));
  EXPECT_TRUE(rx().contains("00 74 40 01 08"));
}

TEST_F(RigctldReplayTest, LivePythonBindings) {
  const QString python = "/usr/bin/python3";
  if (QProcess::execute(python, {"-c", "import Hamlib"}) != 0)
    GTEST_SKIP() << "the Python bindings (package python3-hamlib) are not installed";
  startLogged();
  const QString script = QString(
                             "import Hamlib\n"
                             "Hamlib.rig_set_debug(Hamlib.RIG_DEBUG_NONE)\n"
                             "rig = Hamlib.Rig(2)\n"
                             "rig.set_conf('rig_pathname', '127.0.0.1:%1')\n"
                             "rig.open()\n"
                             "print(int(rig.get_freq()))\n"
                             "rig.set_freq(Hamlib.RIG_VFO_CURR, 7074000)\n"
                             "rig.set_mode(Hamlib.RIG_MODE_CW, 500)\n"
                             "print(rig.error_status)\n"
                             "rig.close()\n")
                             .arg(port);
  EXPECT_EQ(run(python, {"-c", script}), "14250000\n0\n");
  EXPECT_EQ(sentBy(1), sends(kPython));
  EXPECT_TRUE(rx().contains("00 00 00 13 0A"));
  EXPECT_EQ(p->ModeL->text(), "CW-N");
}

TEST_F(RigctldReplayTest, LiveRigctldChainedInFront) {
  const QString rigctld = QStandardPaths::findExecutable("rigctld");
  const QString rigctl = QStandardPaths::findExecutable("rigctl");
  if (rigctld.isEmpty() || rigctl.isEmpty()) GTEST_SKIP() << "rigctld (package libhamlib-utils) is not installed";
  startLogged();
  QTcpServer probe;  // a free port for the daemon in front
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  const quint16 front = probe.serverPort();
  probe.close();
  QProcess daemon;
  daemon.start(rigctld, {"-m", "2", "-r", QString("127.0.0.1:%1").arg(port), "-T", "127.0.0.1", "-t",
                         QString::number(front)});
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->rigctld()->clientCount() == 1; }, 10000));
  QTcpSocket waitForDaemon;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (waitForDaemon.state() == QAbstractSocket::UnconnectedState) waitForDaemon.connectToHost(QHostAddress::LocalHost, front);
        return waitForDaemon.state() == QAbstractSocket::ConnectedState;
      },
      10000));
  waitForDaemon.abort();
  const QString out = run(rigctl, {"-m", "2", "-r", QString("127.0.0.1:%1").arg(front), "F", "7074000", "f"});
  EXPECT_EQ(out, "7074000\n");
  EXPECT_EQ(sentBy(1).mid(0, kLibraryOpen.size()), sends(kLibraryOpen));
  EXPECT_TRUE(sentBy(1).contains("F 7074000.000000\n"));
  EXPECT_TRUE(rx().contains("00 74 70 00 08"));
  daemon.terminate();
  daemon.waitForFinished(3000);
}
