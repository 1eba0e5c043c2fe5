#include "app/radio/radiolink.h"

#include "app/radio/frames.h"

namespace radio {

RadioLink::RadioLink(SerialLink *port, QObject *parent) : QObject(parent), port_(port) {
  for (QTimer *t : {&answerTimer_, &settleTimer_, &pauseTimer_}) t->setSingleShot(true);
  connect(port_, &SerialLink::commEvent, this, &RadioLink::onCommEvent);
  connect(port_, &SerialLink::lost, this, [this] {
    if (inFlight()) fail(tr("Serial port lost"));
  });
  connect(&answerTimer_, &QTimer::timeout, this, &RadioLink::onAnswerTimeout);
  connect(&settleTimer_, &QTimer::timeout, this, &RadioLink::onSettled);
  connect(&pauseTimer_, &QTimer::timeout, this, &RadioLink::onPauseOver);
}

int RadioLink::wireTimeMs(int bytes) { return (bytes * 11 * 1000 + 4799) / 4800; }

void RadioLink::send(const QByteArray &frame, int replyLength) {
  emit commandStarted();
  lastCommand_ = frame;
  port_->setReceiveThreshold(static_cast<int>(frame.size()));
  expected_ = replyLength;
  resends_ = 0;
  settleTimer_.stop();
  if (!port_->output(frame)) {
    // No port: the panel said so when the port failed to open.
    lastCommand_.clear();
    phase_ = Phase::Idle;
    answerTimer_.stop();
    return;
  }
  phase_ = Phase::Echo;
  armAnswerTimer(2 * kFrameLength);
}

void RadioLink::pauseNextEvent(int ms) { pauseMs_ = ms; }

void RadioLink::armAnswerTimer(int wireBytes) { answerTimer_.start(kAnswerTimeoutMs + wireTimeMs(wireBytes)); }

void RadioLink::onCommEvent(int event) {
  if (pauseTimer_.isActive()) {
    // Still inside the pause of an earlier event: handle the data after it.
    if (event == SerialLink::kReceived) deferredData_ = true;
    return;
  }
  emit eventStarted();
  if (event == SerialLink::kReceived) handleData();
  endEvent();
}

void RadioLink::handleData() {
  const QByteArray buffer = port_->input();
  if (phase_ == Phase::Settling) {
    // Discarded while the line resynchronises; bytes still coming (the rest
    // of a reply cut into) put the resend off until the line is quiet, for
    // at most the answer time-out.
    if (settling_.elapsed() < kAnswerTimeoutMs) settleTimer_.start(wireTimeMs(kFrameLength) + 10);
    return;
  }
  emit bufferRead(static_cast<int>(buffer.size()));
  if (phase_ == Phase::Echo) {
    if (buffer == lastCommand_) {
      lastCommand_.clear();
      port_->setReceiveThreshold(expected_);
      port_->output(executeFrame());
      phase_ = Phase::Reply;
      armAnswerTimer(kFrameLength + expected_);
    } else if (resends_ < kMaxResends) {
      // Let the rest of a garbled echo arrive and drop it, then send again.
      phase_ = Phase::Settling;
      answerTimer_.stop();
      settling_.start();
      settleTimer_.start(wireTimeMs(kFrameLength) + 10);
    } else {
      fail(tr("Transceiver did not echo the command"));
    }
    return;
  }
  if (phase_ == Phase::Reply) {
    answerTimer_.stop();
    phase_ = Phase::Idle;
  }
  emit replyReceived(decodeReply(buffer, expected_));
}

void RadioLink::endEvent() {
  if (pauseMs_ > 0) {
    pauseTimer_.start(pauseMs_);
    return;
  }
  emit eventEnded();
}

void RadioLink::onPauseOver() {
  pauseMs_ = 0;
  emit eventEnded();
  if (deferredData_) {
    deferredData_ = false;
    onCommEvent(SerialLink::kReceived);
  }
}

void RadioLink::onSettled() {
  port_->input();
  ++resends_;
  phase_ = Phase::Echo;
  port_->output(lastCommand_);
  armAnswerTimer(2 * kFrameLength);
}

void RadioLink::onAnswerTimeout() {
  if (pauseTimer_.isActive()) {
    // Bytes may be waiting behind the pause; judge them once it is over.
    answerTimer_.start(pauseTimer_.remainingTime() + kAnswerTimeoutMs);
    return;
  }
  const QByteArray rest = port_->input();
  if (phase_ == Phase::Reply && !rest.isEmpty()) {
    emit bufferRead(static_cast<int>(rest.size()));
    emit replyReceived(decodeReply(rest, expected_));
    fail(tr("Transceiver reply incomplete"));
    return;
  }
  fail(tr("Transceiver did not answer"));
}

void RadioLink::fail(const QString &why) {
  lastCommand_.clear();
  phase_ = Phase::Idle;
  answerTimer_.stop();
  settleTimer_.stop();
  emit failed(why);
}

}  // namespace radio
