#include "app/tables/adiflog.h"

#include <fcntl.h>
#include <sys/stat.h>
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
#include "app/tables/logcompanion.h"
#include "app/tables/lumbra.h"
#include "app/tables/stamps.h"

namespace tables {

namespace {

constexpr char kProgramId[] = "Tessaly";
// Doubtful times named in a message; more are counted.
constexpr int kNamedTimes = 10;

// What each ImportSkip counts, in the closing message.
const char *const kSkipTexts[kImportSkipCount] = {
    "with a broken field tag",
    "without an end of record",
    "cut short by the end of the file (nothing after it was read)",
    "with more or longer fields than the log keeps",
    "with a missing or impossible date or time",
    "without a frequency or band",
    "with a frequency that is not a number",
    "with a frequency that is not above 0",
};

QString entries(int n) { return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n); }

QString named(const QStringList &times) {
  QStringList shown = times.mid(0, kNamedTimes);
  if (times.size() > kNamedTimes) shown << QStringLiteral("and %1 more").arg(times.size() - kNamedTimes);
  return shown.join(QLatin1String(", "));
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

// Opens `file` for reading when it is a regular file; "" or why not.
QString openRegular(const QString &file, QFile *in) {
  const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return QStringLiteral("not a regular file");
  }
  if (!in->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return in->errorString();
  }
  return {};
}

}  // namespace

QString AdifExport::message(const QString &file) const {
  if (!ok) return QStringLiteral("Unable to write %1: %2").arg(file, error);
  QString text = QStringLiteral("Exported %1 to %2.").arg(entries(written), file);
  if (leftOut > 0)
    text += QStringLiteral("\n%1 without a readable date, or frequency or band, left out.").arg(entries(leftOut));
  if (!ambiguous.isEmpty())
    text += QStringLiteral("\n%1 logged in the hour the clocks went back could be either hour; the earlier was "
                           "written: %2.").arg(entries(int(ambiguous.size())), named(ambiguous));
  if (!missing.isEmpty())
    text += QStringLiteral("\n%1 logged at a local time the clocks skipped; written with the time before the "
                           "change: %2.").arg(entries(int(missing.size())), named(missing));
  return text;
}

int AdifImport::skippedTotal() const {
  int total = 0;
  for (int n : skipped) total += n;
  return total;
}

QString AdifImport::message(const QString &file) const {
  if (!opened) return QStringLiteral("Unable to open %1%2").arg(file, refused.isEmpty() ? QString() : ": " + refused);
  QString text = QStringLiteral("Imported %1 from %2.").arg(entries(added), file);
  if (duplicates > 0) text += QStringLiteral("\n%1 already in the log, not added again.").arg(entries(duplicates));
  if (const int total = skippedTotal(); total > 0) {
    QStringList why;
    for (int i = 0; i < kImportSkipCount; ++i)
      if (skipped[i] > 0) why << QStringLiteral("%1 %2").arg(skipped[i]).arg(QLatin1String(kSkipTexts[i]));
    text += QStringLiteral("\nSkipped %1: %2.").arg(total).arg(why.join(QLatin1String(", ")));
  }
  if (repeated > 0)
    text += QStringLiteral("\n%1 with a field given twice; the first value was kept.").arg(entries(repeated));
  if (cut > 0) text += QStringLiteral("\n%1 with a mode or notes longer than the log holds, cut.").arg(entries(cut));
  if (beyondLatin1 > 0)
    text += QStringLiteral("\n%1 characters of notes beyond Latin-1 show as \"?\" in the log's notes; the notes "
                           "are kept whole beside them.").arg(beyondLatin1);
  if (writeFailed) text += QStringLiteral("\nError writing to Log file; the import stopped there.");
  return text;
}

AdifExport exportLogAdif(const LogFiles &log, const QString &filter, const QString &file) {
  AdifExport result;
  const QTimeZone zone = stampZone();
  QByteArray out = adifHeader(kProgramId, QDateTime::currentDateTimeUtc());
  forEachContact(log, filter, [&](const LogEntry &entry, const Companion *extra) {
    const std::optional<ExportedRecord> record = adifRecordFor(entry, extra, zone);
    if (!record) {
      ++result.leftOut;
      return;
    }
    out += record->text;
    ++result.written;
    if (record->time == EntryTime::Ambiguous) result.ambiguous << entry.dateTime;
    if (record->time == EntryTime::Missing) result.missing << entry.dateTime;
  });
  result.error = writeDurably(file, out);
  result.ok = result.error.isEmpty();
  return result;
}

AdifImport importLogAdif(const LogFiles &log, const QString &file) {
  AdifImport result;
  QFile in;
  result.refused = openRegular(file, &in);
  if (!result.refused.isEmpty()) return result;
  result.opened = true;
  ContactAdder adder(log, stampZone());
  AdifReader reader(&in);
  while (std::optional<AdifRecord> record = reader.next()) {
    ImportedEntry imported;
    const ContactAdder::Outcome outcome = adder.add(*record, &imported);
    if (outcome == ContactAdder::Outcome::Failed) {
      result.writeFailed = true;
      break;
    }
    if (outcome == ContactAdder::Outcome::Skipped) {
      ++result.skipped[static_cast<int>(imported.skip)];
      continue;
    }
    if (!record->repeated.empty()) ++result.repeated;
    if (outcome == ContactAdder::Outcome::Duplicate) {
      ++result.duplicates;
      continue;
    }
    ++result.added;
    if (imported.cut) ++result.cut;
    result.beyondLatin1 += imported.beyondLatin1;
  }
  return result;
}

int runLogExchange(LumbraLibrary &library, const QString &exportFile, const QString &importFile) {
  Database db(&library);
  db.startClient();
  QString why;
  if (!db.openTable(TableId::Log) || !db.openCompanion(&library, &why)) {
    std::fprintf(stderr, "tessaly: cannot open %s in %s%s\n", Database::fileName(TableId::Log),
                 qPrintable(QDir::currentPath()), why.isEmpty() ? "" : qPrintable(": " + why));
    library.init(db.client());
    return 1;
  }
  setStampsInUtc(db.companion().stampsInUtc().value_or(stampsInUtc()));
  const LogFiles log = db.logFiles();
  bool ok;
  QString message;
  if (!exportFile.isEmpty()) {
    const AdifExport done = exportLogAdif(log, QStringLiteral("All"), exportFile);
    ok = done.ok;
    message = done.message(exportFile);
  } else {
    const AdifImport done = importLogAdif(log, importFile);
    ok = done.opened && !done.writeFailed;
    message = done.message(importFile);
  }
  library.init(db.client());  // ends the client and closes the log
  std::fprintf(ok ? stdout : stderr, "%s\n", qPrintable(message));
  return ok ? 0 : 1;
}

}  // namespace tables
