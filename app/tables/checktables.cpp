#include "app/tables/checktables.h"

#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "app/mainwindow.h"
#include "app/tables/dialogs.h"
#include "app/tables/logcompanion.h"
#include "app/tables/logcontacts.h"
#include "app/tables/logtab.h"
#include "app/tables/lumbra.h"
#include "app/tables/scanstab.h"
#include "app/tables/standardstab.h"
#include "app/tables/tables.h"
#include "app/tables/widgets.h"
#include "engine/fhrequest.h"
#include "engine/maintenance/filemaint.h"
#include "util/progress/progress.h"

namespace tables {

namespace {

// Statuses no repair mends: the data file or its description cannot be
// opened or read, or memory ran out.
bool beyondRepair(int result) {
  switch (result) {
    case FHS_OPENDATA:
    case FHS_OPENFID:
    case FHS_READFID:
    case FHS_FIDVERSION:
    case FHS_NOMEMORY:
    case FHS_RECMIN:
    case FHS_HASHFIDMISMATCH: return true;
    default: return result < 0;
  }
}

const char *actionName(int action) { return action == FM_PACK ? "PACK" : "RECOVER"; }

}  // namespace

int LibraryCare::filemaint(int action, const QByteArray &datafile, int flags, const QByteArray &logfile) {
  auto *run = lumbra_->bind<decltype(::filemaint)>("filemaint");
  if (!run) return LumbraLibrary::kUnavailable;
  return run(action, datafile.constData(), "", "", nullptr, flags, logfile.isEmpty() ? nullptr : logfile.constData());
}

int LibraryCare::close(int id) {
  auto *closeFile = lumbra_->bind<int(int)>("KDBclose");
  return closeFile ? closeFile(id) : LumbraLibrary::kUnavailable;
}

void LibraryCare::installProgressWindow(corvex::ProgressWindow *window) {
  auto *install = lumbra_->bind<decltype(::corvex_set_progress_window)>("corvex_set_progress_window");
  if (install) install(window);
}

QStringList findingsIn(const QByteArray &log) {
  QStringList findings;
  for (const QByteArray &line : log.split('\n')) {
    if (!line.startsWith("  ") || line.startsWith("   ")) continue;
    const QString text = QString::fromLatin1(line).trimmed();
    if (text != "Successful.") findings << text;
  }
  return findings;
}

int repairFor(int result, const QStringList &findings) {
  if (beyondRepair(result)) return -1;
  for (const QString &f : findings)
    if (f.contains("Solution: PACK") || f.contains("record length mismatch")) return FM_PACK;
  return FM_RECOVER;
}

CheckTables::CheckTables(MainWindow *window, Tables *tables, TableCare *care, Dialogs *dialogs)
    : QObject(window), tables_(tables), care_(care), dialogs_(dialogs) {
  QWidget *page = window->tabs()->widget(MainWindow::kLogsTab);
  button_ = place<QPushButton>(page, "CheckTables", 538, 4, 86, 22, "Check tables");
  button_->setToolTip(tr("Check the three tables and offer a repair for a damaged one"));
  connect(button_, &QPushButton::clicked, this, &CheckTables::run);
}

void CheckTables::run() {
  if (running_) return;
  running_ = true;
  button_->setEnabled(false);
  QStringList summary;
  for (TableId table : {TableId::Log, TableId::Scans, TableId::Standards}) summary << check(table);
  if (const int dropped = dropOrphanCompanions(tables_->database().logFiles()); dropped > 0)
    summary << QStringLiteral("%1: %2 records of deleted entries dropped.")
                   .arg(QLatin1String(LogCompanion::kFileName))
                   .arg(dropped);
  button_->setEnabled(true);
  running_ = false;
  dialogs_->message(summary.join('\n'));
}

int CheckTables::verify(const QByteArray &name, QStringList *findings) {
  QTemporaryDir dir;
  const QByteArray log = QFile::encodeName(dir.filePath("verify.log"));
  // The program keeps the tables open in a shared mode: read under locks.
  const int result = care_->filemaint(FM_VERIFY, name, FM_NETWORK, log);
  QFile file(QFile::decodeName(log));
  *findings = file.open(QIODevice::ReadOnly) ? findingsIn(file.readAll()) : QStringList();
  return result;
}

QString CheckTables::check(TableId table) {
  const char *name = Database::fileName(table);
  const QString label = QString::fromLatin1(name);
  QStringList findings;
  const int result = verify(name, &findings);
  if (result == FHS_OK) return label + ": sound.";
  if (result == FM_RESULT_STOPPED) return label + ": check stopped.";
  const QString found = findings.isEmpty() ? QStringLiteral("VERIFY ended with code %1.").arg(result)
                                           : findings.join('\n');
  const int repair = repairFor(result, findings);
  if (repair < 0) return label + ": " + found;

  MessageRequest ask;
  ask.heading = "Check tables";
  ask.icon = 2;
  ask.yesNo = "Y";
  ask.message = QStringLiteral("%1 is damaged:\n%2\n\nRepair it with %3 now?").arg(label, found, actionName(repair));
  if (dialogs_->showMessage(ask) != 1) return label + ": not repaired. " + found;

  const QString failed = this->repair(table, repair);
  if (!failed.isEmpty()) return failed;
  const int again = verify(name, &findings);
  if (again != FHS_OK) return QStringLiteral("%1: still damaged after %2. %3").arg(label, actionName(repair), findings.join('\n'));
  return QStringLiteral("%1: repaired with %2; it is sound now.").arg(label, actionName(repair));
}

QString CheckTables::repair(TableId table, int action) {
  const char *name = Database::fileName(table);
  const QString label = QString::fromLatin1(name);
  const Database &db = tables_->database();
  care_->close(db.fileId(table));
  const int repaired = care_->filemaint(action, name, 0, QByteArray());
  const bool reopened = db.openTable(table);
  if (table == TableId::Log) tables_->log().table().display();
  if (table == TableId::Scans) tables_->scans().table().display();
  if (table == TableId::Standards) tables_->standards().table().display();
  if (!reopened) return label + ": cannot be opened again after the repair.";
  if (repaired != FHS_OK) return QStringLiteral("%1: %2 failed with code %3.").arg(label, actionName(action)).arg(repaired);
  return QString();
}

void CheckTables::recoverUnfinished() {
  const std::vector<TableId> tables = tables_->database().unfinished();
  if (tables.empty() || running_) return;
  running_ = true;
  QStringList summary;
  for (TableId table : tables) {
    const char *name = Database::fileName(table);
    const QString label = QString::fromLatin1(name);
    QString failed = repair(table, FM_RECOVER);
    if (!failed.isEmpty()) {
      summary << failed;
      continue;
    }
    // The rebuilt index holds every record; a data file header that a kill
    // left short of them still wants PACK, or every start would find the
    // table unfinished again.
    QStringList findings;
    const int result = verify(name, &findings);
    if (result != FHS_OK && repairFor(result, findings) == FM_PACK) {
      failed = repair(table, FM_PACK);
      summary << (failed.isEmpty() ? label + ": its index was rebuilt from its records and the file packed." : failed);
      continue;
    }
    summary << (result == FHS_OK ? label + ": its index was rebuilt from its records."
                            : QStringLiteral("%1: still damaged after RECOVER. %2").arg(label, findings.join('\n')));
  }
  running_ = false;
  dialogs_->message("The last change to a table did not finish (the program or the machine stopped while "
                    "writing it).\n" + summary.join('\n'));
}

}  // namespace tables
