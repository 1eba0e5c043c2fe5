#include "app/radio/frequency.h"

#include <charconv>
#include <cmath>

namespace radio {

double leadingNumber(QStringView text) {
  int i = 0;
  const int n = text.size();
  while (i < n && text[i].isSpace()) ++i;
  const int start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < n && text[i].isDigit()) { ++i; digits = true; }
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i].isDigit()) { ++i; digits = true; }
  }
  if (!digits) return 0.0;
  // Plain ASCII numbers, which are nearly all, are read without the
  // locale machinery of toDouble: grids sort by this number row by row.
  char ascii[64];
  const int length = i - start;
  if (length < static_cast<int>(sizeof ascii)) {
    int copied = 0;
    for (int k = start; k < i && text[k].unicode() < 0x80; ++k) ascii[copied++] = static_cast<char>(text[k].unicode());
    if (copied == length) {
      const char *first = ascii[0] == '+' ? ascii + 1 : ascii;  // from_chars takes no '+'
      double value = 0.0;
      if (std::from_chars(first, ascii + length, value).ec == std::errc()) return value;
    }
  }
  return text.mid(start, length).toDouble();
}

std::optional<long> khzToTenHz(double khz) {
  if (!std::isfinite(khz) || khz < 0.0) return std::nullopt;
  const double tenHz = std::round(khz * 100.0);
  if (tenHz > static_cast<double>(kMaxTenHz)) return std::nullopt;
  return static_cast<long>(tenHz);
}

std::optional<long> parseKhz(const QString &text) {
  const QString t = text.trimmed();
  // Only plain decimal text: no exponent, no hex, no thousands separators.
  for (const QChar c : t)
    if (!c.isDigit() && c != '.' && c != '+' && c != '-') return std::nullopt;
  bool ok = false;
  const double khz = t.toDouble(&ok);
  if (!ok) return std::nullopt;
  return khzToTenHz(khz);
}

QString khzText(long tenHz) {
  return QStringLiteral("%1.%2").arg(tenHz / 100, 5, 10, QChar('0')).arg(tenHz % 100, 2, 10, QChar('0'));
}

QString plainNumberText(const QString &caption) {
  return QString::number(leadingNumber(caption), 'g', 15);
}

QStringList limitPickList(const QString &lowLimitText) {
  const std::optional<long> low = parseKhz(lowLimitText);
  if (!low || *low < 800) return {};
  const QString prefix = lowLimitText.trimmed().left(2);
  static const char *const kTails[] = {"000.00", "100.00", "200.00", "300.00", "400.00",
                                       "500.00", "600.00", "700.00", "800.00", "999.00"};
  QStringList lines;
  for (const char *tail : kTails) lines << prefix + QLatin1String(tail);
  return lines;
}

}  // namespace radio
