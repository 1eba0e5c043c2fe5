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
  // Gives a new entry a key (the first free one from the stamp of now),
  // stores the bound controls and writes the record.
  // On success refills the grid and hides the frame; on failure says so and
  // keeps the frame as it is. Returns true on success.
  bool save();
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
  // item equals `key` (both trimmed).
  bool locate(const QString &key);
  // `candidate`, or when an entry has it already the next key that none
  // has, so that a new entry never replaces another. Leaves the record
  // buffer on the last entry looked at.
  QString freeKey(const QString &candidate);

  int fileId() const { return db_->fileId(layout_.table); }
  KdbApi &kdb() const { return db_->kdb(); }
  const EntryControls &controls() const { return controls_; }

private:
  const char *keyItem() const { return layout_.columns[layout_.keyColumn].item; }
  void refresh();

  TableLayout layout_;
  Database *db_;
  Dialogs *dialogs_;
  MainWindow *window_;
  EntryControls controls_;
  std::function<void(Rows &)> complete_;
};

}  // namespace tables

#endif
