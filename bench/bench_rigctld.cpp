// rigctld clients against tessaly-rig pacing its line at 4800 baud 8N2.
//
// First a set on an idle link, as a ratio to the wire time of its frames.
// Then the load the program must carry: 4 clients each polling f, m, v and t
// at 2 Hz while one client sets the frequency every 5 s and the operator
// presses a mode button every 5 s, for 60 s (--seconds N). Reads must answer
// from the state at once (p99 <= 50 ms), sets within their wire time x 1.1 +
// 10 ms, the panel's command at most one frame later than on an idle link.
#include <QApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QPushButton>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/mainwindow.h"
#include "app/panel.h"
#include "app/radio/commport.h"
#include "app/radio/frames.h"
#include "app/radio/rigctld_server.h"
#include "app/radiocontrol.h"
#include "bench/rig_session.h"

namespace {

using Times = std::vector<double>;

double percentile(Times times, double p) {
  if (times.empty()) return -1;
  std::sort(times.begin(), times.end());
  const size_t at = std::min(times.size() - 1, static_cast<size_t>(p * static_cast<double>(times.size())));
  return times[at];
}

// A client that sends one line at a time and times each answer; `lines` is
// how many answer lines each command gives.
class TimedClient {
public:
  explicit TimedClient(quint16 port) { socket_.connectToHost(QHostAddress::LocalHost, port); }
  bool connected() { return socket_.waitForConnected(3000); }

  // Sends the commands in turn, each after the answer to the one before.
  void run(std::vector<std::pair<QByteArray, int>> commands, Times *times) {
    if (!queue_.empty()) {
      ++skipped;  // the cycle before has not finished: a slow answer
      return;
    }
    queue_ = std::move(commands);
    times_ = times;
    next();
  }
  int skipped = 0;
  int failures = 0;

  void onReadyRead() {
    got_ += socket_.readAll();
    // A failure answers one line, "RPRT -n".
    if (queue_.empty() || (got_.count('\n') < queue_.front().second && !(got_.startsWith("RPRT") && got_.endsWith('\n'))))
      return;
    times_->push_back(clock_.nsecsElapsed() / 1e6);
    if (got_.startsWith("RPRT -")) ++failures;
    got_.clear();
    queue_.erase(queue_.begin());
    next();
  }

  QTcpSocket socket_;

private:
  void next() {
    if (queue_.empty()) return;
    clock_.start();
    socket_.write(queue_.front().first + '\n');
  }

