#include "app/radio/freqrange.h"

#include <QStringList>
#include <cmath>

#include "app/radio/frequency.h"

namespace radio {

namespace {

// A kHz text as Hz; nullopt unless it is a plain decimal number on the 10 Hz grid.
std::optional<long> kHzToHz(const QString &text) {
  const QString t = text.trimmed();
  if (t.isEmpty() || t.startsWith(u'+') || t.startsWith(u'-')) return std::nullopt;
  for (QChar c : t)
    if (!c.isDigit() && c != u'.') return std::nullopt;
  bool ok = false;
  const double kHz = t.toDouble(&ok);
  if (!ok || !std::isfinite(kHz) || kHz > FrequencyRange::kFrameMaxHz / 1000.0) return std::nullopt;
  const double hz = kHz * 1000.0;
  const long rounded = std::lround(hz / 10.0) * 10;
  if (std::fabs(hz - rounded) > 1e-3) return std::nullopt;
  return rounded;
}

}  // namespace

std::optional<FrequencyRange> FrequencyRange::parse(const QString &text) {
  const QStringList parts = text.split(u'-');
  if (parts.size() != 2) return std::nullopt;
  const std::optional<long> low = kHzToHz(parts[0]), high = kHzToHz(parts[1]);
  if (!low || !high || *low >= *high || *high > kFrameMaxHz) return std::nullopt;
  return FrequencyRange{*low, *high};
}

QString FrequencyRange::text() const {
  auto format = [](long hz) {
    QString s = QString::number(hz / 1000) + u'.' + QString::number(hz % 1000).rightJustified(3, u'0');
    while (s.endsWith(u'0')) s.chop(1);
    if (s.endsWith(u'.')) s.chop(1);
    return s;
  };
  return format(lowHz) + u'-' + format(highHz);
}

QString FrequencyRange::shownText() const {
  return QStringLiteral("%1 to %2 kHz").arg(khzText(lowHz / 10), khzText(highHz / 10));
}

}  // namespace radio
