// EntryTable: what the three tables have in common. A table lists its file
// in a grid, filtered by a word of one item and sorted by one column, and
// edits one entry at a time in an entry frame whose controls are bound to
// the file's items by tag. The tabs add their own buttons and clicks.
#ifndef TESSALY_APP_TABLES_ENTRYTABLE_H
#define TESSALY_APP_TABLES_ENTRYTABLE_H

#include <QString>
#include <functional>
#include <span>

#include "app/tables/database.h"
#include "app/tables/grid.h"
#include "app/tables/newentry.h"

class MainWindow;
class QComboBox;
class QLineEdit;
class QWidget;

namespace tables {

class Dialogs;

struct TableLayout {
  TableId table;
  std::span<const Column> columns;
  const char *filterItem;   // the item the filter word is looked for in
  int keyColumn;            // the grid column of the unique key
  int sortColumn;           // the order of a fresh listing
  SortMode sortMode;
  const char *keyPattern;   // stamp pattern of a new entry's key
  const char *writeError;   // message when a save fails
  const char *deleteError;  // message when a delete fails
  bool reportMissing;       // a delete that finds no entry says so
};

// The entry frame and the controls the operations use.
struct EntryControls {
  Grid *grid;
  QComboBox *filter;
  QWidget *frame;
  QLineEdit *key;  // the entry's unique key; numeric value 0 = a new entry
};

// The rows of a listing of file `fileId`: every record in key order, kept
// when `filter` trimmed is "All" or when `filter` as it stands occurs in
// `filterItem` (case-sensitive); one cell per column, trimmed.
Rows listRecords(KdbApi &kdb, int fileId, std::span<const Column> columns, const char *filterItem,
                 const QString &filter);

class EntryTable {
public:
  static constexpr char kNotFound[] = "Unable to locate this entry";

  // Every pointer must outlive the object; `window` holds the bound controls
  // and the panel whose tuning a click on a frequency uses.
  EntryTable(const TableLayout &layout, Database *db, Dialogs *dialogs, MainWindow *window,
             const EntryControls &controls);

  // Fills the grid: every record in key order, kept when the filter text
  // trimmed is "All" or when the filter text as it stands occurs in the
  // filter item (case-sensitive); each cell trimmed; then sorted.
  void display();
  // The grid rows display() shows, without touching the grid.
  Rows list() const;
  // The grid row of the record in the record buffer.
  Row currentRow() const;
  // Fills the grid with `rows`, completed (setCompletion) and sorted as
  // display() sorts.
  void show(Rows rows);
  // Cells that the table's own file does not hold, filled in by the tab
  // before a listing is shown.
  void setCompletion(std::function<void(Rows &)> complete) { complete_ = std::move(complete); }
  // Stores the bound controls. A new entry (key 0) is added under the first
  // free key from the stamp of now (addNew). An opened entry replaces only
  // itself: under its record lock it is read again, and when another program
  // changed or deleted it since it was opened the operator is asked first
  // (keep theirs, which the frame then shows, or store these controls over
  // it; store a deleted entry again as new, or not).
  // `stored`, when given, is called with the key the entry was stored under
  // before the grid refills (the log keeps more of the entry beside it).
  // On success refills the grid and hides the frame; on failure says so and
  // keeps the frame as it is. Returns true on success.
  bool save(const std::function<void(const QString &key)> &stored = {});
  // Deletes the record with the key of the key box, when there is one; then
  // hides the frame and refills the grid.
  void remove();
  // Opens the entry of data row `row` (from 0) in the frame; says so when
  // its record cannot be found.
  void open(int row);
  // Sorts the grid's rows by `column` as text without regard to case (the
  // sort selector's choice) and gives the focus back to the panel's keys.
  void sortBy(int column);
  // Tunes the transceiver to the frequency in the cell at `row`, `column`.
  void tuneTo(int row, int column);
  // Reads the record with `key` into the record buffer; true when its key
  // item equals `key` (both trimmed). With `staying` the file stays on that
  // record (so that it can be locked) instead of moving past it.
  bool locate(const QString &key, bool staying = false);
  // Adds the record buffer as a new entry under `wanted` or the next key
  // that no entry has (addEntry).
  AddedEntry addNew(const QString &wanted);

  // What the operator is asked when an opened entry changed under them.
  static constexpr char kChangedElsewhere[] =
      "Another program changed this entry since you opened it. Replace its changes with yours?";
  static constexpr char kDeletedElsewhere[] =
      "Another program deleted this entry since you opened it. Save it again as a new entry?";
  static constexpr char kBusyElsewhere[] = "Another program is saving this entry; try again.";

  int fileId() const { return db_->fileId(layout_.table); }
  KdbApi &kdb() const { return db_->kdb(); }
  const EntryControls &controls() const { return controls_; }

private:
  const char *keyItem() const { return layout_.columns[layout_.keyColumn].item; }
  void refresh();
  // A yes-or-no question in the program's message window; true after Yes.
  bool ask(const char *question);
  // Stores the controls over the opened entry with `key`, or as asked when
  // it changed elsewhere. The record layer's code, or -1 when nothing is
  // to be stored (the operator kept the other program's version).
  int replaceOpened(const QString &key);
  // The write of a new entry or of an opened one; KDB_OK when stored, -1
  // when the operator chose not to store.
  int store();

  TableLayout layout_;
  Database *db_;
  Dialogs *dialogs_;
  MainWindow *window_;
  EntryControls controls_;
  // The entry open in the frame as it was read, to tell another program's
  // change from the operator's own.
  QString openedKey_;
  Row opened_;
  std::function<void(Rows &)> complete_;
};

}  // namespace tables

#endif
