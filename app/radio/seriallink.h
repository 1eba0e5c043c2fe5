// The serial line to the transceiver, as the radio side uses it.
//
// The link raises commEvent(kReceived) when at least the receive threshold of
// bytes is waiting, and commEvent(kSent) when a written frame has left the
// output buffer (with a send threshold above 0). It raises lost() when the
// line fails while open (the device went away or reported an I/O error); the
// line is closed by then. Implementations: CommPort (a real port) and, in the
// tests, a fake.
#ifndef TESSALY_APP_RADIO_SERIALLINK_H
#define TESSALY_APP_RADIO_SERIALLINK_H

#include <QByteArray>
#include <QObject>
#include <QString>

namespace radio {

class SerialLink : public QObject {
  Q_OBJECT
public:
  static constexpr int kSent = 1;
  static constexpr int kReceived = 2;

  using QObject::QObject;
  ~SerialLink() override = default;

  // Opens the line with its fixed settings. On failure returns false and sets
  // `*error` to a one-line reason.
  virtual bool open(QString *error) = 0;
  // Closes the line; harmless when it is not open.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Raises or drops DTR. Lines without modem signals ignore it.
  virtual void setDtr(bool on) = 0;
  // Raises or drops RTS, which may key a transmitter. Lines without modem
  // signals ignore it.
  virtual void setRts(bool on) = 0;
  // Bytes that must be waiting before commEvent(kReceived); 0 turns it off.
  virtual void setReceiveThreshold(int bytes) = 0;
  // 0 turns commEvent(kSent) off; any other value turns it on.
  virtual void setSendThreshold(int bytes) = 0;
  // Queues `bytes` for sending. Returns false when the line is not open.
  virtual bool output(const QByteArray &bytes) = 0;
  // Returns and removes every byte waiting.
  virtual QByteArray input() = 0;

signals:
  void commEvent(int event);
  void lost(const QString &why);
};

}  // namespace radio

#endif
