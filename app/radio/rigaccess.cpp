#include "app/radio/rigaccess.h"

#include <QTimer>

#include "app/radio/frames.h"
#include "app/radio/radiolink.h"

namespace radio {

RigAccess::RigAccess(RadioLink *link, const RadioState *state, QObject *parent)
    : QObject(parent), link_(link), state_(state) {
  connect(link_, &RadioLink::commandStarted, this, &RigAccess::onCommandStarted);
  connect(link_, &RadioLink::replyReceived, this, &RigAccess::onReply);
  connect(link_, &RadioLink::failed, this, &RigAccess::onFailed);
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
  if (!link_->inFlight()) finishCurrent(false);
}

void RigAccess::onCommandStarted() {
  if (sending_ || !inFlight_) return;
  // The panel took the link over: ours was not carried out.
  inFlight_ = false;
  if (++queue_.front().retries > kMaxRetries) finishCurrent(false);
}

void RigAccess::onReply() {
  if (link_->inFlight()) return;
  if (inFlight_)
    finishCurrent(true);
  else
    sendNext();  // the panel's command is over: the link is free
}

void RigAccess::onFailed() {
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
