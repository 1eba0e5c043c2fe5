// Grids of the tables: a table view of one heading row (Qt's header) and data
// rows below it, over a GridModel of its own. Grid row r of the tables
// (1 = first data row) is Qt row r - 1. Cells are read-only texts; the grid
// never sorts by itself. One cell is selected at a time; Tab passes the focus
// on instead of moving from cell to cell.
#ifndef TESSALY_APP_TABLES_GRID_H
#define TESSALY_APP_TABLES_GRID_H

#include <QTableView>

#include "app/tables/gridmodel.h"

namespace tables {

class Grid : public QTableView {
  Q_OBJECT
public:
  explicit Grid(QWidget *parent = nullptr);

  // Gives the grid its columns: headings, widths (a shown column at least
  // as wide as its heading; the widest column fills what the others leave)
  // and alignments. No rows.
  void setColumns(std::span<const Column> columns);
  // Replaces the data rows.
  void setRows(Rows rows) { model_->setRows(std::move(rows)); }
  // Sorts the data rows by `column` and makes that column current.
  void sortBy(int column, SortMode mode);

  int rowCount() const { return model_->rowCount(); }
  int columnCount() const { return model_->columnCount(); }
  // The text of a cell, "" when there is none.
  QString text(int row, int column) const { return model_->text(row, column); }
  void setText(int row, int column, const QString &text) { model_->setText(row, column, text); }
  // Makes the cell current (and, the selection being single, selected).
  void setCurrentCell(int row, int column);
  int currentRow() const { return currentIndex().row(); }
  int currentColumn() const { return currentIndex().column(); }

signals:
  // A click or double-click of the mouse on a cell.
  void cellClicked(int row, int column);
  void cellDoubleClicked(int row, int column);

private:
  GridModel *model_;
};

// The headings of `columns`, in order (the items of a sort selector).
QStringList headings(std::span<const Column> columns);

}  // namespace tables

#endif