  std::vector<std::pair<QByteArray, int>> queue_;
  Times *times_ = nullptr;
  QByteArray got_;
  QElapsedTimer clock_;
};

void runFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// Round trip of one line with a one-line answer, in ms; -1 without answer.
double roundTrip(QTcpSocket &socket, const QByteArray &line) {
  QElapsedTimer clock;
  clock.start();
  socket.write(line + "\n");
  QByteArray got;
  while (!got.contains('\n') && clock.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    got += socket.readAll();
  }
  return got.contains('\n') ? clock.nsecsElapsed() / 1e6 : -1;
}

void report(const char *what, double value, const char *goalText, double goal) {
  printf("%-44s %8.1f ms   goal %s %.1f ms   %s\n", what, value, goalText, goal, value >= 0 && value <= goal ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.contains("--help")) {
    printf("Usage: bench_rigctld [--seconds N]\nMeasures rigctld reads and sets under load against tessaly-rig --pace.\n");
    return 0;
  }
  const qsizetype at = args.indexOf("--seconds");
  const int seconds = at > 0 && at + 1 < args.size() ? std::max(5, args[at + 1].toInt()) : 60;
  QProcess rig;
  const QString pty = startPacedRig(rig, "bench_rigctld");
  if (pty.isEmpty()) return 1;
  int status = 0;
  {
    MainWindow window(std::make_unique<radio::CommPort>(pty), std::make_unique<NoMixer>(), pty);
    QString error;
    if (!window.startRigctld(QHostAddress::LocalHost, 0, &error)) {
      fprintf(stderr, "bench_rigctld: %s\n", qPrintable(error));
      return 1;
    }
    const quint16 port = window.rigctld()->port();
    const double setWire = wireMs(radio::kFrequencyReplyLength);
    const double setGoal = setWire * 1.1 + 10;

    // A set on an idle link.
    QTcpSocket single;
    single.connectToHost(QHostAddress::LocalHost, port);
    if (!single.waitForConnected(3000)) return 1;
    (void)roundTrip(single, "f");  // the first status read
    Times idleSets;
    for (int i = 0; i < 7; ++i) idleSets.push_back(roundTrip(single, "F " + QByteArray::number(7000000 + 1000 * i)));
    report("F on an idle link, median", percentile(idleSets, 0.5), "<= wire x 1.1 + 10 =", setGoal);
    // The operator's mode command on an idle link, for comparison.
    Times idlePanel;
    for (int i = 0; i < 5; ++i) {
      bool shown = false;
      auto c = QObject::connect(window.radio(), &RadioControl::replyShown, [&shown] { shown = true; });
      QElapsedTimer clock;
      clock.start();
      window.findChild<QPushButton *>(i % 2 ? "But_USB" : "But_LSB")->click();
      while (!shown && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
      idlePanel.push_back(clock.nsecsElapsed() / 1e6);
      QObject::disconnect(c);
    }
    const double panelWire = wireMs(radio::kShortStatusLength), frame = wireMs(0) / 3;
    printf("%-44s %8.1f ms   (wire %.1f ms)\n", "panel mode command on an idle link, median", percentile(idlePanel, 0.5),
           panelWire);

    // The load.
    std::vector<std::unique_ptr<TimedClient>> pollers;
    for (int i = 0; i < 4; ++i) pollers.push_back(std::make_unique<TimedClient>(port));
    TimedClient setter(port);
    for (auto &c : pollers)
      if (!c->connected()) return 1;
    if (!setter.connected()) return 1;
    for (auto &c : pollers) QObject::connect(&c->socket_, &QTcpSocket::readyRead, [p = c.get()] { p->onReadyRead(); });
    QObject::connect(&setter.socket_, &QTcpSocket::readyRead, [&setter] { setter.onReadyRead(); });
    Times reads, sets, panel;
    std::vector<std::unique_ptr<QTimer>> timers;
    for (size_t i = 0; i < pollers.size(); ++i) {
      auto timer = std::make_unique<QTimer>();
      timer->setInterval(500);
      QObject::connect(timer.get(), &QTimer::timeout, [p = pollers[i].get(), &reads] {
        p->run({{"f", 1}, {"m", 2}, {"v", 1}, {"t", 1}}, &reads);
      });
      // The pollers start spread over the half second.
      QTimer::singleShot(static_cast<int>(125 * i), timer.get(), qOverload<>(&QTimer::start));
      timers.push_back(std::move(timer));
    }
    int step = 0;
    QTimer setTimer;
    setTimer.setInterval(5000);
    QObject::connect(&setTimer, &QTimer::timeout, [&] {
      setter.run({{"F " + QByteArray::number(14000000 + 1000 * ++step), 1}}, &sets);
    });
    setTimer.start();
    // The operator's mode button, half way between two sets.
    QTimer panelTimer;
    panelTimer.setInterval(5000);
    QElapsedTimer pressed;
    bool waitingForPanel = false;
    QObject::connect(window.radio(), &RadioControl::replyShown, [&] {
      if (!waitingForPanel) return;
      waitingForPanel = false;
      panel.push_back(pressed.nsecsElapsed() / 1e6);
    });
    QObject::connect(&panelTimer, &QTimer::timeout, [&] {
      if (waitingForPanel) return;
      waitingForPanel = true;
      pressed.start();
      window.findChild<QPushButton *>(panel.size() % 2 ? "But_USB" : "But_LSB")->click();
    });
    QTimer::singleShot(2500, &panelTimer, qOverload<>(&QTimer::start));
    runFor(seconds * 1000);
    for (auto &t : timers) t->stop();
    setTimer.stop();
    panelTimer.stop();
    runFor(1000);

    int skipped = setter.skipped, failures = setter.failures;
    for (auto &c : pollers) {
      skipped += c->skipped;
      failures += c->failures;
    }
    printf("load: %d s, %zu reads, %zu sets, %zu panel commands, %d polls skipped, %d failures\n", seconds,
           reads.size(), sets.size(), panel.size(), skipped, failures);
    report("reads under load, p50", percentile(reads, 0.5), "<=", 50);
    report("reads under load, p99", percentile(reads, 0.99), "<=", 50);
    report("reads under load, max", percentile(reads, 1.0), "<=", 50);
    report("sets under load, median", percentile(sets, 0.5), "<= wire x 1.1 + 10 =", setGoal);
    report("sets under load, max", percentile(sets, 1.0), "<= wire x 1.1 + 10 =", setGoal);
    const double panelGoal = percentile(idlePanel, 0.5) + frame;
    report("panel mode command under load, median", percentile(panel, 0.5), "<= idle + one frame =", panelGoal);
    report("panel mode command under load, max", percentile(panel, 1.0), "<= idle + one frame =", panelGoal);
    std::sort(sets.begin(), sets.end());
    printf("sets under load, each (ms):");
    for (double t : sets) printf(" %.0f", t);
    printf("\n");
    if (reads.empty() || sets.empty() || failures > 0) status = 1;
  }
  rig.terminate();
  rig.waitForFinished(3000);
  return status;
}
