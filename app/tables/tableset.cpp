#include "app/tables/tableset.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <span>

#include "app/tables/backup.h"

namespace tables {

namespace {

constexpr qint64 kMarkerMax = 256;

bool syncFolder() {
  const int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  const bool synced = ::fsync(dir) == 0;
  ::close(dir);
  return synced;
}

// A staging folder's name: ours, in this folder, a real folder (no link).
bool isStaging(const QByteArray &name) {
  struct stat st;
  return name.startsWith(kRestoreStaging) && name.size() < kMarkerMax && !name.contains('/') && name != "." &&
         ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes the marker through a temporary, synced, so that it is whole or absent.
bool writeMarker(const QByteArray &staging) {
  const QByteArray temporary = QByteArray(kRestoreMarker) + ".tmp";
  ::unlink(temporary.constData());
  const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const QByteArray line = staging + '\n';
  const bool written = ::write(fd, line.constData(), line.size()) == line.size() && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || ::rename(temporary.constData(), kRestoreMarker) != 0) {
    ::unlink(temporary.constData());
    return false;
  }
  return syncFolder();
}

// The staging folder the marker names; "" when there is no usable marker.
QByteArray markedStaging() {
  const int fd = ::open(kRestoreMarker, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  char text[kMarkerMax];
  const ssize_t n = ::read(fd, text, sizeof text);
  ::close(fd);
  if (n <= 0) return {};
  const QByteArray name = QByteArray(text, n).trimmed();
  return isStaging(name) ? name : QByteArray();
}

bool isStaged(const QByteArray &staging, const char *member) {
  const QByteArray from = staging + '/' + member;
  struct stat st;
  return ::lstat(from.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// A log backed up before it had a companion must not take on the companion
// of the log it replaces: that goes before the log is renamed (so a finish
// after a stop does the same), and the program makes a fresh one.
void dropStaleCompanion(const QByteArray &staging) {
  const std::span<const BackupFile> log = std::span(kBackupFiles).subspan(kLogFiles, 3);
  const std::span<const BackupFile> companion = std::span(kBackupFiles).subspan(kCompanionFiles, 3);
  if (!isStaged(staging, log.front().member) || isStaged(staging, companion.front().member)) return;
  for (const BackupFile &f : companion) ::unlink(f.file);
}

// Renames what is left in `staging` over the tables.
bool moveStaged(const QByteArray &staging, const std::function<void(int)> &beforeRename) {
  dropStaleCompanion(staging);
  bool moved = true;
  int step = 0;
  for (const BackupFile &f : kBackupFiles) {
    if (!isStaged(staging, f.member)) continue;
    const QByteArray from = staging + '/' + f.member;
    if (beforeRename) beforeRename(step++);
    if (::rename(from.constData(), f.file) != 0) moved = false;
  }
  return syncFolder() && moved;
}

bool finish(const QByteArray &staging, const std::function<void(int)> &beforeRename) {
  if (!moveStaged(staging, beforeRename)) return false;
  ::unlink(kRestoreMarker);
  syncFolder();
  QDir(QString::fromLocal8Bit(staging)).removeRecursively();
  return true;
}

}  // namespace

bool replaceTableSet(const QString &staging, const std::function<void(int)> &beforeRename) {
  const QByteArray name = QFile::encodeName(staging);
  if (!isStaging(name) || !writeMarker(name)) return false;
  return finish(name, beforeRename);
}

bool finishTableSet() {
  const QByteArray staging = markedStaging();
  if (!staging.isEmpty()) return finish(staging, {});
  ::unlink(kRestoreMarker);  // names no staging folder: nothing was moved under it
  return false;
}

}  // namespace tables
