#include "app/tables/grid.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>

#include "app/mainwindow.h"
#include "app/radio/frequency.h"

namespace tables {

void prepareGrid(QTableWidget *grid, std::span<const Column> columns) {
  grid->setColumnCount(static_cast<int>(columns.size()));
  grid->setHorizontalHeaderLabels(headings(columns));
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(18);
  grid->horizontalHeader()->setMinimumSectionSize(1);
  grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setWordWrap(false);
  // Tab moves the focus on to the next control, not from cell to cell.
  grid->setTabKeyNavigation(false);
  QHeaderView *header = grid->horizontalHeader();
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  int widest = 0;
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    int width = std::max(1, MainWindow::twipsToPixels(columns[c].widthTwips));
    // A shown column is at least as wide as its heading.
    if (columns[c].widthTwips > kHiddenWidthTwips)
      width = std::max(width, header->fontMetrics().horizontalAdvance(QLatin1String(columns[c].heading)) + 2 * margin);
    grid->setColumnWidth(c, width);
    if (columns[c].widthTwips > columns[widest].widthTwips) widest = c;
    // The header item remembers the column's alignment for fillGrid.
    grid->horizontalHeaderItem(c)->setData(Qt::UserRole, columns[c].alignRight);
  }
  // The widest column gives up or takes the room the others leave, so that
  // every column is in view without scrolling sideways.
  header->setSectionResizeMode(widest, QHeaderView::Stretch);
  grid->setRowCount(0);
}

QStringList headings(std::span<const Column> columns) {
  QStringList out;
  for (const Column &c : columns) out << QLatin1String(c.heading);
  return out;
}

void sortRows(Rows &rows, int column, SortMode mode) {
  auto cell = [column](const QStringList &row) { return column < row.size() ? row[column] : QString(); };
  if (mode == SortMode::Numeric) {
    std::vector<std::pair<double, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) keys.emplace_back(radio::leadingNumber(cell(rows[i])), i);
    std::stable_sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    Rows sorted;
    sorted.reserve(rows.size());
    for (const auto &k : keys) sorted.push_back(std::move(rows[k.second]));
    rows = std::move(sorted);
  } else {
    std::stable_sort(rows.begin(), rows.end(), [&](const QStringList &a, const QStringList &b) {
      return cell(a).compare(cell(b), Qt::CaseInsensitive) < 0;
    });
  }
}

void fillGrid(QTableWidget *grid, const Rows &rows) {
  grid->setUpdatesEnabled(false);
  grid->setRowCount(0);
  grid->setRowCount(static_cast<int>(rows.size()));
  const int columns = grid->columnCount();
  std::vector<bool> right(columns);
  for (int c = 0; c < columns; ++c) {
    const QTableWidgetItem *header = grid->horizontalHeaderItem(c);
    right[c] = header && header->data(Qt::UserRole).toBool();
  }
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int c = 0; c < columns && c < rows[r].size(); ++c) {
      auto *item = new QTableWidgetItem(rows[r][c]);
      if (right[c]) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid->setItem(r, c, item);
    }
  }
  grid->setUpdatesEnabled(true);
}

Rows gridRows(const QTableWidget *grid) {
  Rows rows(grid->rowCount());
  for (int r = 0; r < grid->rowCount(); ++r)
    for (int c = 0; c < grid->columnCount(); ++c) rows[r] << cellText(grid, r, c);
  return rows;
}

void sortGrid(QTableWidget *grid, int column, SortMode mode) {
  Rows rows = gridRows(grid);
  sortRows(rows, column, mode);
  fillGrid(grid, rows);
  if (grid->rowCount() > 0) grid->setCurrentCell(0, column);
}

QString cellText(const QTableWidget *grid, int row, int column) {
  const QTableWidgetItem *item = grid->item(row, column);
  return item ? item->text() : QString();
}

}  // namespace tables
