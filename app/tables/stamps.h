// Date and time stamps of table entries, made from the stamp clock: the local
// clock, or UTC when the operator chooses it.
#ifndef TESSALY_APP_TABLES_STAMPS_H
#define TESSALY_APP_TABLES_STAMPS_H

#include <QDateTime>
#include <QString>

namespace tables {

// The patterns the tables use.
inline constexpr const char kLogDatePattern[] = "MM/dd/yy hh:mm";   // 12/07/26 21:05
inline constexpr const char kSortPattern[] = "YYMMddhhmm";          // 2612072105
inline constexpr const char kUniqueKeyPattern[] = "YYMMDDhhmmss";   // 261207210509
inline constexpr const char kStandardKeyPattern[] = "YYDDhhmmss";   // 2607210509
inline constexpr const char kImportKeyPattern[] = "MDDhhmmss";      // 1207210509
inline constexpr const char kScanDatePattern[] = "MM/DD/YY";        // 12/07/26

// Writes `when` in `pattern`. Letter groups are replaced, every other
// character is copied: "YY" or "yy" the last two digits of the year; "MM"
// the month 01-12, or the minute 00-59 once "hh" has been seen ("mm" alike);
// "M" alone the month 1-12 without a leading zero; "DD" or "dd" the day
// 01-31; "hh" the hour 00-23; "ss" the second 00-59.
QString stamp(const QString &pattern, const QDateTime &when);

// Which clock stampClock() reads; the local one until changed.
void setStampsInUtc(bool utc);
bool stampsInUtc();

// Now on the stamp clock.
QDateTime stampClock();

// stamp() of stampClock().
QString stampNow(const QString &pattern);

// The next value of a key: its trailing digits counted up by one in their
// own width ("261207210509" gives "261207210510", "0099" gives "0100"); when
// they are all nines the count grows by a digit instead of wrapping ("99"
// gives "100").
QString nextKey(const QString &key);

}  // namespace tables

#endif
