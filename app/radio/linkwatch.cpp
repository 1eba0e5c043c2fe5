#include "app/radio/linkwatch.h"

#include <QDebug>

#include "app/radio/frames.h"
#include "app/radio/radiolink.h"
#include "app/radio/radiostate.h"

namespace radio {

void prepareLine(SerialLink *port) {
  port->setSendThreshold(kFrameLength);
  port->setDtr(true);
}

LinkWatch::LinkWatch(SerialLink *port, RadioLink *link, RadioState *state, const QString &device, QObject *parent)
    : QObject(parent), port_(port), link_(link), state_(state), device_(device) {
  probeTimer_.setSingleShot(true);
  retryTimer_.setInterval(retryMs_);
  connect(&retryTimer_, &QTimer::timeout, this, &LinkWatch::retry);
  connect(&probeTimer_, &QTimer::timeout, this, &LinkWatch::probe);
  connect(port_, &SerialLink::lost, this, &LinkWatch::onLost);
  connect(link_, &RadioLink::commandStarted, this, &LinkWatch::onCommandStarted);
  // A reply restarts the quiet; silence asks again sooner.
  connect(link_, &RadioLink::replyReceived, this, &LinkWatch::scheduleProbe);
  connect(link_, &RadioLink::replyReceived, this, [this](const Reply &reply) {
    if (reply.decoded) unanswered_ = 0;
  });
  connect(link_, &RadioLink::failed, this, [this] { ++unanswered_; });
  connect(state_, &RadioState::linkChanged, this, &LinkWatch::scheduleProbe);
}

void LinkWatch::setIntervals(int retryMs, int probeMs) {
  retryMs_ = retryMs;
  probeMs_ = probeMs;
  retryTimer_.setInterval(retryMs);
}

void LinkWatch::start() {
  watching_ = true;
  if (!port_->isOpen()) {
    state_->setPortClosed();
    retryTimer_.start();
  }
}

void LinkWatch::stop() {
  watching_ = false;
  retryTimer_.stop();
  probeTimer_.stop();
}

QString LinkWatch::text() const {
  switch (state_->link()) {
    case RadioState::Link::NoAnswer: return tr("radio not answering");
    case RadioState::Link::PortClosed: return tr("radio disconnected: %1, retrying").arg(device_);
    default: return {};
  }
}

QString LinkWatch::guidance() const {
  switch (state_->link()) {
    case RadioState::Link::NoAnswer:
      if (unanswered_ < kUnansweredForChecks) return {};
      return tr("%1 commands unanswered on %2: %3").arg(unanswered_).arg(device_, checks());
    case RadioState::Link::PortClosed: return checks();
    default: return {};
  }
}

QString LinkWatch::checks() {
  return tr("check the cable, the port, 4800 baud 8N2, the radio on");
}

void LinkWatch::onLost(const QString &why) {
  if (!watching_) return;
  qWarning().noquote() << "tessaly: serial port" << device_ << "lost:" << why;
  port_->close();
  probeTimer_.stop();
  state_->setPortClosed();
  retryTimer_.start();
}

void LinkWatch::retry() {
  QString error;
  if (!port_->open(&error)) return;  // not back yet: the next tick tries again
  retryTimer_.stop();
  qWarning().noquote() << "tessaly: serial port" << device_ << "open again";
  prepareLine(port_);
  state_->setPortOpen();
  emit reopened();
  if (talkedTo_) link_->send(connectFrame(), kFullStatusLength);
}

void LinkWatch::onCommandStarted() {
  if (!watching_) return;
  talkedTo_ = true;
  if (!port_->isOpen()) {
    emit refused(tr("%1: not sent").arg(text()));
    return;
  }
  scheduleProbe();
}

void LinkWatch::scheduleProbe() {
  if (!watching_ || !talkedTo_ || !port_->isOpen()) return;
  probeTimer_.start(state_->link() == RadioState::Link::NoAnswer ? retryMs_ : probeMs_);
}

void LinkWatch::probe() {
  if (!port_->isOpen()) return;
  if (link_->inFlight() || !probeWanted_()) {
    scheduleProbe();
    return;
  }
  link_->send(connectFrame(), kFullStatusLength);
}

}  // namespace radio
