// Numbers written as plain decimal text.
#ifndef TESSALY_APP_TABLES_PLAINTEXT_H
#define TESSALY_APP_TABLES_PLAINTEXT_H

#include <QString>

namespace tables {

// The shortest decimal text of `number` without an exponent: where the
// shortest form has one, a negative exponent gives "0" and an exponent e of 0
// or more moves the point e places right, filling with zeros (1.5e+20 gives
// 15 and nineteen zeros). 0, 1 and 2 give "0", "1" and "2".
QString numberToPlainText(double number);

// `khz` as "#####.00": the integer digits without leading zeros (none for a
// value below 1), a point and two decimals. 14070 gives "14070.00", 0.5
// gives ".50".
QString hashPictureKhz(double khz);

}  // namespace tables

#endif
