// The window on tessaly-rig with its rigctld server listening on a free port,
// and the clients the rigctld tests use: Qt sockets that read what they are
// sent, and a plain socket that never reads.
#ifndef TESSALY_TESTS_APP_RIGCTLD_FIXTURE_H
#define TESSALY_TESTS_APP_RIGCTLD_FIXTURE_H

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostAddress>
#include <QTcpSocket>
#include <cerrno>
#include <memory>

#include "app/radio/rigctld_server.h"
#include "tests/app/radio/rig_fixture.h"

class RigctldTest : public RigFixture {
protected:
  void startServer(const QStringList &rigOptions = {}, radio::RigctldServer::Settings settings = {}) {
    start(rigOptions);
    QString error;
    ASSERT_TRUE(window->startRigctld(QHostAddress::LocalHost, 0, &error, std::move(settings))) << error.toStdString();
    port = window->rigctld()->port();
  }
  std::unique_ptr<QTcpSocket> client() {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 3000));
    return socket;
  }
  // Sends `text` (a line end added unless it has one) and waits for an
  // answer of `lines` lines.
  static QByteArray ask(QTcpSocket &socket, const QByteArray &text, int lines = 1) {
    socket.write(text.endsWith('\n') ? text : text + '\n');
    return readLines(socket, lines);
  }
  static QByteArray readLines(QTcpSocket &socket, int lines, int timeoutMs = 5000) {
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
          got += socket.readAll();
          return got.count('\n') >= lines;
        },
        timeoutMs);
    return got + socket.readAll();
  }
  QStringList rx() { return logged("rx"); }

  quint16 port = 0;
};

// A client that sends and never reads: a plain non-blocking socket, so that
// nothing in this process drains the server's answers.
class DeafClient {
public:
  explicit DeafClient(quint16 port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (connected_) ::fcntl(fd_, F_SETFL, O_NONBLOCK);
  }
  ~DeafClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  DeafClient(const DeafClient &) = delete;
  DeafClient &operator=(const DeafClient &) = delete;

  bool connected() const { return connected_; }
  // Writes what the socket takes of `data` from `offset`; false once the
  // server has closed the connection.
  bool push(const QByteArray &data, qsizetype *offset) {
    while (*offset < data.size()) {
      const ssize_t n = ::send(fd_, data.constData() + *offset, data.size() - *offset, MSG_NOSIGNAL);
      if (n > 0) {
        *offset += n;
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      return false;
    }
    return true;
  }

private:
  int fd_ = -1;
  bool connected_ = false;
};

#endif
