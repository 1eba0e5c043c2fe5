#include "app/tables/grid.h"

#include <QHeaderView>
#include <QStyle>
#include <algorithm>

#include "app/mainwindow.h"

namespace tables {

Grid::Grid(QWidget *parent) : QTableView(parent), model_(new GridModel(this)) {
  setModel(model_);
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex &index) { emit cellClicked(index.row(), index.column()); });
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex &index) { emit cellDoubleClicked(index.row(), index.column()); });
}

void Grid::setCurrentCell(int row, int column) { setCurrentIndex(model_->index(row, column)); }

void Grid::setColumns(std::span<const Column> columns) {
  model_->setColumns(columns);
  QHeaderView *rows = verticalHeader();
  rows->hide();
  // Rows of one fixed height: the view never measures them, whatever their number.
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(18);
  QHeaderView *header = horizontalHeader();
  header->setMinimumSectionSize(1);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  // Tab moves the focus on to the next control, not from cell to cell.
  setTabKeyNavigation(false);
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  int widest = 0;
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    int width = std::max(1, MainWindow::twipsToPixels(columns[c].widthTwips));
    // A shown column is at least as wide as its heading.
    if (columns[c].widthTwips > kHiddenWidthTwips)
      width = std::max(width, header->fontMetrics().horizontalAdvance(QLatin1String(columns[c].heading)) + 2 * margin);
    setColumnWidth(c, width);
    if (columns[c].widthTwips > columns[widest].widthTwips) widest = c;
  }
  // The widest column gives up or takes the room the others leave, so that
  // every column is in view without scrolling sideways.
  header->setSectionResizeMode(widest, QHeaderView::Stretch);
}

QStringList headings(std::span<const Column> columns) {
  QStringList out;
  for (const Column &c : columns) out << QLatin1String(c.heading);
  return out;
}

void Grid::sortBy(int column, SortMode mode) {
  model_->sortBy(column, mode);
  if (rowCount() > 0) setCurrentCell(0, column);
}

}  // namespace tables
