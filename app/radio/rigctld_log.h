// RigctldLog: the optional record of what rigctld clients sent and got
// (--rigctld-log FILE). One line per event, time-stamped in UTC: "> " before
// a line a client sent, "< " before the answer (line ends written as "\n"),
// "REFUSED" after an answer that reports a failure, and the connections
// opened, refused and closed. The file is appended to, made private to its
// user, and never opened through a symbolic link; past kMaxBytes it stops
// with a line that says so, so a flooding client cannot fill the disk.
#ifndef TESSALY_APP_RADIO_RIGCTLD_LOG_H
#define TESSALY_APP_RADIO_RIGCTLD_LOG_H

#include <QByteArray>
#include <QString>

namespace radio {

class RigctldLog {
public:
  static constexpr qint64 kMaxBytes = 64LL << 20;

  RigctldLog() = default;
  ~RigctldLog();
  RigctldLog(const RigctldLog &) = delete;
  RigctldLog &operator=(const RigctldLog &) = delete;

  // Opens `path` for appending; false with `*error` set when it cannot be.
  bool open(const QString &path, QString *error);
  bool isOpen() const { return fd_ >= 0; }

  void received(quint64 client, const QByteArray &line);
  void answered(quint64 client, const QByteArray &text);
  // A connection event: "connected", "closed", "refused: ...".
  void note(quint64 client, const QByteArray &event);

private:
  void write(quint64 client, const QByteArray &text);

  int fd_ = -1;
  qint64 written_ = 0;
};

// `text` with line ends, backslashes and bytes outside printable ASCII
// escaped, so that any answer fits on one log line.
QByteArray escapedForLog(const QByteArray &text);

}  // namespace radio

#endif
