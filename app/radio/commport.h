// CommPort: the transceiver's serial port, 4800 baud, 8 data bits, no parity,
// 2 stop bits, no flow control. A read, write or resource error of the open
// port (a USB adapter pulled) closes it and raises lost(); failing to set a
// modem line is not such an error.
#ifndef TESSALY_APP_RADIO_COMMPORT_H
#define TESSALY_APP_RADIO_COMMPORT_H

#include <QSerialPort>

#include "app/radio/seriallink.h"

namespace radio {

// The device of a command-line port argument: blank is port 1; text with a
// "/" is a path used as it is; otherwise the leading number N names
// /dev/ttyS<N-1> (0 or no number gives "", a port that cannot be opened).
QString portDevice(const QString &argument);
// What the panel shows as the port in use: the number, or the path as given.
QString portLabel(const QString &argument);

class CommPort : public SerialLink {
  Q_OBJECT
public:
  explicit CommPort(const QString &device, QObject *parent = nullptr);

  bool open(QString *error) override;
  void close() override;
  bool isOpen() const override;
  void setDtr(bool on) override;
  void setRts(bool on) override;
  void setReceiveThreshold(int bytes) override;
  void setSendThreshold(int bytes) override;
  bool output(const QByteArray &bytes) override;
  QByteArray input() override;

private:
  void onReadyRead();
  void onBytesWritten();
  void onError(QSerialPort::SerialPortError error);
  void closeLost(const QString &why);

  QString device_;
  QSerialPort port_;
  int receiveThreshold_ = 0;
  int sendThreshold_ = 0;
  bool settingLine_ = false;  // a modem line is being set: its failure is no loss
  bool closing_ = false;      // a loss was seen; the port closes from the event loop
};

}  // namespace radio

#endif
