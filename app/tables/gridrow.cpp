#include "app/tables/gridrow.h"

namespace tables {

Row::Row(const QStringList &cells) {
  for (const QString &c : cells) append(QStringView(c));
}

Row::Row(std::initializer_list<QString> cells) {
  for (const QString &c : cells) append(QStringView(c));
}

void Row::append(QStringView cell) {
  text_.append(cell);
  ends_.push_back(text_.size());
}

void Row::append(QLatin1StringView cell) {
  text_.append(cell);
  ends_.push_back(text_.size());
}

QStringView Row::cell(int column) const {
  if (column < 0 || column >= size()) return {};
  const qsizetype start = column == 0 ? 0 : ends_[column - 1];
  return QStringView(text_).sliced(start, ends_[column] - start);
}

void Row::setCell(int column, QStringView text) {
  if (column < 0) return;
  while (size() <= column) append(QStringView());
  const qsizetype start = column == 0 ? 0 : ends_[column - 1];
  const qsizetype change = text.size() - (ends_[column] - start);
  text_.replace(start, ends_[column] - start, text.data(), text.size());
  for (qsizetype c = column; c < ends_.size(); ++c) ends_[c] += change;
}

QStringList Row::cells() const {
  QStringList out;
  out.reserve(size());
  for (int c = 0; c < size(); ++c) out << cell(c).toString();
  return out;
}

QByteArrayView trimmedLatin1(QByteArrayView text) {
  auto space = [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x85 || c == 0xA0;
  };
  qsizetype begin = 0, end = text.size();
  while (begin < end && space(text[begin])) ++begin;
  while (end > begin && space(text[end - 1])) --end;
  return text.sliced(begin, end - begin);
}

}  // namespace tables
