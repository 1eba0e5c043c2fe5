#include "app/radio/rigctld_server.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

#include "app/radio/rigaccess.h"

namespace radio {

using rigctld::Request;
using rigctld::Step;

struct RigctldServer::Client {
  Client(quint64 id, QTcpSocket *socket, const FrequencyRange &range) : id(id), socket(socket), session(range) {}

  quint64 id;
  QTcpSocket *socket;
  rigctld::Session session;
  QList<Request> pending;   // the rest of the line being served
  QTimer idle;
  bool busy = false;        // a request waits for the radio
  quint64 ticket = 0;       // the client's command in RigAccess's queue, or 0
  bool waitedForState = false;  // the front request has had its status read
  bool discarding = false;  // the rest of an over-long line is dropped
  bool scheduled = false;   // a turn is queued in the event loop
  bool closing = false;     // nothing more is served
  bool dropped = false;     // the connection is gone, the client about to be forgotten
};

RigctldServer::RigctldServer(RigAccess *rig, Settings settings, QObject *parent)
    : QObject(parent), rig_(rig), settings_(std::move(settings)), server_(new QTcpServer(this)) {
  connect(server_, &QTcpServer::newConnection, this, &RigctldServer::onNewConnection);
  retry_.setInterval(settings_.retryMs);
  connect(&retry_, &QTimer::timeout, this, [this] {
    QString error;
    tryListen(&error);
  });
}

RigctldServer::~RigctldServer() {
  for (auto &[id, client] : clients_) {
    if (ptt_) ptt_->release(id);
    client->socket->disconnect(this);
    client->socket->abort();
    client->socket->deleteLater();
  }
}

bool RigctldServer::listen(const QHostAddress &address, quint16 port, QString *error) {
  if (!settings_.logPath.isEmpty() && !log_.isOpen() && !log_.open(settings_.logPath, error)) {
    setStatus(tr("rigctld off: no log %1").arg(*error));
    return false;
  }
  address_ = address;
  wantedPort_ = port;
  return tryListen(error);
}

bool RigctldServer::tryListen(QString *error) {
  if (server_->isListening() || server_->listen(address_, wantedPort_)) {
    retry_.stop();
    setStatus(QString());
    return true;
  }
  *error = server_->errorString();
  if (server_->serverError() == QAbstractSocket::AddressInUseError) {
    setStatus(tr("rigctld port %1 in use").arg(wantedPort_));
    retry_.start();
  } else {
    setStatus(tr("rigctld port %1: %2").arg(wantedPort_).arg(*error));
  }
  return false;
}

void RigctldServer::setStatus(const QString &status) {
  if (status == status_) return;
  status_ = status;
  emit statusChanged(status_);
}

bool RigctldServer::isListening() const { return server_->isListening(); }

quint16 RigctldServer::port() const { return server_->serverPort(); }

RigctldServer::Client *RigctldServer::find(quint64 id) const {
  auto it = clients_.find(id);
  return it == clients_.end() ? nullptr : it->second.get();
}

void RigctldServer::onNewConnection() {
  while (QTcpSocket *socket = server_->nextPendingConnection()) {
    const quint64 id = nextId_++;
    if (clientCount() >= kMaxClients) {
      const QByteArray why = "refused: " + QByteArray::number(kMaxClients) + " clients are connected";
      log_.note(id, why);
      socket->write("RPRT -6 busy: " + QByteArray::number(kMaxClients) +
                    " rigctld clients are connected, try again later\n");
      connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      socket->disconnectFromHost();
      continue;
    }
    socket->setParent(this);
    socket->setReadBufferSize(kReadBuffer);
    auto client = std::make_unique<Client>(id, socket, settings_.range);
    client->idle.setSingleShot(true);
    client->idle.setInterval(settings_.idleSeconds * 1000);
    connect(&client->idle, &QTimer::timeout, this, [this, id] {
      if (Client *c = find(id)) drop(*c, "dropped: idle for " + QByteArray::number(settings_.idleSeconds) + " s");
    });
    client->idle.start();
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { serve(id); });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] {
      if (Client *c = find(id)) drop(*c, "closed");
    });
    clients_.emplace(id, std::move(client));
    log_.note(id, "connected from " + socket->peerAddress().toString().toLatin1() + ':' +
                      QByteArray::number(socket->peerPort()));
    emit clientCountChanged(clientCount());
  }
}

void RigctldServer::schedule(quint64 id) {
  Client *client = find(id);
  if (!client || client->scheduled || client->closing) return;
  client->scheduled = true;
  QMetaObject::invokeMethod(this, [this, id] { serve(id); }, Qt::QueuedConnection);
}

void RigctldServer::serve(quint64 id) {
  Client *client = find(id);
  if (!client) return;
  client->scheduled = false;
  int served = 0;
  while (!client->busy && !client->closing) {
    if (client->pending.isEmpty()) {
      if (!takeLine(*client)) return;
      continue;
    }
    if (served++ == kRequestsPerTurn) {
      schedule(id);  // the others and the panel get their turn first
      return;
    }
    execute(*client);
  }
}

