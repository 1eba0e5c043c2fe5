// RigctldServer: other ham programs reach the transceiver through this program.
//
// A TCP server speaking the rigctld protocol (rigctld_protocol.h); what each
// command does is rigctld::Session's. Reads answer at once from the radio's
// state; when that state is older than the stale time a status read is queued
// behind the answer. Sets wait in RigAccess's queue behind the panel's own and
// answer once the radio has carried them out; a client's later commands wait
// for them, in order.
//
// No client can harm the program or the others. Each client's lines are
// served in a loop, at most kRequestsPerTurn in one go before the others get a
// turn; a line longer than kMaxLine is answered with an error and dropped; at
// most kReadBuffer bytes of a client's input are held; a client with more
// than kMaxUnsent bytes of answers it does not read, or silent for the idle
// time, is disconnected; a client that goes away mid-command is forgotten (its
// command still finishes on the wire); beyond kMaxClients a newcomer is told
// so in one line and closed.
// With a keying line (setPtt), "T 1" keys the transmitter for that client and
// only it may unkey; a client that goes away while keyed unkeys at once. A port that cannot be had is tried again every
// kRetryMs, and status() says why the server is not listening.
#ifndef TESSALY_APP_RADIO_RIGCTLD_SERVER_H
#define TESSALY_APP_RADIO_RIGCTLD_SERVER_H

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "app/radio/freqrange.h"
#include "app/radio/ptt.h"
#include "app/radio/rigctld_log.h"
#include "app/radio/rigctld_session.h"

class QTcpServer;
class QTcpSocket;

namespace radio {

class RigAccess;

class RigctldServer : public QObject {
  Q_OBJECT
public:
  static constexpr quint16 kDefaultPort = 4532;
  static constexpr int kMaxLine = 1024;
  static constexpr qint64 kReadBuffer = 16 * 1024;
  static constexpr int kMaxClients = 32;
  static constexpr qint64 kMaxUnsent = 64 * 1024;
  static constexpr int kRequestsPerTurn = 64;
  static constexpr int kDefaultIdleSeconds = 600;
  static constexpr int kRetryMs = 10000;
  static constexpr int kDefaultStaleMs = 1000;

  struct Settings {
    FrequencyRange range;                 // what set_freq accepts and dump_state advertises
    int idleSeconds = kDefaultIdleSeconds;  // a client silent this long is dropped
    int retryMs = kRetryMs;               // a port in use is tried again this often
    QString logPath;                      // --rigctld-log; "" keeps no log
    // The age past which a read queues a status read; empty: kDefaultStaleMs.
    std::function<int()> staleMs;
  };

  // `rig` must outlive the server.
  RigctldServer(RigAccess *rig, Settings settings, QObject *parent = nullptr);
  ~RigctldServer() override;

  // Starts listening. False with `*error` set when the address cannot be had
  // (the log file not opening is one); a port in use is then tried again
  // every `settings.retryMs` until it is free.
  bool listen(const QHostAddress &address, quint16 port, QString *error);
  bool isListening() const;
  quint16 port() const;
  // "" while listening, else why not ("rigctld port 4532 in use").
  QString status() const { return status_; }
  // Serves "T" and "t" through `ptt`; without it "t" is 0 and "T 1" refused.
  void setPtt(Ptt *ptt) { ptt_ = ptt; }
  int clientCount() const { return static_cast<int>(clients_.size()); }

signals:
  void clientCountChanged(int count);
  void statusChanged(const QString &status);

private:
  struct Client;

  bool tryListen(QString *error);
  void setStatus(const QString &status);
  void onNewConnection();
  Client *find(quint64 id) const;
  // Serves the client's requests until one waits for the radio, its turn is
  // over or its input has no complete line.
  void serve(quint64 id);
  void schedule(quint64 id);
  bool takeLine(Client &client);
  // Serves the client's next request.
  void execute(Client &client);
  void send(Client &client, const QByteArray &text);
  // Closes the connection at once; the client is forgotten from the event loop.
  void drop(Client &client, const QByteArray &why);
  void forget(quint64 id);
  void refreshIfStale();
  // Keys (`on`) or unkeys for client `id`; the protocol's error code.
  int key(quint64 id, bool on);
  // The radio's state as clients read it: the one place that asks for it.
  rigctld::RadioView view() const;

  RigAccess *rig_;
  Settings settings_;
  QTcpServer *server_;
  QTimer retry_;
  QHostAddress address_;
  quint16 wantedPort_ = 0;
  QString status_;
  RigctldLog log_;
  QPointer<Ptt> ptt_;
  quint64 nextId_ = Ptt::kPanel + 1;  // client ids, never the panel's
  std::map<quint64, std::unique_ptr<Client>> clients_;
};

}  // namespace radio

#endif
