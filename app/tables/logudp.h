// LogUdp: contacts logged by the weak-signal programs, taken from their
// "Logged ADIF" datagrams (loggedadif.h) on a UDP port, or a multicast
// group when the address is one, and added to the station log with the
// duplicate rule of every import (ContactAdder). The message window says
// what each datagram added; datagrams that are not the protocol's, or are
// cut short or too long, are counted and dropped.
#ifndef TESSALY_APP_TABLES_LOGUDP_H
#define TESSALY_APP_TABLES_LOGUDP_H

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <functional>

class QUdpSocket;

namespace tables {

class Database;
class Dialogs;

class LogUdp : public QObject {
  Q_OBJECT
public:
  // The port the weak-signal programs send to unless told otherwise.
  static constexpr quint16 kDefaultPort = 2237;

  // Adds to the log of `db` and speaks through `dialogs`; both must outlive
  // the object. `logChanged` runs after entries were added.
  LogUdp(Database *db, Dialogs *dialogs, std::function<void()> logChanged, QObject *parent = nullptr);

  // Listens on `address` and `port` (joining the group when the address is
  // a multicast one), sharing the port with other listeners. False, with
  // the reason in `*error`, when the socket cannot be had.
  bool start(const QHostAddress &address, quint16 port, QString *error);
  void stop();
  bool listening() const { return socket_ != nullptr; }

  // Handles one datagram as if it had arrived.
  void take(QByteArrayView datagram);

  int added() const { return added_; }
  int duplicates() const { return duplicates_; }
  int malformed() const { return malformed_; }

private:
  void readPending();
  void say(const QString &text);

  Database *db_;
  Dialogs *dialogs_;
  std::function<void()> logChanged_;
  QUdpSocket *socket_ = nullptr;
  int added_ = 0, duplicates_ = 0, malformed_ = 0;
  bool speaking_ = false;   // the message window is up
  QStringList unsaid_;      // what came while it was
};

}  // namespace tables

#endif
