// RadioLink: sends command frames and runs the echo-then-execute handshake.
//
// send() writes a frame and waits for its echo (receive threshold = frame
// length). A correct echo is answered with the execute frame and the threshold
// becomes the announced reply length; the reply is then decoded and reported by
// replyReceived(). Bytes that arrive when no echo is awaited are reported the
// same way (shown as hex, decoded only at the announced length).
//
// Faults are bounded: a wrong echo is sent again at most kMaxResends times,
// after the line has been quiet for a moment and its input discarded; an echo
// or reply that does not come within kAnswerTimeoutMs plus its wire time ends
// the command, and failed() says why; so does the port being lost. A new
// send() replaces a command in flight.
//
// Every event of the port runs eventStarted() first and eventEnded() last. A
// pause set by pauseNextEvent() delays the end of the next event without
// blocking; events arriving meanwhile are handled after it.
#ifndef TESSALY_APP_RADIO_RADIOLINK_H
#define TESSALY_APP_RADIO_RADIOLINK_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "app/radio/decode.h"
#include "app/radio/seriallink.h"

namespace radio {

class RadioLink : public QObject {
  Q_OBJECT
public:
  static constexpr int kMaxResends = 3;
  static constexpr int kAnswerTimeoutMs = 1000;

  // `port` must outlive the link.
  explicit RadioLink(SerialLink *port, QObject *parent = nullptr);

  // Writes `frame` and arms the handshake for a reply of `replyLength` bytes.
  void send(const QByteArray &frame, int replyLength);
  // The next event of the port ends only `ms` milliseconds after it began.
  void pauseNextEvent(int ms);
  int pendingPause() const { return pauseMs_; }

  // The frame whose echo is awaited; empty when none.
  const QByteArray &lastCommand() const { return lastCommand_; }
  int expectedReplyLength() const { return expected_; }
  // True while an echo or a reply is awaited.
  bool inFlight() const { return phase_ != Phase::Idle; }

  // Wire time of `bytes` at 4800 baud with 11 bits a byte, in whole ms rounded up.
  static int wireTimeMs(int bytes);

signals:
  // send() is writing a new command; any command in flight is given up.
  void commandStarted();
  void eventStarted();
  void bufferRead(int length);
  void replyReceived(const radio::Reply &reply);
  void eventEnded();
  void failed(const QString &why);

private:
  enum class Phase { Idle, Echo, Settling, Reply };

  void onCommEvent(int event);
  void handleData();
  void endEvent();
  void onPauseOver();
  void onSettled();
  void onAnswerTimeout();
  void fail(const QString &why);
  void armAnswerTimer(int wireBytes);

  SerialLink *port_;
  QByteArray lastCommand_;
  int expected_ = 0;
  int pauseMs_ = 0;
  int resends_ = 0;
  bool deferredData_ = false;
  Phase phase_ = Phase::Idle;
  QTimer answerTimer_;
  QTimer settleTimer_;
  QElapsedTimer settling_;
  QTimer pauseTimer_;
};

}  // namespace radio

#endif
