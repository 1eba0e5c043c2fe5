#include "app/tables/adiflog.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/tables/binding.h"
#include "app/tables/database.h"
#include "app/tables/entrytable.h"
#include "app/tables/logtab.h"
#include "app/tables/newentry.h"
#include "app/tables/stamps.h"

namespace tables {

namespace {

constexpr char kProgramId[] = "Tessaly";

// What each ImportSkip counts, in the closing message.
const char *const kSkipTexts[kImportSkipCount] = {
    "with a broken field tag",
    "without an end of record",
    "cut short by the end of the file (nothing after it was read)",
    "with a missing or impossible date or time",
    "without a frequency",
    "with a frequency that is not a number",
    "with a frequency the log cannot hold",
};

QString entries(int n) { return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n); }

LogEntry entryOf(const Row &row) {
  return {row[0], row[1], row[2], row[3], row[4], row[5], row[LogTab::kKeyColumn]};
}

bool writeAll(int fd, const QByteArray &bytes) {
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Writes `bytes` to `file` through a temporary beside it: written whole,
// synced, renamed over `file`, and the folder synced. "" or the reason it failed.
QString writeDurably(const QString &file, const QByteArray &bytes) {
  const QByteArray target = QFile::encodeName(file);
  // A new file under a name nobody can guess: a file or link planted
  // beside `file` is never written through.
  const QByteArray temporary = target + ".tmp" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
  const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const int error = errno;
  if (::close(fd) != 0 || !written || ::rename(temporary.constData(), target.constData()) != 0) {
    const QString why = QString::fromLocal8Bit(std::strerror(written ? errno : error));
    ::unlink(temporary.constData());
    return why;
  }
  const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
  const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

// The zone the log's stamps are in.
QTimeZone stampZone() { return stampsInUtc() ? QTimeZone::utc() : QTimeZone::systemTimeZone(); }

// Stores `entry` as a new record under its key or the next free one.
AddedEntry addLogEntry(KdbApi &kdb, int fileId, const LogEntry &entry) {
  const std::pair<const char *, const QString *> items[] = {
      {"DATETIME", &entry.dateTime}, {"FRQ", &entry.frequency}, {"MODE", &entry.mode},
      {"NET", &entry.net},           {"DATESORT", &entry.dateSort}, {"NOTES", &entry.notes},
  };
  for (const auto &[item, text] : items) kdb.copyFput(text->toLatin1(), item, fileId);
  kdb.copyFput("", "DATTIMFRQ", fileId);  // the buffer may still hold a record read before
  return addEntry(kdb, fileId, "UNIKEY", entry.key);
}

}  // namespace

QString AdifExport::message(const QString &file) const {
  if (!ok) return QStringLiteral("Unable to write %1: %2").arg(file, error);
  QString text = QStringLiteral("Exported %1 to %2.").arg(entries(written), file);
  if (leftOut > 0) text += QStringLiteral("\n%1 without a readable date or frequency left out.").arg(entries(leftOut));
  return text;
}

int AdifImport::skippedTotal() const {
  int total = 0;
  for (int n : skipped) total += n;
  return total;
}

QString AdifImport::message(const QString &file) const {
  if (!opened) return QStringLiteral("Unable to open %1").arg(file);
  QString text = QStringLiteral("Imported %1 from %2.").arg(entries(added), file);
  if (const int total = skippedTotal(); total > 0) {
    QStringList why;
    for (int i = 0; i < kImportSkipCount; ++i)
      if (skipped[i] > 0) why << QStringLiteral("%1 %2").arg(skipped[i]).arg(QLatin1String(kSkipTexts[i]));
    text += QStringLiteral("\nSkipped %1: %2.").arg(total).arg(why.join(QLatin1String(", ")));
  }
  if (cut > 0) text += QStringLiteral("\n%1 with a mode or notes longer than the log holds, cut.").arg(entries(cut));
  if (writeFailed) text += QStringLiteral("\nError writing to Log file; the import stopped there.");
  return text;
}

AdifExport exportLogAdif(KdbApi &kdb, int fileId, const QString &filter, const QString &file) {
  AdifExport result;
  const QTimeZone zone = stampZone();
  QByteArray out = adifHeader(kProgramId, QDateTime::currentDateTimeUtc());
  for (const Row &row : listRecords(kdb, fileId, LogTab::kColumns, "NOTES", filter)) {
    if (const std::optional<QByteArray> record = adifRecordFor(entryOf(row), zone)) {
      out += *record;
      ++result.written;
    } else {
      ++result.leftOut;
    }
  }
  result.error = writeDurably(file, out);
  result.ok = result.error.isEmpty();
  return result;
}

AdifImport importLogAdif(KdbApi &kdb, int fileId, const QString &file) {
  AdifImport result;
  QByteArray text;
  {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return result;
    text = in.readAll();
  }
  result.opened = true;
  const QTimeZone zone = stampZone();
  for (const AdifRecord &record : readAdif(text)) {
    ImportedEntry imported = logEntryFor(record, zone);
    if (!imported.entry) {
      ++result.skipped[static_cast<int>(imported.skip)];
      continue;
    }
    if (addLogEntry(kdb, fileId, *imported.entry).key.isEmpty()) {
      result.writeFailed = true;
      break;
    }
    ++result.added;
    if (imported.cut) ++result.cut;
  }
  return result;
}

int runLogExchange(KdbApi &kdb, const QString &exportFile, const QString &importFile) {
  Database db(&kdb);
  db.startClient();
  if (!db.openTable(TableId::Log)) {
    std::fprintf(stderr, "tessaly: cannot open %s in %s\n", Database::fileName(TableId::Log),
                 qPrintable(QDir::currentPath()));
    return 1;
  }
  const int id = db.fileId(TableId::Log);
  bool ok;
  QString message;
  if (!exportFile.isEmpty()) {
    const AdifExport done = exportLogAdif(kdb, id, QStringLiteral("All"), exportFile);
    ok = done.ok;
    message = done.message(exportFile);
  } else {
    const AdifImport done = importLogAdif(kdb, id, importFile);
    ok = done.opened && !done.writeFailed;
    message = done.message(importFile);
  }
  kdb.init(db.client());  // ends the client and closes the log
  std::fprintf(ok ? stdout : stderr, "%s\n", qPrintable(message));
  return ok ? 0 : 1;
}

}  // namespace tables
