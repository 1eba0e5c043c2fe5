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

namespace {

bool utcStamps = false;

}  // namespace

void setStampsInUtc(bool utc) { utcStamps = utc; }

bool stampsInUtc() { return utcStamps; }

QDateTime stampClock() { return utcStamps ? QDateTime::currentDateTimeUtc() : QDateTime::currentDateTime(); }

QString stampNow(const QString &pattern) { return stamp(pattern, stampClock()); }

QString nextKey(const QString &key) {
  QString next = key.trimmed();
  qsizetype i = next.size();
  while (i > 0 && next[i - 1] == u'9') next[--i] = u'0';
  if (i > 0 && next[i - 1].isDigit()) {
    next[i - 1] = QChar(next[i - 1].unicode() + 1);
    return next;
  }
  return next.insert(i, QLatin1Char('1'));
}

}  // namespace tables
