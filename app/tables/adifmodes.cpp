#include "app/tables/adifmodes.h"

namespace tables {

namespace {

// Log mode texts and their ADIF modes. For the way back the first row of a
// mode and submode wins, so each group starts with the text an import gives.
const struct {
  const char *log, *mode, *submode;
} kModes[] = {
    {"LSB", "SSB", "LSB"},       {"USB", "SSB", "USB"},        {"SSB", "SSB", ""},
    {"CW", "CW", ""},            {"CW-W", "CW", ""},           {"CW-N", "CW", ""},
    {"AM", "AM", ""},            {"AM-W", "AM", ""},           {"AM-N", "AM", ""},
    {"FM", "FM", ""},            {"RTTY", "RTTY", ""},         {"FSK", "RTTY", ""},
    {"PSK31", "PSK", "PSK31"},   {"PSK63", "PSK", "PSK63"},    {"PSK125", "PSK", "PSK125"},
    {"BPSK31", "PSK", "BPSK31"}, {"QPSK31", "PSK", "QPSK31"},  {"FT8", "FT8", ""},
    {"FT4", "MFSK", "FT4"},      {"JS8", "MFSK", "JS8"},       {"FST4", "MFSK", "FST4"},
    {"FST4W", "MFSK", "FST4W"},  {"Q65", "MFSK", "Q65"},       {"MFSK16", "MFSK", "MFSK16"},
    {"JT65", "JT65", ""},        {"JT9", "JT9", ""},           {"JT4", "JT4", ""},
    {"WSPR", "WSPR", ""},        {"MSK144", "MSK144", ""},     {"FSK441", "FSK441", ""},
    {"ISCAT", "ISCAT", ""},      {"JT6M", "JT6M", ""},         {"Olivia", "OLIVIA", ""},
    {"Contestia", "CONTESTI", ""}, {"SSTV", "SSTV", ""},       {"Fax", "FAX", ""},
    {"Hell", "HELL", ""},        {"MT63", "MT63", ""},         {"Domino", "DOMINO", ""},
    {"Thor", "THOR", ""},        {"Packet", "PKT", ""},        {"ATV", "ATV", ""},
    {"FreeDV", "DIGITALVOICE", "FREEDV"}, {"ROS", "ROS", ""},  {"Opera", "OPERA", ""},
};

}  // namespace

std::optional<AdifMode> adifModeFor(const QString &logMode) {
  const QString text = logMode.trimmed();
  for (const auto &m : kModes)
    if (text.compare(QLatin1String(m.log), Qt::CaseInsensitive) == 0) return AdifMode{m.mode, m.submode};
  return std::nullopt;
}

QString logModeFor(const QByteArray &mode, const QByteArray &submode) {
  const QByteArray upperMode = mode.trimmed().toUpper(), upperSub = submode.trimmed().toUpper();
  for (const auto &m : kModes)
    if (upperMode == m.mode && upperSub == m.submode) return QLatin1String(m.log);
  return QString::fromLatin1(upperSub.isEmpty() ? upperMode : upperSub);
}

}  // namespace tables
