#include "app/radio/rigaccess.h"

#include <QTimer>
#include <algorithm>

#include "app/radio/frames.h"
#include "app/radio/radiolink.h"

namespace radio {

namespace {

// The seven digits as units of 10 Hz; nullopt when one is not a decimal digit.
std::optional<long> digitsValue(const std::array<QChar, 7> &digits) {
  long value = 0;
  for (QChar d : digits) {
    if (d < QLatin1Char('0') || d > QLatin1Char('9')) return std::nullopt;
    value = value * 10 + (d.unicode() - '0');
  }
  return value;
}

}  // namespace

RigAccess::RigAccess(RadioLink *link, QObject *parent) : QObject(parent), link_(link) {
  connect(link_, &RadioLink::commandStarted, this, &RigAccess::onCommandStarted);
  connect(link_, &RadioLink::replyReceived, this, &RigAccess::onReply);
  connect(link_, &RadioLink::bufferRead, this, &RigAccess::onBufferRead);
  connect(link_, &RadioLink::failed, this, &RigAccess::onFailed);
}

qint64 RigAccess::ageMs() const {
  if (!frequency_ || !mode_) return -1;
  return std::max(frequencyAge_.elapsed(), modeAge_.elapsed());
}

quint64 RigAccess::submit(const QByteArray &frame, int replyLength, Done done) {
  const quint64 ticket = nextTicket_++;
  queue_.push_back(Job{frame, replyLength, std::move(done), ticket});
  sendNext();
  return ticket;
}

void RigAccess::cancel(quint64 ticket) {
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->ticket != ticket) continue;
    if (!(inFlight_ && it == queue_.begin())) queue_.erase(it);
    return;
  }
}

void RigAccess::refresh(Done done) {
  if (done) refreshWaiters_.push_back(std::move(done));
  if (refreshQueued_) return;
  refreshQueued_ = true;
  submit(connectFrame(), kFullStatusLength, [this](bool ok) {
    refreshQueued_ = false;
    std::vector<Done> waiters;
    waiters.swap(refreshWaiters_);
    for (Done &waiter : waiters) waiter(ok);
  });
}

void RigAccess::sendNext() {
  if (inFlight_ || queue_.empty() || link_->inFlight()) return;
  inFlight_ = true;
  sending_ = true;
  link_->send(queue_.front().frame, queue_.front().replyLength);
  sending_ = false;
  // No port: the link refused the frame at once.
  if (!link_->inFlight()) {
    answering_ = false;
    finishCurrent(false);
  }
}

void RigAccess::onCommandStarted() {
  heard_ = false;
  if (sending_ || !inFlight_) return;
  // The panel took the link over: ours was not carried out.
  inFlight_ = false;
  if (++queue_.front().retries > kMaxRetries) finishCurrent(false);
}

void RigAccess::onReply(const Reply &reply) {
  if (reply.decoded) {
    if (reply.digits) {
      if (std::optional<long> value = digitsValue(*reply.digits)) {
        frequency_ = value;
        frequencyAge_.start();
      }
    }
    if (reply.mode) {
      mode_ = reply.mode;
      modeAge_.start();
    }
  }
  if (link_->inFlight()) return;
  if (inFlight_)
    finishCurrent(true);
  else
    sendNext();  // the panel's command is over: the link is free
}

void RigAccess::onBufferRead(int length) {
  if (length <= 0) return;
  heard_ = true;
  answering_ = true;
}

void RigAccess::onFailed() {
  if (!heard_) answering_ = false;
  if (inFlight_)
    finishCurrent(false);
  else
    sendNext();
}

void RigAccess::finishCurrent(bool ok) {
  Job job = std::move(queue_.front());
  queue_.pop_front();
  inFlight_ = false;
  job.done(ok);
  // Later commands go out from the event loop, after the handler that ended
  // this one (the link is still inside its receive event here).
  QTimer::singleShot(0, this, &RigAccess::sendNext);
}

}  // namespace radio
