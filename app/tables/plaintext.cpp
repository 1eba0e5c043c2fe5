#include "app/tables/plaintext.h"

#include <charconv>
#include <cmath>
#include <string>

namespace tables {

QString numberToPlainText(double number) {
  if (!std::isfinite(number)) return QStringLiteral("0");
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, number);
  if (ec != std::errc()) return QStringLiteral("0");
  std::string text(buf, end);
  const size_t e = text.find('e');
  if (e == std::string::npos) return QString::fromStdString(text);
  const int exponent = std::stoi(text.substr(e + 1));
  if (exponent < 0) return QStringLiteral("0");
  std::string mantissa = text.substr(0, e);
  std::string sign;
  if (!mantissa.empty() && mantissa[0] == '-') {
    sign = "-";
    mantissa.erase(0, 1);
  }
  std::string digits = mantissa;
  size_t point = digits.find('.');
  size_t intDigits = point == std::string::npos ? digits.size() : point;
  if (point != std::string::npos) digits.erase(point, 1);
  intDigits += static_cast<size_t>(exponent);
  if (digits.size() < intDigits) digits.append(intDigits - digits.size(), '0');
  if (digits.size() > intDigits) digits.insert(intDigits, 1, '.');
  return QString::fromStdString(sign + digits);
}

QString hashPictureKhz(double khz) {
  QString text = QString::number(khz, 'f', 2);
  if (text.startsWith(QLatin1String("0."))) text.remove(0, 1);
  if (text.startsWith(QLatin1String("-0."))) text.remove(1, 1);
  return text;
}

}  // namespace tables
