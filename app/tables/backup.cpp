#include "app/tables/backup.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/tables/widgets.h"
#include "app/tables/lumbra.h"
#include "util/archive/archive.h"

namespace tables {

const BackupFile kBackupFiles[12] = {
    {"Log.Dat", "log.dat"},          {"Log.fid", "log.fid"},          {"Log.idx", "log.idx"},
    {"LogExtra.Dat", "logextra.dat"}, {"LogExtra.fid", "logextra.fid"}, {"LogExtra.idx", "logextra.idx"},
    {"Scans.Dat", "scans.dat"},      {"Scans.fid", "scans.fid"},      {"Scans.idx", "scans.idx"},
    {"Standards.Dat", "standrd.dat"}, {"Standards.fid", "standrd.fid"}, {"Standards.idx", "standrd.idx"},
};

QString WidgetBackupDialogs::chooseFolder(const QString &start) {
  return QFileDialog::getExistingDirectory(parent_, "Back up tables", start);
}

QString WidgetBackupDialogs::chooseArchive(const QString &start) {
  return QFileDialog::getOpenFileName(parent_, "Restore", start, "Compress archives (*.cmp)");
}

bool WidgetBackupDialogs::confirm(const QString &text) {
  return QMessageBox::question(parent_, "Restore", text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}

void WidgetBackupDialogs::message(const QString &text) { QMessageBox::information(parent_, QString(), text); }

namespace {

// A fresh folder beside the tables, removed with what it holds when the
// object goes. Its name is short, as the archive's target option allows.
class Staging {
public:
  explicit Staging(const char *prefix) {
    QByteArray name = QByteArray(prefix) + "-XXXXXX";
    if (mkdtemp(name.data())) path_ = QString::fromLocal8Bit(name);
  }
  ~Staging() {
    if (!path_.isEmpty()) QDir(path_).removeRecursively();
  }
  bool made() const { return !path_.isEmpty(); }
  const QString &path() const { return path_; }
  QString file(const char *name) const { return path_ + "/" + QLatin1String(name); }

private:
  QString path_;
};

}  // namespace

TableBackup::TableBackup(QWidget *page, LumbraLibrary *library, BackupDialogs *dialogs, QWidget *window)
    : library_(library), dialogs_(dialogs), window_(window) {
  BackupBut = place<QPushButton>(page, "BackupBut", 428, 4, 100, 22, "Back up tables");
  RestoreBut = place<QPushButton>(page, "RestoreBut", 534, 4, 60, 22, "Restore");
  connect(BackupBut, &QPushButton::clicked, this, [this] { backUp(); });
  connect(RestoreBut, &QPushButton::clicked, this, [this] { restore(); });
}

bool TableBackup::archive(const char *options, const QString &archive, int count, const char *const *names) {
  auto *run = library_->bind<decltype(::compress_files)>("compress_files");
  return run && run(options, archive.toLocal8Bit().constData(), count, names) == 0;
}

QString TableBackup::backUp() {
  QDir().mkpath(QLatin1String(kBackupsFolder));
  const QString folder = dialogs_->chooseFolder(QDir(QLatin1String(kBackupsFolder)).absolutePath());
  if (folder.isEmpty()) return {};
  // The archive takes the tables under their member names: links to them in
  // a folder of their own.
  Staging staging(".backup");
  int linked = 0;
  for (const BackupFile &f : kBackupFiles) {
    const QString table = QFileInfo(QLatin1String(f.file)).absoluteFilePath();
    if (QFileInfo::exists(table) && symlink(table.toLocal8Bit().constData(), staging.file(f.member).toLocal8Bit()) == 0)
      linked++;
  }
  if (!staging.made() || linked == 0) {
    dialogs_->message("There are no tables to back up here.");
    return {};
  }
  const QString archive =
      QDir(folder).filePath("tables-" + QDateTime::currentDateTime().toString("yyyyMMdd-hhmm") + ".cmp");
  const QByteArray spec = (staging.path() + "/*.*").toLocal8Bit();
  const char *names[] = {spec.constData()};
  if (!this->archive("-A", archive, 1, names)) {
    dialogs_->message("The tables could not be backed up to " + archive + ".");
    return {};
  }
  dialogs_->message("The tables were backed up to " + archive + ".");
  return archive;
}

bool TableBackup::restore() {
  const QString archive = dialogs_->chooseArchive(QDir(QLatin1String(kBackupsFolder)).absolutePath());
  if (archive.isEmpty()) return false;
  if (!dialogs_->confirm("Restore the tables from " + QFileInfo(archive).fileName() +
                         "? The tables now in use are replaced, and Tessaly closes afterwards."))
    return false;
  Staging staging(".restore");
  const QByteArray options = "-XOT\"" + staging.path().toLocal8Bit() + "/\"";
  if (!staging.made() || !this->archive(options.constData(), archive, 0, nullptr)) {
    dialogs_->message("The tables could not be restored from " + archive + "; they were left as they were.");
    return false;
  }
  // Every file was extracted completely, and synced, before the first of
  // them replaces a file in use.
  int restored = 0;
  bool logBack = false, companionBack = false;
  for (const BackupFile &f : kBackupFiles) {
    const QByteArray from = staging.file(f.member).toLocal8Bit();
    if (access(from.constData(), F_OK) != 0 || rename(from.constData(), f.file) != 0) continue;
    restored++;
    logBack = logBack || qstrcmp(f.file, "Log.Dat") == 0;
    companionBack = companionBack || qstrcmp(f.file, "LogExtra.Dat") == 0;
  }
  // A log backed up before it had a companion must not take on the
  // companion of the log it replaces; the program makes a fresh one.
  if (logBack && !companionBack)
    for (const char *stale : {"LogExtra.Dat", "LogExtra.fid", "LogExtra.idx"}) unlink(stale);
  if (restored == 0) {
    dialogs_->message(QFileInfo(archive).fileName() + " holds no tables; they were left as they were.");
    return false;
  }
  dialogs_->message("The tables were restored. Tessaly closes now; start it again to use them.");
  QTimer::singleShot(0, window_, &QWidget::close);
  return true;
}

}  // namespace tables
