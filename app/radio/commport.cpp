#include "app/radio/commport.h"

#include "app/radio/frequency.h"

namespace radio {

QString portDevice(const QString &argument) {
  const QString arg = argument.trimmed();
  if (arg.isEmpty()) return QStringLiteral("/dev/ttyS0");
  if (arg.contains('/')) return arg;
  const int number = static_cast<int>(leadingNumber(arg));
  return number >= 1 ? QStringLiteral("/dev/ttyS%1").arg(number - 1) : QString();
}

QString portLabel(const QString &argument) {
  const QString arg = argument.trimmed();
  if (arg.isEmpty()) return QStringLiteral("1");
  if (arg.contains('/')) return arg;
  return QString::number(static_cast<int>(leadingNumber(arg)));
}

CommPort::CommPort(const QString &device, QObject *parent) : SerialLink(parent), device_(device) {
  connect(&port_, &QSerialPort::readyRead, this, &CommPort::onReadyRead);
  connect(&port_, &QSerialPort::bytesWritten, this, &CommPort::onBytesWritten);
  connect(&port_, &QSerialPort::errorOccurred, this, &CommPort::onError);
}

bool CommPort::open(QString *error) {
  if (device_.isEmpty()) {
    *error = QStringLiteral("no such serial port");
    return false;
  }
  port_.setPortName(device_);
  port_.setBaudRate(4800);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::TwoStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) {
    *error = port_.errorString();
    port_.clearError();
    return false;
  }
  return true;
}

void CommPort::close() {
  closing_ = false;  // a loss not yet reported is no news to whoever closes
  if (port_.isOpen()) port_.close();
  port_.clearError();
}

bool CommPort::isOpen() const { return port_.isOpen(); }

// A pseudo-terminal has no modem lines: setting one fails there with
// "Inappropriate ioctl for device", which is harmless, so the port stays open.
void CommPort::setDtr(bool on) {
  settingLine_ = true;
  if (port_.isOpen()) port_.setDataTerminalReady(on);
  port_.clearError();
  settingLine_ = false;
}

void CommPort::setRts(bool on) {
  settingLine_ = true;
  if (port_.isOpen()) port_.setRequestToSend(on);
  port_.clearError();
  settingLine_ = false;
}

void CommPort::setReceiveThreshold(int bytes) { receiveThreshold_ = bytes; }

void CommPort::setSendThreshold(int bytes) { sendThreshold_ = bytes; }

bool CommPort::output(const QByteArray &bytes) {
  if (!port_.isOpen()) return false;
  return port_.write(bytes) == bytes.size();
}

QByteArray CommPort::input() { return port_.isOpen() ? port_.readAll() : QByteArray(); }

void CommPort::onReadyRead() {
  if (receiveThreshold_ > 0 && port_.bytesAvailable() >= receiveThreshold_) emit commEvent(kReceived);
}

void CommPort::onBytesWritten() {
  if (sendThreshold_ > 0 && port_.bytesToWrite() == 0) emit commEvent(kSent);
}

void CommPort::onError(QSerialPort::SerialPortError error) {
  if (settingLine_ || closing_ || !port_.isOpen()) return;
  // The port's own text may be left from an earlier call (a hung-up terminal
  // reads nothing without setting errno): the reason is named here.
  QString why;
  switch (error) {
    case QSerialPort::ResourceError: why = tr("the device is gone or no longer usable"); break;
    case QSerialPort::ReadError: why = tr("reading failed"); break;
    case QSerialPort::WriteError: why = tr("writing failed"); break;
    case QSerialPort::DeviceNotFoundError: why = tr("the device is gone"); break;
    default: return;
  }
  // The port is inside its own notifier here; it is closed once that is over.
  closing_ = true;
  QMetaObject::invokeMethod(this, [this, why] { closeLost(why); }, Qt::QueuedConnection);
}

void CommPort::closeLost(const QString &why) {
  if (!closing_) return;  // closed meanwhile
  close();
  emit lost(why);
}

}  // namespace radio
