// RigctldServer: other ham programs reach the transceiver through this program.
//
// A TCP server speaking the rigctld protocol (rigctld_protocol.h). Each client's
// lines are served in order, one at a time; commands that need the transceiver
// wait in RigAccess's queue behind the panel's own. A client can never hold up
// the panel or the other clients: a line longer than kMaxLine is answered with
// an error and dropped, a client that goes away mid-command is forgotten (its
// command still finishes on the wire), and at most kMaxClients are served.
// With a keying line (setPtt), "T 1" keys the transmitter for that client and
// only it may unkey; a client that goes away while keyed unkeys at once.
#ifndef TESSALY_APP_RADIO_RIGCTLD_SERVER_H
#define TESSALY_APP_RADIO_RIGCTLD_SERVER_H

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <map>

#include "app/radio/ptt.h"

class QTcpServer;
class QTcpSocket;

namespace radio {

class RigAccess;
namespace rigctld {
struct Request;
}

class RigctldServer : public QObject {
  Q_OBJECT
public:
  static constexpr quint16 kDefaultPort = 4532;
  static constexpr int kMaxLine = 1024;
  static constexpr int kMaxClients = 16;

  // `rig` must outlive the server.
  explicit RigctldServer(RigAccess *rig, QObject *parent = nullptr);
  ~RigctldServer() override;

  // Starts listening; false with `*error` set when the address cannot be had.
  bool listen(const QHostAddress &address, quint16 port, QString *error);
  quint16 port() const;
  // Serves "T" and "t" through `ptt`; without it "t" is 0 and "T 1" refused.
  void setPtt(Ptt *ptt) { ptt_ = ptt; }
  int clientCount() const { return static_cast<int>(clients_.size()); }

signals:
  void clientCountChanged(int count);

private:
  struct Client {
    Ptt::Holder id = 0;  // who keys, as the keying knows the client
    QByteArray buffer;
    bool busy = false;        // a command is being served
    bool discarding = false;  // the rest of an over-long line is dropped
  };

  void onNewConnection();
  void onReadyRead(QTcpSocket *socket);
  void onDisconnected(QTcpSocket *socket);
  // Serves the client's complete lines until one has to wait for the radio.
  void serve(QTcpSocket *socket);
  void handle(QTcpSocket *socket, const rigctld::Request &request);
  // Keys (1 .. 3) or unkeys (0) for `who`; the protocol's error code.
  int setPtt(Ptt::Holder who, const QByteArray &arg);
  // Sends `text`; the client's next line may be served.
  void respond(QTcpSocket *socket, const QByteArray &text);

  RigAccess *rig_;
  QTcpServer *server_;
  QPointer<Ptt> ptt_;
  Ptt::Holder lastId_ = Ptt::kPanel;
  std::map<QTcpSocket *, Client> clients_;
};

}  // namespace radio

#endif
