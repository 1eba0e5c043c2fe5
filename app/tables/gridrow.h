// Row: the texts of the cells of one grid row. The cells are kept one after
// another in a single string with the end of each beside it, so that a
// listing of 100,000 records makes and later frees one block a row rather
// than one a cell (the frees of a block a cell cost as much as the listing).
#ifndef TESSALY_APP_TABLES_GRIDROW_H
#define TESSALY_APP_TABLES_GRIDROW_H

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>
#include <initializer_list>
#include <vector>

namespace tables {

class Row {
public:
  // Cells whose ends the row keeps without a block of their own: more than
  // any grid has (the log's 9 columns), so that rows never grow one.
  static constexpr int kCellsInPlace = 12;

  Row() = default;
  // Rows written as lists of their cells.
  Row(const QStringList &cells);  // NOLINT(google-explicit-constructor)
  Row(std::initializer_list<QString> cells);

  // Room for `chars` characters of cells.
  void reserve(qsizetype chars) { text_.reserve(chars); }
  // Adds a cell at the end.
  void append(QStringView cell);
  void append(QLatin1StringView cell);

  int size() const { return static_cast<int>(ends_.size()); }
  // The text of cell `column`, empty past the last; valid until the row changes.
  QStringView cell(int column) const;
  QString operator[](int column) const { return cell(column).toString(); }
  // Sets cell `column`, adding empty cells up to it.
  void setCell(int column, QStringView text);

  QStringList cells() const;
  bool operator==(const Row &other) const { return text_ == other.text_ && ends_ == other.ends_; }

private:
  QString text_;
  QVarLengthArray<qsizetype, kCellsInPlace> ends_;  // end of each cell in text_
};

using Rows = std::vector<Row>;

// `text` without the characters at either end that QString::trimmed takes
// away, for Latin-1 text: blanks, tabs, line ends, and 0x85 and 0xA0.
QByteArrayView trimmedLatin1(QByteArrayView text);

}  // namespace tables

#endif
