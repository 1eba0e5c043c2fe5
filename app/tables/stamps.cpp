#include "app/tables/stamps.h"

namespace tables {

namespace {

QString twoDigits(int value) { return QStringLiteral("%1").arg(value % 100, 2, 10, QLatin1Char('0')); }

}  // namespace

QString stamp(const QString &pattern, const QDateTime &when) {
  const QDate date = when.date();
  const QTime time = when.time();
  QString out;
  bool afterHour = false;
  for (qsizetype i = 0; i < pattern.size();) {
    const QChar c = pattern[i];
    const bool pair = i + 1 < pattern.size() && pattern[i + 1] == c;
    const QChar lower = c.toLower();
    if (pair && lower == u'y') {
      out += twoDigits(date.year());
    } else if (pair && lower == u'm') {
      out += twoDigits(afterHour ? time.minute() : date.month());
    } else if (pair && lower == u'd') {
      out += twoDigits(date.day());
    } else if (pair && c == u'h') {
      out += twoDigits(time.hour());
      afterHour = true;
    } else if (pair && c == u's') {
      out += twoDigits(time.second());
    } else if (c == u'M') {
      out += QString::number(date.month());
      ++i;
      continue;
    } else {
      out += c;
      ++i;
      continue;
    }
    i += 2;
  }
  return out;
}

QString stampNow(const QString &pattern) { return stamp(pattern, QDateTime::currentDateTime()); }

}  // namespace tables
