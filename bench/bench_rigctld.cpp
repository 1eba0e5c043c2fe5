// Round trips of rigctld clients ("f" with a stale status, "F") against
// tessaly-rig pacing its line at 4800 baud 8N2, as ratios to the pure wire time
// of the frames each needs (command, echo, execute frame, reply).
#include <QApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/mainwindow.h"
#include "app/radio/commport.h"
#include "app/radio/rigaccess.h"
#include "app/radio/rigctld_server.h"
#include "bench/rig_session.h"

namespace {

// Sends `line` and returns the ms until a whole answer line came back, or -1.
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

double median(std::vector<double> times) {
  if (std::find(times.begin(), times.end(), -1.0) != times.end()) return -1;
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Lets the last status grow stale without blocking the event loop.
void waitStale() {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < radio::RigctldServer::kDefaultStaleMs + 50) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (app.arguments().contains("--help")) {
    printf("Usage: bench_rigctld\nMeasures rigctld f and F round trips against tessaly-rig --pace.\n");
    return 0;
  }
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
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, window.rigctld()->port());
    if (!client.waitForConnected(3000)) {
      fprintf(stderr, "bench_rigctld: cannot connect\n");
      return 1;
    }
    const int runs = 7;
    std::vector<double> gets, sets;
    for (int i = 0; i < runs; ++i) {
      waitStale();
      gets.push_back(roundTrip(client, "f"));
    }
    for (int i = 0; i < runs; ++i) sets.push_back(roundTrip(client, "F " + QByteArray::number(7000000 + 1000 * i)));
    const double get = median(gets), set = median(sets);
    if (get < 0 || set < 0) {
      fprintf(stderr, "bench_rigctld: no answer\n");
      status = 1;
    } else {
      printf("f, stale status (148-byte read): %.1f ms, wire %.1f ms, ratio %.3f (goal <= 1.1)\n", get, wireMs(148),
             get / wireMs(148));
      printf("F (5-byte reply): %.1f ms, wire %.1f ms, ratio %.3f (goal <= 1.1)\n", set, wireMs(5), set / wireMs(5));
    }
  }
  rig.terminate();
  rig.waitForFinished(3000);
  return status;
}
