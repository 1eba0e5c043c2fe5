// CheckTables: the "Check tables" button of the Logs tab. It runs VERIFY on
// the three tables, with the libraries' progress window, and for a table
// that fails says what was found and offers the repair the findings call
// for (PACK when they say so, else RECOVER). A table is closed for its
// repair, since RECOVER and PACK replace its files, and opened again after
// it; a second VERIFY then tells whether the repair made it sound.
#ifndef TESSALY_APP_TABLES_CHECKTABLES_H
#define TESSALY_APP_TABLES_CHECKTABLES_H

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include "app/tables/database.h"

class MainWindow;
class QPushButton;

namespace corvex {
class ProgressWindow;
}

namespace tables {

class LumbraLibrary;
class Dialogs;
class Tables;

// The library calls the check needs, so that tests can stand in for them.
class TableCare {
public:
  virtual ~TableCare() = default;
  // filemaint on `datafile` (derived companion names, default title),
  // appending its messages to `logfile`.
  virtual int filemaint(int action, const QByteArray &datafile, int flags, const QByteArray &logfile) = 0;
  // KDBclose: closes the file `id`.
  virtual int close(int id) = 0;
};

// TableCare over the engine and record layer that the program loaded.
class LibraryCare : public TableCare {
public:
  explicit LibraryCare(LumbraLibrary *lumbra) : lumbra_(lumbra) {}
  int filemaint(int action, const QByteArray &datafile, int flags, const QByteArray &logfile) override;
  int close(int id) override;
  // Makes the engine's long runs report to `window` (null: the terminal).
  void installProgressWindow(corvex::ProgressWindow *window);

private:
  LumbraLibrary *lumbra_;
};

// What VERIFY's log says: its messages (lines indented by one level).
QStringList findingsIn(const QByteArray &log);

// The repair the findings call for: PACK when one says "Solution: PACK."
// or the record lengths are off, else RECOVER; -1 when the result is one
// that no repair mends (the data or description file cannot be read).
int repairFor(int result, const QStringList &findings);

class CheckTables : public QObject {
  Q_OBJECT
public:
  // Puts the button on the Logs tab of `window`. The pointers must outlive
  // the object.
  CheckTables(MainWindow *window, Tables *tables, TableCare *care, Dialogs *dialogs);

  QPushButton *button() const { return button_; }

  // Checks the three tables, as the button does.
  void run();
  // Rebuilds the index of every table whose last update did not finish
  // (Database::unfinished), with the progress window, and says so.
  void recoverUnfinished();

private:
  // Checks one table; its line for the summary.
  QString check(TableId table);
  // VERIFY with its findings.
  int verify(const QByteArray &name, QStringList *findings);
  // Closes `table`, runs `action` on it, opens it again and redraws its grid.
  // Empty on success, else the summary line of what went wrong.
  QString repair(TableId table, int action);

  Tables *tables_;
  TableCare *care_;
  Dialogs *dialogs_;
  QPushButton *button_;
  bool running_ = false;
};

}  // namespace tables

#endif