bool RigctldServer::takeLine(Client &client) {
  QTcpSocket *socket = client.socket;
  for (;;) {
    if (!socket->canReadLine()) {
      if (socket->bytesAvailable() <= kMaxLine) return false;
      // An over-long line: answered once, and dropped up to its end.
      socket->read(socket->bytesAvailable());
      if (!client.discarding) send(client, rigctld::report(Request{}, rigctld::kInvalid));
      client.discarding = true;
      return false;
    }
    QByteArray line = socket->readLine(kMaxLine + 1);
    if (!line.endsWith('\n')) {
      if (!client.discarding) send(client, rigctld::report(Request{}, rigctld::kInvalid));
      client.discarding = true;
      continue;
    }
    if (client.discarding) {
      client.discarding = false;  // that was the over-long line's end
      continue;
    }
    line.chop(1);
    client.idle.start();
    log_.received(client.id, line);
    client.pending = rigctld::parseLine(line);
    return true;
  }
}

void RigctldServer::execute(Client &client) {
  const Request request = client.pending.front();
  const quint64 id = client.id;
  const Step step = client.session.serve(request, view());
  switch (step.kind) {
    case Step::Kind::Answer:
    case Step::Kind::Close:
      client.pending.removeFirst();
      client.waitedForState = false;
      send(client, step.text);
      if (step.kind == Step::Kind::Close && !client.closing) {
        client.closing = true;
        client.socket->disconnectFromHost();  // after the answer has gone out
      }
      if (step.readsState) refreshIfStale();
      return;
    case Step::Kind::NeedState:
      if (client.waitedForState) {
        // The status read came back without a usable state.
        client.pending.removeFirst();
        client.waitedForState = false;
        send(client, rigctld::report(request, rigctld::kIo));
        return;
      }
      client.busy = client.waitedForState = true;
      rig_->refresh([this, id](bool) {
        if (Client *c = find(id)) {
          c->busy = false;
          schedule(id);
        }
      });
      return;
    case Step::Kind::Send:
      client.pending.removeFirst();
      client.busy = true;
      client.ticket = rig_->submit(step.frame, step.replyLength, [this, id, request](bool ok) {
        Client *c = find(id);
        if (!c) return;
        c->busy = false;
        c->ticket = 0;
        send(*c, rigctld::Session::executed(request, ok));
        schedule(id);
      });
      return;
    case Step::Kind::Key:
      client.pending.removeFirst();
      send(client, rigctld::report(request, key(id, step.key)));
      return;
  }
}

int RigctldServer::key(quint64 id, bool on) {
  if (!ptt_) return on ? rigctld::kNotAvailable : rigctld::kOk;
  switch (on ? ptt_->key(id) : ptt_->unkey(id)) {
    case Ptt::Result::Ok: return rigctld::kOk;
    case Ptt::Result::Busy: return rigctld::kRejected;
    case Ptt::Result::NoLine: return rigctld::kNotAvailable;
    case Ptt::Result::NotOpen: return rigctld::kIo;
  }
  return rigctld::kInvalid;
}

void RigctldServer::send(Client &client, const QByteArray &text) {
  if (client.closing) return;
  log_.answered(client.id, text);
  client.socket->write(text);
  if (client.socket->bytesToWrite() > kMaxUnsent)
    drop(client, "dropped: more than " + QByteArray::number(kMaxUnsent) + " bytes of answers unread");
}

void RigctldServer::drop(Client &client, const QByteArray &why) {
  if (client.dropped) return;
  log_.note(client.id, why);
  client.dropped = client.closing = true;
  client.idle.stop();
  // A set that has not gone out is forgotten with its client: clients that
  // come and go cannot pile work up on the link.
  if (client.ticket != 0) rig_->cancel(client.ticket);
  // A client gone while keyed unkeys at once.
  if (ptt_) ptt_->release(client.id);
  client.socket->disconnect(this);
  client.socket->abort();
  // Forgotten from the event loop: the caller may still hold the client.
  const quint64 id = client.id;
  QMetaObject::invokeMethod(this, [this, id] { forget(id); }, Qt::QueuedConnection);
}

void RigctldServer::forget(quint64 id) {
  auto it = clients_.find(id);
  if (it == clients_.end()) return;
  it->second->socket->deleteLater();
  clients_.erase(it);
  emit clientCountChanged(clientCount());
}

void RigctldServer::refreshIfStale() {
  const int staleMs = settings_.staleMs ? settings_.staleMs() : kDefaultStaleMs;
  const rigctld::RadioView radio = view();
  if (radio.ageMs < 0 || radio.ageMs >= staleMs || radio.fault != rigctld::kOk) rig_->refresh({});
}

rigctld::RadioView RigctldServer::view() const {
  const RadioState &state = rig_->state();
  rigctld::RadioView view;
  if (const std::optional<long> tenHz = state.frequency()) view.hz = *tenHz * 10;
  view.caption = state.mode();
  if (state.link() == RadioState::Link::PortClosed)
    view.fault = rigctld::kIo;
  else if (!state.reachable())
    view.fault = rigctld::kTimeout;
  const std::optional<qint64> frequencyAge = state.frequencyAgeMs(), modeAge = state.modeAgeMs();
  if (frequencyAge && modeAge) view.ageMs = std::max(*frequencyAge, *modeAge);
  view.keyed = ptt_ && ptt_->keyed();
  return view;
}

}  // namespace radio
