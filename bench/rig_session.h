// What the benchmarks against tessaly-rig share: the simulated transceiver
// started at wire speed.
#ifndef TESSALY_BENCH_RIG_SESSION_H
#define TESSALY_BENCH_RIG_SESSION_H

#include <QProcess>
#include <QString>
#include <cstdio>

#include "bench/quiet_devices.h"

// Wire time of a command exchange (command, echo, execute frame, reply) at
// 4800 baud 8N2, in ms.
inline double wireMs(int replyLength) { return (3 * 5 + replyLength) * 11 * 1000.0 / 4800.0; }

// Starts tessaly-rig pacing its line at wire speed; returns its terminal's
// path, or "" (with a message naming `program`) when it does not start.
inline QString startPacedRig(QProcess &rig, const char *program) {
  rig.start(TESSALY_RIG, {"--pace"});
  if (!rig.waitForReadyRead(5000)) {
    fprintf(stderr, "%s: tessaly-rig did not start\n", program);
    return QString();
  }
  return QString::fromLocal8Bit(rig.readLine()).trimmed();
}

#endif
