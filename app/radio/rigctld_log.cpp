#include "app/radio/rigctld_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <cerrno>
#include <cstring>

namespace radio {

RigctldLog::~RigctldLog() {
  if (fd_ >= 0) ::close(fd_);
}

bool RigctldLog::open(const QString &path, QString *error) {
  const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  return true;
}

void RigctldLog::received(quint64 client, const QByteArray &line) { write(client, "> " + escapedForLog(line)); }

void RigctldLog::answered(quint64 client, const QByteArray &text) {
  write(client, "< " + escapedForLog(text) + (text.contains("RPRT -") ? " REFUSED" : ""));
}

void RigctldLog::note(quint64 client, const QByteArray &event) { write(client, event); }

void RigctldLog::write(quint64 client, const QByteArray &text) {
  if (fd_ < 0 || written_ >= kMaxBytes) return;
  QByteArray line = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1() + " client " +
                    QByteArray::number(client) + ' ' + text + '\n';
  if (written_ + line.size() >= kMaxBytes) line = "log full: nothing more is written\n";
  written_ += line.size();
  qsizetype done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd_, line.constData() + done, static_cast<size_t>(line.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a full disk loses log lines, never the server
    done += n;
  }
}

QByteArray escapedForLog(const QByteArray &text) {
  QByteArray out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n')
      out += "\\n";
    else if (c == '\\')
      out += "\\\\";
    else if (byte < 0x20 || byte >= 0x7f)
      out += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
    else
      out += c;
  }
  return out;
}

}  // namespace radio
