#include "app/tables/csv.h"

#include <QStringDecoder>

#include "app/radio/frequency.h"

namespace tables {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

}  // namespace

QByteArray importTextAsUtf8(const QByteArray &file) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = utf8.decode(file);
  if (!utf8.hasError()) return decoded.toUtf8();
  return QString::fromLatin1(file).toUtf8();
}

int charactersBeyondLatin1(const QString &text) {
  int count = 0;
  for (const char32_t c : text.toUcs4())
    if (c > 0xFF) ++count;
  return count;
}

std::vector<QByteArray> csvFields(const QByteArray &text) {
  std::vector<QByteArray> fields;
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n) {
    while (i < n && isBlank(text[i])) ++i;
    if (i < n && isLineEnd(text[i])) {  // an empty or blank line, or the end of one
      ++i;
      continue;
    }
    if (i == n) break;
    QByteArray field;
    if (text[i] == '"') {
      const qsizetype close = text.indexOf('"', i + 1);
      const qsizetype end = close < 0 ? n : close;
      field = text.mid(i + 1, end - i - 1);
      i = close < 0 ? n : close + 1;
      while (i < n && text[i] != ',' && !isLineEnd(text[i])) ++i;
    } else {
      const qsizetype start = i;
      while (i < n && text[i] != ',' && !isLineEnd(text[i])) ++i;
      field = text.mid(start, i - start).trimmed();
    }
    fields.push_back(field);
    if (i < n && text[i] == ',') {
      ++i;
      // A comma at the end of a line separates an empty last field.
      qsizetype j = i;
      while (j < n && isBlank(text[j])) ++j;
      if (j == n || isLineEnd(text[j])) {
        fields.emplace_back();
        i = j;
      }
    }
  }
  return fields;
}

std::vector<ImportPair> pairFields(const std::vector<QByteArray> &fields) {
  std::vector<ImportPair> pairs;
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    bool ok = false;
    const double khz = fields[i + 1].trimmed().toDouble(&ok);
    pairs.push_back({fields[i], ok && radio::khzToTenHz(khz) ? std::optional<double>(khz) : std::nullopt});
  }
  return pairs;
}

QString importFileName(const QString &chosen) {
  QString name = chosen;
  if (name.size() < 4) name += QLatin1String(".Csv");
  if (name.right(4).toUpper() != QLatin1String(".CSV")) name += QLatin1String(".Csv");
  return name;
}

}  // namespace tables
