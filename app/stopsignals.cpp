#include "app/stopsignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace {

// The write end of the pair, for the handler; -1 when no object listens.
volatile sig_atomic_t writeFd = -1;

}  // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) return;
  writeFd = fds_[0];
  notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::readSignals);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, &oldTerm_);
  sigaction(SIGINT, &sa, &oldInt_);
}

StopSignals::~StopSignals() {
  if (fds_[0] < 0) return;
  sigaction(SIGTERM, &oldTerm_, nullptr);
  sigaction(SIGINT, &oldInt_, nullptr);
  writeFd = -1;
  delete notifier_;
  ::close(fds_[0]);
  ::close(fds_[1]);
}

void StopSignals::onSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  if (writeFd >= 0) (void)!::write(writeFd, &byte, 1);
  errno = saved;
}

void StopSignals::readSignals() {
  char bytes[16];
  ssize_t n;
  while ((n = ::read(fds_[1], bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < n; ++i) emit received(bytes[i]);
}
