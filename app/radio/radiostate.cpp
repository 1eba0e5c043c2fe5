#include "app/radio/radiostate.h"

#include "app/radio/radiolink.h"

namespace radio {

namespace {

// The digits as units of 10 Hz; nullopt when one is not a decimal digit.
std::optional<long> decimalValue(const std::array<QChar, 7> &digits) {
  long value = 0;
  for (QChar d : digits) {
    if (d < QLatin1Char('0') || d > QLatin1Char('9')) return std::nullopt;
    value = value * 10 + (d.unicode() - '0');
  }
  return value;
}

}  // namespace

RadioState::RadioState(RadioLink *link, QObject *parent) : QObject(parent) {
  connect(link, &RadioLink::replyReceived, this, &RadioState::apply);
  connect(link, &RadioLink::failed, this, [this] {
    if (link_ != Link::PortClosed) setLink(Link::NoAnswer);
  });
}

QString RadioState::linkText(Link link) {
  switch (link) {
    case Link::PortClosed: return tr("Port not open");
    case Link::NotConnected: return tr("Not connected");
    case Link::Connected: return tr("Connected");
    case Link::NoAnswer: return tr("No answer");
  }
  return {};
}

void RadioState::apply(const Reply &reply) {
  if (!reply.decoded) return;
  replyAge_.start();
  if (reply.digits) {
    digits_ = *reply.digits;
    digitsKnown_ = true;
    if (const std::optional<long> value = decimalValue(digits_)) {
      frequency_ = value;
      frequencyAge_.start();
    }
  }
  if (reply.mode) {
    mode_ = reply.mode;
    modeAge_.start();
  }
  if (reply.coverage) coverage_ = reply.coverage;
  for (size_t r = 0; r < reply.memory.size() && r < memory_.size(); ++r) {
    memory_[r].frequency = reply.memory[r].frequency;
    if (reply.memory[r].mode) memory_[r].mode = *reply.memory[r].mode;
    if (reply.memory[r].coverage) memory_[r].coverage = *reply.memory[r].coverage;
  }
  if (reply.entry) emit fullStatusRead();
  setLink(Link::Connected);
}

void RadioState::setPortClosed() { setLink(Link::PortClosed); }

void RadioState::setPortOpen() { setLink(Link::NotConnected); }

QString RadioState::frequencyText() const { return digitsKnown_ ? entryText(digits_) : QString(); }

std::optional<qint64> RadioState::ageOf(const QElapsedTimer &timer) {
  if (!timer.isValid()) return std::nullopt;
  return timer.elapsed();
}

void RadioState::setLink(Link link) {
  const bool changedLink = link != link_;
  link_ = link;
  emit changed();
  if (changedLink) emit linkChanged(link);
}

}  // namespace radio
