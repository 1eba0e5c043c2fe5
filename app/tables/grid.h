// Grids of the tables: a QTableWidget with one heading row (Qt's header) and
// data rows below it. Grid row r of the tables (1 = first data row) is Qt
// row r - 1. Cells are read-only texts; the grid never sorts by itself.
#ifndef TESSALY_APP_TABLES_GRID_H
#define TESSALY_APP_TABLES_GRID_H

#include <QStringList>
#include <span>
#include <vector>

class QTableWidget;

namespace tables {

// Columns this narrow are hidden in all but name.
inline constexpr int kHiddenWidthTwips = 10;

struct Column {
  const char *heading;
  int widthTwips;  // kHiddenWidthTwips hides the column
  const char *item;
  bool alignRight = false;
};

enum class SortMode { Numeric, TextNoCase };

using Rows = std::vector<QStringList>;

// Gives `grid` its columns: headings, widths (a shown column at least as
// wide as its heading; the widest column fills what the others leave) and
// alignments.
void prepareGrid(QTableWidget *grid, std::span<const Column> columns);

// The headings of `columns`, in order (the items of a sort selector).
QStringList headings(std::span<const Column> columns);

// Sorts `rows` by `column`, ascending and stable: Numeric by the leading
// number of each text (0 for none), TextNoCase by the text without regard to
// case.
void sortRows(Rows &rows, int column, SortMode mode);

// Replaces the data rows of `grid` with `rows`.
void fillGrid(QTableWidget *grid, const Rows &rows);

// The data rows of `grid` as texts.
Rows gridRows(const QTableWidget *grid);

// Sorts the data rows of `grid` by `column` and makes that column current.
void sortGrid(QTableWidget *grid, int column, SortMode mode);

// The text of a cell, "" when there is none.
QString cellText(const QTableWidget *grid, int row, int column);

}  // namespace tables

#endif
