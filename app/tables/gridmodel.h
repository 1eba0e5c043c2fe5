// GridModel: the rows a grid shows, as read-only texts, with the headings and
// alignments of its columns. One model serves each of the three grids; the
// rows are kept as they were given, so that a refill costs one reset of the
// view and the view asks only for the cells it paints. A row shorter than
// the columns shows "" in the cells it lacks.
#ifndef TESSALY_APP_TABLES_GRIDMODEL_H
#define TESSALY_APP_TABLES_GRIDMODEL_H

#include <QAbstractTableModel>
#include <QStringList>
#include <span>
#include <vector>

#include "app/tables/gridrow.h"

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

// Sorts `rows` by `column`, ascending and stable: Numeric by the leading
// number of each text (0 for none), TextNoCase by the text without regard to
// case.
void sortRows(Rows &rows, int column, SortMode mode);

class GridModel : public QAbstractTableModel {
  Q_OBJECT
public:
  using QAbstractTableModel::QAbstractTableModel;

  // Takes the headings and alignments of `columns`; no rows.
  void setColumns(std::span<const Column> columns);
  // Replaces every row.
  void setRows(Rows rows);
  // Sorts the rows by `column` (see sortRows).
  void sortBy(int column, SortMode mode);

  // The text of a cell, "" outside the rows.
  QString text(int row, int column) const;
  // Sets the text of a cell of an existing row; cells outside are ignored.
  void setText(int row, int column, const QString &text);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
  QStringList headings_;
  std::vector<bool> alignRight_;
  Rows rows_;
};

}  // namespace tables

#endif
