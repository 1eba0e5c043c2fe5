#include "app/tables/logudp.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include "app/tables/adif.h"
#include "app/tables/database.h"
#include "app/tables/dialogs.h"
#include "app/tables/logcontacts.h"
#include "app/tables/loggedadif.h"

namespace tables {

namespace {

// How long the message window of a logged contact stays up by itself.
constexpr int kMessageSeconds = 8;

QString described(const AdifRecord &record) {
  auto text = [&](const char *name) { return QString::fromUtf8(record.value(name).trimmed()); };
  QString mode = text("SUBMODE");
  if (mode.isEmpty()) mode = text("MODE");
  const QString call = text("CALL").isEmpty() ? QStringLiteral("(no call)") : text("CALL");
  return QStringLiteral("%1 %2 %3 %4 UTC").arg(call, text("BAND"), mode, text("TIME_ON").left(4));
}

}  // namespace

LogUdp::LogUdp(Database *db, Dialogs *dialogs, std::function<void()> logChanged, QObject *parent)
    : QObject(parent), db_(db), dialogs_(dialogs), logChanged_(std::move(logChanged)) {}

bool LogUdp::start(const QHostAddress &address, quint16 port, QString *error) {
  stop();
  auto *socket = new QUdpSocket(this);
  const bool group = address.isMulticast();
  const QHostAddress bindTo = group ? (address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                                          : QHostAddress::AnyIPv4)
                                    : address;
  if (!socket->bind(bindTo, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint) ||
      (group && !socket->joinMulticastGroup(address))) {
    *error = socket->errorString();
    delete socket;
    return false;
  }
  socket_ = socket;
  connect(socket_, &QUdpSocket::readyRead, this, &LogUdp::readPending);
  return true;
}

void LogUdp::stop() {
  delete socket_;
  socket_ = nullptr;
}

void LogUdp::readPending() {
  while (socket_ && socket_->hasPendingDatagrams()) {
    // Read at most one byte beyond the bound, so an oversized datagram is seen as one.
    const QNetworkDatagram datagram = socket_->receiveDatagram(kMaxLogDatagram + 1);
    take(datagram.data());
  }
}

void LogUdp::take(QByteArrayView datagram) {
  const LoggedAdif message = decodeLoggedAdif(datagram);
  if (message.fault == DatagramFault::OtherType) return;
  if (message.fault != DatagramFault::None) {
    ++malformed_;
    return;
  }
  ContactAdder adder(db_->logFiles(), stampZone());
  AdifReader reader(message.adif);
  QStringList said;
  bool changed = false;
  while (std::optional<AdifRecord> record = reader.next()) {
    ImportedEntry imported;
    switch (adder.add(*record, &imported)) {
      case ContactAdder::Outcome::Added:
        ++added_;
        changed = true;
        said << QStringLiteral("Logged %1.").arg(described(*record));
        break;
      case ContactAdder::Outcome::Duplicate:
        ++duplicates_;
        said << QStringLiteral("%1 is in the log already.").arg(described(*record));
        break;
      case ContactAdder::Outcome::Skipped:
        ++malformed_;
        break;
      case ContactAdder::Outcome::Failed:
        said << QStringLiteral("Error writing to Log file: %1 was not logged.").arg(described(*record));
        break;
    }
  }
  if (changed && logChanged_) logChanged_();
  if (!said.isEmpty()) say(said.join(u'\n'));
}

void LogUdp::say(const QString &text) {
  unsaid_ << text;
  if (speaking_) return;  // the window up now shows it when it closes
  speaking_ = true;
  while (!unsaid_.isEmpty()) {
    MessageRequest request;
    request.heading = QStringLiteral("Contact logged");
    request.message = unsaid_.join(u'\n');
    request.seconds = kMessageSeconds;
    unsaid_.clear();
    dialogs_->showMessage(request);
  }
  speaking_ = false;
}

}  // namespace tables
