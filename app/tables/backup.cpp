#include "app/tables/backup.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <span>
#include <vector>

#include "app/tables/widgets.h"
#include "app/tables/database.h"
#include "app/tables/lumbra.h"
#include "app/tables/tableset.h"
#include "util/archive/archive.h"
#include "util/sharecheck.h"

namespace tables {

const BackupFile kBackupFiles[kBackupFileCount] = {
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
// object goes unless kept. Its name is short, as the archive's target option
// allows.
class Staging {
public:
  explicit Staging(const char *prefix) {
    QByteArray name = QByteArray(prefix) + "-XXXXXX";
    if (mkdtemp(name.data())) path_ = QString::fromLocal8Bit(name);
  }
  ~Staging() {
    if (!path_.isEmpty() && !kept_) QDir(path_).removeRecursively();
  }
  bool made() const { return !path_.isEmpty(); }
  const QString &path() const { return path_; }
  QString file(const char *name) const { return path_ + "/" + QLatin1String(name); }
  // Leaves the folder for the next start to finish with.
  void keep() { kept_ = true; }

private:
  QString path_;
  bool kept_ = false;
};

// Descriptors closed when the object goes: the locks they hold end with them.
class HeldFiles {
public:
  HeldFiles() = default;
  HeldFiles(const HeldFiles &) = delete;
  HeldFiles &operator=(const HeldFiles &) = delete;
  ~HeldFiles() {
    for (int fd : fds_) ::close(fd);
  }
  void add(int fd) { fds_.push_back(fd); }

private:
  std::vector<int> fds_;
};

// The three files of the table whose data file is kBackupFiles[first].
std::span<const BackupFile> tableFiles(int first) { return std::span(kBackupFiles).subspan(first, 3); }

}  // namespace

TableBackup::TableBackup(QWidget *page, LumbraLibrary *library, const Database *db, BackupDialogs *dialogs,
                         QWidget *window)
    : library_(library), db_(db), dialogs_(dialogs), window_(window) {
  BackupBut = place<QPushButton>(page, "BackupBut", 428, 4, 100, 22, "Back up tables");
  BackupBut->setToolTip(tr("Write the three tables into a dated archive"));
  RestoreBut = place<QPushButton>(page, "RestoreBut", 534, 4, 60, 22, "Restore");
  RestoreBut->setToolTip(tr("Put an archive's tables back; the program then closes"));
  connect(BackupBut, &QPushButton::clicked, this, [this] { backUp(); });
  connect(RestoreBut, &QPushButton::clicked, this, [this] { restore(); });
}

bool TableBackup::archive(const char *options, const QString &archive, int count, const char *const *names) {
  auto *run = library_->bind<decltype(::compress_files)>("compress_files");
  return run && run(options, archive.toLocal8Bit().constData(), count, names) == 0;
}

QString TableBackup::snapshot(const QString &folder) {
  auto *holdHeader = library_->bind<decltype(::header_hold)>("header_hold");
  if (!holdHeader) return QStringLiteral("the record library cannot be used.");
  for (int first = 0; first < kBackupFileCount; first += 3) {
    const char *data = kBackupFiles[first].file;
    if (!QFileInfo::exists(QLatin1String(data))) continue;
    // Under the header lock no program changes the table: its three files
    // are copied as the last completed change left them.
    const int held = holdHeader(data, kHeaderTries);
    if (held < 0)
      return QStringLiteral("%1 could not be read: %2.").arg(QLatin1String(data), QString::fromLocal8Bit(strerror(errno)));
    bool copied = true;
    for (const BackupFile &f : tableFiles(first))
      copied = copied && (!QFileInfo::exists(QLatin1String(f.file)) ||
                          QFile::copy(QLatin1String(f.file), folder + "/" + QLatin1String(f.member)));
    ::close(held);
    if (!copied) return QStringLiteral("%1 could not be copied.").arg(QLatin1String(data));
  }
  return {};
}

QString TableBackup::backUp() {
  QDir().mkpath(QLatin1String(kBackupsFolder));
  const QString folder = dialogs_->chooseFolder(QDir(QLatin1String(kBackupsFolder)).absolutePath());
  if (folder.isEmpty()) return {};
  Staging staging(".backup");
  if (!staging.made()) {
    dialogs_->message("The tables could not be backed up: no folder could be made beside them.");
    return {};
  }
  if (const QString why = snapshot(staging.path()); !why.isEmpty()) {
    dialogs_->message("The tables could not be backed up: " + why);
    return {};
  }
  if (QDir(staging.path()).isEmpty()) {
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

QString TableBackup::holdAlone(std::vector<int> *fds) {
  auto *holdAlone = library_->bind<decltype(::share_hold_alone)>("share_hold_alone");
  if (!holdAlone) return QStringLiteral("the record library cannot be used");
  for (const BackupFile &f : kBackupFiles) {
    const int fd = holdAlone(f.file);
    if (fd >= 0) {
      fds->push_back(fd);
    } else if (errno == EBUSY) {
      return QStringLiteral("another program has %1 open; close it there first").arg(QLatin1String(f.file));
    } else if (errno != ENOENT) {
      return QStringLiteral("%1: %2").arg(QLatin1String(f.file), QString::fromLocal8Bit(strerror(errno)));
    }
  }
  return {};
}

QString TableBackup::missingMember(const QString &folder) {
  for (int first = 0; first < kBackupFileCount; first += 3) {
    int present = 0;
    for (const BackupFile &f : tableFiles(first)) present += QFileInfo::exists(folder + "/" + QLatin1String(f.member));
    if (present != 0 && present != 3) return QLatin1String(kBackupFiles[first].file);
  }
  return {};
}

bool TableBackup::restore() {
  const QString archive = dialogs_->chooseArchive(QDir(QLatin1String(kBackupsFolder)).absolutePath());
  if (archive.isEmpty()) return false;
  if (!dialogs_->confirm("Restore the tables from " + QFileInfo(archive).fileName() +
                         "? The tables now in use are replaced, and Tessaly closes afterwards."))
    return false;
  // The tables must be this program's alone: its own handles go first, and
  // the files stay held until the new ones are in place, so that no other
  // program opens them meanwhile.
  if (db_) db_->closeTables();
  HeldFiles held;
  std::vector<int> fds;
  const QString busy = holdAlone(&fds);
  for (int fd : fds) held.add(fd);
  const QString name = QFileInfo(archive).fileName();
  auto refuse = [&](const QString &text) {
    dialogs_->message(text);
    if (db_) db_->reopenTables();
    return false;
  };
  if (!busy.isEmpty()) return refuse("The tables were not restored: " + busy + ".");
  Staging staging(".restore");
  const QByteArray options = "-XOT\"" + staging.path().toLocal8Bit() + "/\"";
  if (!staging.made() || !this->archive(options.constData(), archive, 0, nullptr))
    return refuse("The tables could not be restored from " + archive + "; they were left as they were.");
  if (QDir(staging.path()).isEmpty()) return refuse(name + " holds no tables; they were left as they were.");
  if (const QString table = missingMember(staging.path()); !table.isEmpty())
    return refuse(name + " holds only part of " + table + "; the tables were left as they were.");
  // Every file was extracted completely, and synced, before the first of
  // them replaces a table.
  if (!replaceTableSet(staging.path())) {
    staging.keep();
    dialogs_->message("The tables could not all be put in place; Tessaly finishes this when it starts again.");
  } else {
    dialogs_->message("The tables were restored. Tessaly closes now; start it again to use them.");
  }
  QTimer::singleShot(0, window_, &QWidget::close);
  return true;
}

}  // namespace tables
