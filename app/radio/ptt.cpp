#include "app/radio/ptt.h"

#include "app/radio/seriallink.h"

namespace radio {

std::optional<Ptt::Line> Ptt::parseLine(const QString &text, QString *why) {
  if (text == QLatin1String("none")) return Line::None;
  if (text == QLatin1String("rts")) return Line::Rts;
  if (text == QLatin1String("dtr"))
    *why = tr("--ptt dtr is refused: the link holds DTR on while the port is open, so keying by it would "
              "transmit the whole time; key by RTS");
  else
    *why = tr("--ptt takes none or rts, not \"%1\"").arg(text);
  return std::nullopt;
}

Ptt::Ptt(SerialLink *port, QObject *parent) : QObject(parent), port_(port) {
  timeout_.setSingleShot(true);
  timeout_.setInterval(kDefaultTimeoutMs);
  connect(&timeout_, &QTimer::timeout, this, [this] {
    forceUnkey(tr("transmit time-out: unkeyed after %n second(s)", nullptr, timeout_.interval() / 1000));
  });
  connect(port_, &SerialLink::lost, this, [this] { forceUnkey(tr("serial port lost: unkeyed")); });
}

Ptt::~Ptt() {
  if (keyed()) port_->setRts(false);
}

Ptt::Result Ptt::key(Holder who) {
  if (line_ == Line::None) return Result::NoLine;
  if (holder_) return *holder_ == who ? Result::Ok : Result::Busy;
  if (!port_->isOpen()) return Result::NotOpen;
  holder_ = who;
  port_->setRts(true);
  timeout_.start();
  emit keyedChanged(true);
  return Result::Ok;
}

Ptt::Result Ptt::unkey(Holder who) {
  if (!holder_) return Result::Ok;  // receiving already
  if (*holder_ != who && who != kPanel) return Result::Busy;
  const bool theirs = *holder_ == who;
  drop();
  if (!theirs) emit notice(tr("unkeyed from the panel"));
  return Result::Ok;
}

void Ptt::release(Holder who) {
  if (holder_ && *holder_ == who) forceUnkey(tr("the program that keyed went away: unkeyed"));
}

void Ptt::forceUnkey(const QString &why) {
  if (!holder_) return;
  drop();
  emit notice(why);
}

void Ptt::lineOpened() {
  if (line_ == Line::Rts) port_->setRts(keyed());
}

void Ptt::drop() {
  holder_.reset();
  timeout_.stop();
  port_->setRts(false);
  emit keyedChanged(false);
}

QString Ptt::resultText(Result result) {
  switch (result) {
    case Result::Ok: return {};
    case Result::Busy: return tr("another program keyed the transmitter");
    case Result::NoLine: return tr("no keying line: start with --ptt rts");
    case Result::NotOpen: return tr("the serial port is not open");
  }
  return {};
}

}  // namespace radio
