// StandardsImport: the "Load" button of the standards tab. It reads a
// comma-separated file of name and frequency pairs and stores one standards
// entry per pair through the entry boxes, reporting in the program's own
// message window.
#ifndef TESSALY_APP_TABLES_STANDARDSIMPORT_H
#define TESSALY_APP_TABLES_STANDARDSIMPORT_H

#include <QString>

class QLineEdit;
class QWidget;

namespace tables {

class Dialogs;
class EntryTable;

class StandardsImport {
public:
  static constexpr char kHeading[] = "Student Data - General Info.";
  static constexpr char kFilter[] = "Comma Delimitated (*.csv)";
  static constexpr int kNoticeSeconds = 2;
  // The largest file imported: far more pairs than the table is meant for.
  static constexpr qint64 kMaxFileBytes = qint64{8} << 20;

  // The entry boxes an imported entry is made in.
  struct Boxes {
    QLineEdit *notes, *frequency, *mode, *dateTime, *key;
  };

  // Every pointer must outlive the object; `window` holds the bound controls.
  StandardsImport(EntryTable *table, Dialogs *dialogs, QWidget *window, const Boxes &boxes);

  // Asks for a file and imports it. A name without the ".csv" extension
  // gets ".Csv". Only a regular file of at most kMaxFileBytes is read (a
  // notice says so otherwise). The file is read as UTF-8 when it is valid UTF-8, else as
  // Latin-1. Pairs whose frequency is not a number from 0 to 99999.99 kHz
  // are skipped; the final notice counts what was stored, what was skipped
  // and the characters the 8-bit table could not hold. A failed write ends
  // the import with the standard message box.
  void run();
  // The import of the file `name`, as run() does it after the dialog.
  void importFile(const QString &name);

  // Entries imported since the program started; keys made in one second
  // differ by it.
  int counter() const { return counter_; }
  // The answer to the proper-case question of the last import (1 = Yes).
  int properCase() const { return properCase_; }

private:
  void notice(const QString &message);

  EntryTable *table_;
  Dialogs *dialogs_;
  QWidget *window_;
  Boxes boxes_;
  int counter_ = 0;
  int properCase_ = 0;
};

}  // namespace tables

#endif
