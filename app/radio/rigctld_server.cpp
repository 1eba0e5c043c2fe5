#include "app/radio/rigctld_server.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include "app/radio/frames.h"
#include "app/radio/rigaccess.h"
#include "app/radio/rigctld_protocol.h"

namespace radio {

using rigctld::Command;
using rigctld::Request;

namespace {

// Drops a leading VFO argument ("F VFOA 14074000"); false when it names a VFO
// this transceiver does not have.
bool dropVfo(QList<QByteArray> &args, int wanted) {
  if (args.size() <= wanted) return true;
  if (!rigctld::isOwnVfo(args.front())) return false;
  args.removeFirst();
  return true;
}

}  // namespace

RigctldServer::RigctldServer(RigAccess *rig, QObject *parent)
    : QObject(parent), rig_(rig), server_(new QTcpServer(this)) {
  connect(server_, &QTcpServer::newConnection, this, &RigctldServer::onNewConnection);
}

RigctldServer::~RigctldServer() {
  for (auto &[socket, client] : clients_) {
    if (ptt_) ptt_->release(client.id);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
  }
}

bool RigctldServer::listen(const QHostAddress &address, quint16 port, QString *error) {
  if (server_->listen(address, port)) return true;
  *error = server_->errorString();
  return false;
}

quint16 RigctldServer::port() const { return server_->serverPort(); }

void RigctldServer::onNewConnection() {
  while (QTcpSocket *socket = server_->nextPendingConnection()) {
    if (clientCount() >= kMaxClients) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    Client client;
    client.id = ++lastId_;
    clients_.emplace(socket, client);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
    emit clientCountChanged(clientCount());
  }
}

void RigctldServer::onDisconnected(QTcpSocket *socket) {
  auto it = clients_.find(socket);
  if (it == clients_.end()) return;
  if (ptt_) ptt_->release(it->second.id);
  clients_.erase(it);
  socket->deleteLater();
  emit clientCountChanged(clientCount());
}

void RigctldServer::onReadyRead(QTcpSocket *socket) {
  auto it = clients_.find(socket);
  if (it == clients_.end()) return;
  it->second.buffer += socket->readAll();
  serve(socket);
}

void RigctldServer::serve(QTcpSocket *socket) {
  auto it = clients_.find(socket);
  while (it != clients_.end() && !it->second.busy) {
    Client &client = it->second;
    const qsizetype end = client.buffer.indexOf('\n');
    if (end < 0) {
      if (client.buffer.size() > kMaxLine) {
        // An over-long line: answered once, and dropped up to its end.
        client.buffer.clear();
        if (!client.discarding) socket->write(rigctld::report(Request{}, rigctld::kInvalid));
        client.discarding = true;
      }
      return;
    }
    const QByteArray line = client.buffer.left(end);
    client.buffer.remove(0, end + 1);
    if (client.discarding || line.size() > kMaxLine) {
      if (!client.discarding) socket->write(rigctld::report(Request{}, rigctld::kInvalid));
      client.discarding = false;
      continue;
    }
    if (std::optional<Request> request = rigctld::parseLine(line)) {
      client.busy = true;
      handle(socket, *request);
    }
    it = clients_.find(socket);  // a quit removes the client
  }
}

void RigctldServer::respond(QTcpSocket *socket, const QByteArray &text) {
  auto it = clients_.find(socket);
  if (it == clients_.end()) return;
  socket->write(text);
  it->second.busy = false;
}

int RigctldServer::setPtt(Ptt::Holder who, const QByteArray &arg) {
  // 0 receives; 1, 2 and 3 (keyed from the microphone or data input) all key the one line.
  bool numeric = false;
  const int wanted = arg.toInt(&numeric);
  if (!numeric || wanted < 0 || wanted > 3) return rigctld::kInvalid;
  if (!ptt_) return wanted == 0 ? rigctld::kOk : rigctld::kNotAvailable;
  switch (wanted == 0 ? ptt_->unkey(who) : ptt_->key(who)) {
    case Ptt::Result::Ok: return rigctld::kOk;
    case Ptt::Result::Busy: return rigctld::kRejected;
    case Ptt::Result::NoLine: return rigctld::kNotAvailable;
    case Ptt::Result::NotOpen: return rigctld::kIo;
  }
  return rigctld::kInvalid;
}

void RigctldServer::handle(QTcpSocket *socket, const Request &request) {
  using rigctld::answer;
  using rigctld::report;
  QPointer<QTcpSocket> alive(socket);
  // Answers from the radio come later; the client may be gone by then.
  auto later = [this, alive](QByteArray (*reply)(const Request &, RigAccess *), Request r) {
    return [this, alive, reply, r](bool ok) {
      if (!alive) return;
      respond(alive, ok ? reply(r, rig_) : report(r, rigctld::kTimeout));
      serve(alive);
    };
  };
  auto done = [](const Request &r, RigAccess *) { return report(r, rigctld::kOk); };
  QList<QByteArray> args = request.args;

  switch (request.command) {
    case Command::GetFreq:
      rig_->refresh(later(
          [](const Request &r, RigAccess *rig) {
            if (!rig->frequency()) return report(r, rigctld::kIo);
            return answer(r, {{"Frequency", QByteArray::number(*rig->frequency() * 10)}});
          },
          request));
      return;
    case Command::GetMode:
      rig_->refresh(later(
          [](const Request &r, RigAccess *rig) {
            const auto mode = rig->mode() ? rigctld::protocolMode(*rig->mode()) : std::nullopt;
            if (!mode) return report(r, rigctld::kIo);
            return answer(r, {{"Mode", mode->name}, {"Passband", QByteArray::number(mode->passband)}});
          },
          request));
      return;
    case Command::SetFreq: {
      const std::optional<long> tenHz = dropVfo(args, 1) && args.size() == 1 ? rigctld::parseHz(args[0]) : std::nullopt;
      if (!tenHz) return respond(socket, report(request, rigctld::kInvalid));
      rig_->submit(*frequencyFrame(*tenHz), kFrequencyReplyLength, later(done, request));
      return;
    }
    case Command::SetMode: {
      if (!dropVfo(args, 2) || args.isEmpty() || args.size() > 2) return respond(socket, report(request, rigctld::kInvalid));
      bool numeric = true;
      const long passband = args.size() == 2 ? args[1].toLong(&numeric) : 0;
      const auto mode = numeric ? rigctld::transceiverMode(args[0], passband, rig_->mode().value_or(QString()))
                                : std::nullopt;
      if (!mode) return respond(socket, report(request, rigctld::kInvalid));
      rig_->submit(*modeFrame(mode->code), kShortStatusLength, later(done, request));
      return;
    }
    case Command::GetVfo:
      return respond(socket, answer(request, {{"VFO", "VFOA"}}));
    case Command::SetVfo:
      return respond(socket, report(request, args.size() == 1 && rigctld::isOwnVfo(args[0]) ? rigctld::kOk
                                                                                          : rigctld::kInvalid));
    case Command::GetPtt:
      return respond(socket, answer(request, {{"PTT", ptt_ && ptt_->keyed() ? "1" : "0"}}));
    case Command::SetPtt:
      if (!dropVfo(args, 1) || args.size() != 1) return respond(socket, report(request, rigctld::kInvalid));
      return respond(socket, report(request, setPtt(clients_.at(socket).id, args[0])));
    case Command::GetSplitVfo:
      return respond(socket, answer(request, {{"Split", "0"}, {"TX VFO", "VFOA"}}));
    case Command::SetSplitVfo:
      if (!dropVfo(args, 2) || args.isEmpty()) return respond(socket, report(request, rigctld::kInvalid));
      return respond(socket, report(request, args[0] == "0" ? rigctld::kOk : rigctld::kNotAvailable));
    // Clients ask these before they tune: the panel is never locked and the
    // transceiver is on while it answers.
    case Command::GetLockMode:
      return respond(socket, answer(request, {{"Locked", "0"}}));
    case Command::GetPowerStat:
      return respond(socket, answer(request, {{"Power Status", "1"}}));
    case Command::CheckVfo:
      return respond(socket, answer(request, {{"ChkVFO", "0"}}));
    case Command::DumpState:
      return respond(socket, rigctld::dumpState());
    case Command::Quit:
      socket->disconnectFromHost();
      onDisconnected(socket);
      return;
    case Command::Unsupported:
      return respond(socket, report(request, rigctld::kNotAvailable));
    case Command::Invalid:
      return respond(socket, report(request, rigctld::kInvalid));
  }
}

}  // namespace radio
