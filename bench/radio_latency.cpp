// Time from pressing a command to the panel showing its decoded reply, against
// tessaly-rig pacing its line at 4800 baud 8N2, as a ratio to the pure wire
// time of the exchange (command, echo, execute frame, reply).
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/mainwindow.h"
#include "app/radio/commport.h"
#include "app/radiocontrol.h"
#include "app/tuning.h"
#include "bench/rig_session.h"

namespace {

// Presses `press` `runs` times and returns the median time in ms until the reply is shown.
double median(MainWindow &window, const std::function<void()> &press, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    bool shown = false;
    auto c = QObject::connect(window.radio(), &RadioControl::replyShown, [&shown] { shown = true; });
    QElapsedTimer clock;
    clock.start();
    press();
    while (!shown && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    times.push_back(clock.nsecsElapsed() / 1e6);
    QObject::disconnect(c);
    if (!shown) return -1;
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (app.arguments().contains("--help")) {
    printf("Usage: bench_radio_latency\nMeasures command-to-panel latency against tessaly-rig --pace.\n");
    return 0;
  }
  QProcess rig;
  const QString pty = startPacedRig(rig, "bench_radio_latency");
  if (pty.isEmpty()) return 1;
  int status = 0;
  {
    MainWindow window(std::make_unique<radio::CommPort>(pty), std::make_unique<NoMixer>(), pty);
    window.show();
    const int runs = 9;
    const double status148 = median(window, [&window] { window.radio()->connectRadio(); }, runs);
    int step = 0;
    const double tune5 = median(
        window, [&window, &step] { window.tuning()->tuneTo(QString::number(14000 + 10 * ++step)); }, runs);
    if (status148 < 0 || tune5 < 0) {
      fprintf(stderr, "bench_radio_latency: no reply\n");
      status = 1;
    } else {
      printf("full status (148 bytes): %.1f ms, wire %.1f ms, ratio %.3f (goal <= 1.05)\n", status148, wireMs(148),
             status148 / wireMs(148));
      printf("set frequency (5 bytes): %.1f ms, wire %.1f ms, ratio %.3f (goal <= 1.2)\n", tune5, wireMs(5),
             tune5 / wireMs(5));
    }
  }
  rig.terminate();
  rig.waitForFinished(3000);
  return status;
}
