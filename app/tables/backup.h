// TableBackup: "Back up tables" and "Restore" at the top right of the Digital
// Standards tab (the Logs tab has no room left beside "Check tables").
//
// Back up writes the three tables and the log's companion (data, FID and
// index files of the current directory) into a dated compress archive, "tables-YYYYMMDD-hhmm.cmp", in a
// folder the user picks (default: "backups" beside the tables). Archive
// members have at most 12 characters and lower-case names, so each file goes
// in under a short name of its own (see kBackupFiles) and comes back under
// its real one. Other programs may go on writing: each table is copied under
// its header lock, so the archive holds every table as a completed change
// left it, with every entry stored before the backup began.
//
// Restore refuses while another program has one of the tables open (this
// program closes its own first and opens them again after a refusal); the
// tables stay held, so no program opens them, until the new ones are in
// place. It extracts an archive the user picks, after a question, into a
// fresh folder beside the tables and puts the whole set in place as one
// step (tableset.h). A log restored without a companion loses the companion
// it replaces. The program then closes and is started again.
//
// Both run in libcorvex's archive code, bound through the program's library
// loader, which shows its progress window.
#ifndef TESSALY_APP_TABLES_BACKUP_H
#define TESSALY_APP_TABLES_BACKUP_H

#include <QObject>
#include <QString>
#include <vector>

class QPushButton;
class QWidget;

namespace tables {

class Database;
class LumbraLibrary;

// A table file and its member name in backup archives.
struct BackupFile {
  const char *file;
  const char *member;
};
// Three files a table, data file first: the log, its companion, the scans
// and the standards.
inline constexpr int kBackupFileCount = 12;
inline constexpr int kLogFiles = 0, kCompanionFiles = 3;
extern const BackupFile kBackupFiles[kBackupFileCount];

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

  // Header lock tries (20 ms apart) before a backup gives up on a table.
  static constexpr int kHeaderTries = 250;

  // Places the two buttons on `page`. `library`, `db` (the program's own
  // tables, closed for a restore; may be null) and `dialogs` must outlive
  // the object; `window` is closed after a restore.
  TableBackup(QWidget *page, LumbraLibrary *library, const Database *db, BackupDialogs *dialogs, QWidget *window);

  // The commands of the buttons. backUp returns the archive written ("" when
  // none was); restore returns true when the tables were replaced.
  QString backUp();
  bool restore();

  QPushButton *BackupBut;
  QPushButton *RestoreBut;

private:
  // The archive command of libcorvex; false when it failed or is missing.
  bool archive(const char *options, const QString &archive, int count, const char *const *names);
  // Copies each table's files into `folder` under its header lock; "" or
  // why it failed.
  QString snapshot(const QString &folder);
  // Takes every table file that exists for this program alone, adding the
  // descriptors to `fds`; "" or the reason another program prevents it.
  QString holdAlone(std::vector<int> *fds);
  // The data file of a table of which `folder` holds one or two files of
  // three; "" when each table is there whole or not at all.
  static QString missingMember(const QString &folder);

  LumbraLibrary *library_;
  const Database *db_;
  BackupDialogs *dialogs_;
  QWidget *window_;
};

}  // namespace tables

#endif
