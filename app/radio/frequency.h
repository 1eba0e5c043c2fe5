// Frequencies as the panel writes them: kHz text with two decimals, picture
// "00000.00", and the same value in units of 10 Hz for the wire.
#ifndef TESSALY_APP_RADIO_FREQUENCY_H
#define TESSALY_APP_RADIO_FREQUENCY_H

#include <QString>
#include <QStringList>
#include <optional>

namespace radio {

// Highest frequency a frame can carry: 99999.99 kHz in units of 10 Hz.
constexpr long kMaxTenHz = 9999999;

// The leading decimal number of `text` (blanks before it and a sign allowed,
// for example "14200.5 kHz" gives 14200.5); 0 when the text starts with none.
double leadingNumber(QStringView text);
inline double leadingNumber(const QString &text) { return leadingNumber(QStringView(text)); }

// `text` read as a frequency in kHz: the whole trimmed text must be a decimal
// number in 0 .. 99999.99 (rounded to 10 Hz). Returns it in units of 10 Hz, or
// nullopt for empty, non-numeric or out-of-range text.
std::optional<long> parseKhz(const QString &text);

// `khz` rounded to 10 Hz, or nullopt outside 0 .. 99999.99 kHz.
std::optional<long> khzToTenHz(double khz);

// `tenHz` in the picture "00000.00" (kHz).
QString khzText(long tenHz);

// The step value of a step-choice caption, as plain decimal text: "0.10" gives
// "0.1", "10.00" gives "10".
QString plainNumberText(const QString &caption);

// The pick list of scan limits for a double-click on a limit box, built from the
// low limit's text: ten lines of its first two characters followed by "000.00",
// "100.00" .. "800.00" and "999.00". Empty when the text, read as a number, is
// below 8 or is not a number at all (the caller then copies the entry instead).
QStringList limitPickList(const QString &lowLimitText);

}  // namespace radio

#endif
