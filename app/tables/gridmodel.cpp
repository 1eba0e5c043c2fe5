#include "app/tables/gridmodel.h"

#include <algorithm>

#include "app/radio/frequency.h"

namespace tables {

void sortRows(Rows &rows, int column, SortMode mode) {
  auto cell = [column](const Row &row) { return row.cell(column); };
  if (mode == SortMode::Numeric) {
    // Each number is read once, not at every comparison.
    std::vector<std::pair<double, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) keys.emplace_back(radio::leadingNumber(cell(rows[i])), i);
    std::stable_sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    Rows sorted;
    sorted.reserve(rows.size());
    for (const auto &k : keys) sorted.push_back(std::move(rows[k.second]));
    rows = std::move(sorted);
  } else {
    std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
      return cell(a).compare(cell(b), Qt::CaseInsensitive) < 0;
    });
  }
}

void GridModel::setColumns(std::span<const Column> columns) {
  beginResetModel();
  headings_.clear();
  alignRight_.clear();
  for (const Column &c : columns) {
    headings_ << QLatin1String(c.heading);
    alignRight_.push_back(c.alignRight);
  }
  rows_.clear();
  endResetModel();
}

void GridModel::setRows(Rows rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void GridModel::sortBy(int column, SortMode mode) {
  beginResetModel();
  sortRows(rows_, column, mode);
  endResetModel();
}

QString GridModel::text(int row, int column) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
  return rows_[row][column];
}

void GridModel::setText(int row, int column, const QString &text) {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= columnCount()) return;
  rows_[row].setCell(column, text);
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole});
}

int GridModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GridModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant GridModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole) return text(index.row(), index.column());
  if (role == Qt::TextAlignmentRole && alignRight_[index.column()])
    return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);  // as the item views read it
  return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headings_.size())
    return {};
  return headings_[section];
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace tables
