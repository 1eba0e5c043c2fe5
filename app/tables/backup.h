// TableBackup: "Back up tables" and "Restore" at the top right of the Digital
// Standards tab (the Logs tab has no room left beside "Check tables").
//
// Back up writes the three tables and the log's companion (data, FID and
// index files of the current directory) into a dated compress archive, "tables-YYYYMMDD-hhmm.cmp", in a
// folder the user picks (default: "backups" beside the tables). Archive
// members have at most 12 characters and lower-case names, so each file goes
// in under a short name of its own (see kBackupFiles) and comes back under
// its real one.
//
// Restore extracts an archive the user picks, after a question, into a fresh
// folder beside the tables and only then renames the files over the tables.
// A log restored without a companion loses the companion it replaces.
// The program keeps the tables open, and the handles it holds still name the
// files that were replaced, so it closes once the tables are back.
//
// Both run in libcorvex's archive code, bound through the program's library
// loader, which shows its progress window.
#ifndef TESSALY_APP_TABLES_BACKUP_H
#define TESSALY_APP_TABLES_BACKUP_H

#include <QObject>
#include <QString>

class QPushButton;
class QWidget;

namespace tables {

class LumbraLibrary;

// A table file and its member name in backup archives.
struct BackupFile {
  const char *file;
  const char *member;
};
extern const BackupFile kBackupFiles[12];

// The windows the two commands open, behind an interface for tests.
class BackupDialogs {
public:
  virtual ~BackupDialogs() = default;
  // A folder to write the archive into, starting at `start`; "" on cancel.
  virtual QString chooseFolder(const QString &start) = 0;
  // An archive to restore, starting at `start`; "" on cancel.
  virtual QString chooseArchive(const QString &start) = 0;
  // A question with Yes and No; true after Yes.
  virtual bool confirm(const QString &text) = 0;
  virtual void message(const QString &text) = 0;
};

class WidgetBackupDialogs : public BackupDialogs {
public:
  explicit WidgetBackupDialogs(QWidget *parent) : parent_(parent) {}
  QString chooseFolder(const QString &start) override;
  QString chooseArchive(const QString &start) override;
  bool confirm(const QString &text) override;
  void message(const QString &text) override;

private:
  QWidget *parent_;
};

class TableBackup : public QObject {
  Q_OBJECT
public:
  static constexpr char kBackupsFolder[] = "backups";

  // Places the two buttons on `page`. `library` and `dialogs` must outlive
  // the object; `window` is closed after a restore.
  TableBackup(QWidget *page, LumbraLibrary *library, BackupDialogs *dialogs, QWidget *window);

  // The commands of the buttons. backUp returns the archive written ("" when
  // none was); restore returns true when the tables were replaced.
  QString backUp();
  bool restore();

  QPushButton *BackupBut;
  QPushButton *RestoreBut;

private:
  // The archive command of libcorvex; false when it failed or is missing.
  bool archive(const char *options, const QString &archive, int count, const char *const *names);

  LumbraLibrary *library_;
  BackupDialogs *dialogs_;
  QWidget *window_;
};

}  // namespace tables

#endif
