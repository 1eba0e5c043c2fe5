#include "app/tables/standardsimport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include "app/tables/binding.h"
#include "app/tables/csv.h"
#include "app/tables/dialogs.h"
#include "app/tables/entrytable.h"
#include "app/tables/plaintext.h"
#include "app/tables/stamps.h"

namespace tables {

namespace {

constexpr char kImportedMode[] = "SB";
constexpr char kWriteError[] = "Error writing to Log file";

}  // namespace

StandardsImport::StandardsImport(EntryTable *table, Dialogs *dialogs, QWidget *window, const Boxes &boxes)
    : table_(table), dialogs_(dialogs), window_(window), boxes_(boxes) {}

void StandardsImport::notice(const QString &message) {
  dialogs_->showMessage({message, 1, QLatin1String(kHeading), QStringLiteral("N"), kNoticeSeconds});
}

void StandardsImport::run() {
  const QString chosen = dialogs_->openFileName(QLatin1String(kFilter), QStringLiteral("Csv"));
  if (chosen.trimmed().isEmpty()) {
    notice(QStringLiteral("Unable to open the file"));
    return;
  }
  importFile(chosen);
}

void StandardsImport::importFile(const QString &chosen) {
  QByteArray text;
  {
    // The whole file is read at once, so it is closed on every path; only
    // a regular file, and no more of it than the bound.
    const QString name = importFileName(chosen);
    QFile file(name);
    if (!QFileInfo(name).isFile() || !file.open(QIODevice::ReadOnly)) {
      notice(QStringLiteral("Unable to open the file"));
      return;
    }
    text = file.read(kMaxFileBytes + 1);
    if (text.size() > kMaxFileBytes) {
      notice(QStringLiteral("The file is larger than %1 MB: nothing was imported").arg(kMaxFileBytes >> 20));
      return;
    }
    text = importTextAsUtf8(text);
  }
  properCase_ = dialogs_->showMessage({QStringLiteral("Correct Upper Case Text to Proper Case"), 1,
                                       QLatin1String(kHeading), QStringLiteral("Y"), kNoticeSeconds});

  int stored = 0, skipped = 0, replaced = 0;
  KdbApi &kdb = table_->kdb();
  for (const ImportPair &pair : pairFields(csvFields(text))) {
    if (!pair.khz) {
      ++skipped;
      continue;
    }
    boxes_.notes->setText(QString::fromUtf8(pair.name) + QLatin1String(" Digital"));
    boxes_.frequency->setText(hashPictureKhz(*pair.khz));
    boxes_.mode->setText(QLatin1String(kImportedMode));
    ++counter_;
    const QDateTime now = stampClock();
    boxes_.dateTime->setText(stamp(QLatin1String(kLogDatePattern), now));
    controlsToRecord(kdb, window_, table_->fileId());
    const AddedEntry added = table_->addNew(
        QString::number(stamp(QLatin1String(kImportKeyPattern), now).toLongLong() + counter_));
    if (added.key.isEmpty()) {
      dialogs_->message(QLatin1String(kWriteError));
      return;
    }
    boxes_.key->setText(added.key);
    ++stored;
    replaced += charactersBeyondLatin1(boxes_.notes->text());
  }
  QString summary = QStringLiteral("Processing Complete\n%1 stored, %2 skipped").arg(stored).arg(skipped);
  if (replaced > 0) summary += QStringLiteral(", %1 characters beyond Latin-1 stored as ?").arg(replaced);
  notice(summary);
}

}  // namespace tables
