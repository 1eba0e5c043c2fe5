// Tables: the three table tabs of the main window and their start-up. On
// construction it starts the record layer client, builds the tabs into the
// window's pages, opens the three tables and fills their grids. When a table
// cannot be opened it says "Error opening Log file" with the folder; when
// tables are missing there it offers to make them, empty, or to open
// another folder. Without tables the grids stay empty; the radio side is
// not touched. While the tables are open it looks every few seconds whether
// another program has the log open and tells the window.
#ifndef TESSALY_APP_TABLES_TABLES_H
#define TESSALY_APP_TABLES_TABLES_H

#include <QObject>
#include <memory>

#include "app/tables/database.h"
#include "app/tables/tablemaker.h"

class MainWindow;
class QTimer;

namespace tables {

class Dialogs;
class KdbApi;
class LogTab;
class LumbraLibrary;
class ScansTab;
class StandardsTab;

class Tables : public QObject {
  Q_OBJECT
public:
  static constexpr char kOpenError[] = "Error opening Log file";

  // The pointers must outlive the object. The tables are reached through
  // `kdb` (in the program, `library` itself); the word index of the log is
  // bound through `library`. The tab controls belong to the window; this
  // object holds their behaviour. `corvexTool` makes missing tables.
  Tables(MainWindow *window, LumbraLibrary *library, KdbApi *kdb, Dialogs *dialogs,
         const QString &corvexTool = corvexBesideProgram());
  ~Tables() override;

  static constexpr int kSharingCheckMs = 3000;

  // True when all three tables opened at start-up.
  bool opened() const { return opened_; }
  const Database &database() const { return db_; }

  // Sets the log's clock for new entries (kept with the log) without asking.
  void setLogInUtc(bool utc);

  LogTab &log() { return *log_; }
  ScansTab &scans() { return *scans_; }
  StandardsTab &standards() { return *standards_; }

private:
  void onTabChanged(int index);
  // Asks the log's sharing lock whether another program has it open.
  void checkSharing();
  // Opens the tables of the current folder, asking what to do while they
  // cannot be opened. True when all three are open.
  bool openOrAsk(Dialogs *dialogs, const QString &corvexTool);
  // The UTC box changed: asks before the log's clock changes.
  void onUtcToggled(bool utc);
  // Shows the log's clock in the UTC box and the title, and stamps by it.
  void showLogClock(bool utc);

  MainWindow *window_;
  Dialogs *dialogs_;
  Database db_;
  std::unique_ptr<LogTab> log_;
  std::unique_ptr<ScansTab> scans_;
  std::unique_ptr<StandardsTab> standards_;
  bool opened_ = false;
  QTimer *sharingCheck_;
};

}  // namespace tables

#endif
