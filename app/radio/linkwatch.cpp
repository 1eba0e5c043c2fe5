#include "app/radio/linkwatch.h"

#include <QDebug>

#include "app/radio/frames.h"
#include "app/radio/radiolink.h"

namespace radio {

void prepareLine(SerialLink *port) {
  port->setSendThreshold(kFrameLength);
  port->setDtr(true);
}

LinkWatch::LinkWatch(SerialLink *port, RadioLink *link, const QString &device, QObject *parent)
    : QObject(parent), port_(port), link_(link), device_(device) {
  probeTimer_.setSingleShot(true);
  silenceTimer_.setSingleShot(true);
  setIntervals(kRetryMs, kProbeMs, kSilenceMs);
  connect(&retryTimer_, &QTimer::timeout, this, &LinkWatch::retry);
  connect(&probeTimer_, &QTimer::timeout, this, &LinkWatch::probe);
  connect(&silenceTimer_, &QTimer::timeout, this, [this] { setState(State::Silent); });
  connect(port_, &SerialLink::lost, this, &LinkWatch::onLost);
  connect(link_, &RadioLink::commandStarted, this, &LinkWatch::onCommandStarted);
  connect(link_, &RadioLink::bufferRead, this, &LinkWatch::onHeard);
}

void LinkWatch::setIntervals(int retryMs, int probeMs, int silenceMs) {
  retryTimer_.setInterval(retryMs);
  probeTimer_.setInterval(probeMs);
  silenceTimer_.setInterval(silenceMs);
}

void LinkWatch::start() {
  watching_ = true;
  if (!port_->isOpen()) {
    setState(State::Disconnected);
    retryTimer_.start();
  }
}

void LinkWatch::stop() {
  watching_ = false;
  for (QTimer *t : {&retryTimer_, &probeTimer_, &silenceTimer_}) t->stop();
}

QString LinkWatch::text() const {
  switch (state_) {
    case State::Up: return {};
    case State::Silent: return tr("radio not answering");
    case State::Disconnected: return tr("radio disconnected: %1, retrying").arg(device_);
  }
  return {};
}

void LinkWatch::onLost(const QString &why) {
  if (!watching_) return;
  qWarning().noquote() << "tessaly: serial port" << device_ << "lost:" << why;
  port_->close();
  probeTimer_.stop();
  silenceTimer_.stop();
  setState(State::Disconnected);
  retryTimer_.start();
}

void LinkWatch::retry() {
  QString error;
  if (!port_->open(&error)) return;  // not back yet: the next tick tries again
  retryTimer_.stop();
  qWarning().noquote() << "tessaly: serial port" << device_ << "open again";
  prepareLine(port_);
  setState(State::Up);
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
  if (!silenceTimer_.isActive()) silenceTimer_.start();
  probeTimer_.start();
}

void LinkWatch::onHeard() {
  if (!watching_) return;
  silenceTimer_.stop();
  setState(State::Up);
  probeTimer_.start();
}

void LinkWatch::probe() {
  if (!port_->isOpen() || !talkedTo_) return;
  if (link_->inFlight() || !probeWanted_()) {
    probeTimer_.start();
    return;
  }
  link_->send(connectFrame(), kFullStatusLength);
}

void LinkWatch::setState(State state) {
  if (state == state_) return;
  state_ = state;
  emit stateChanged(state);
}

}  // namespace radio
