// The log's mode texts and ADIF's MODE and SUBMODE enumerations, one table
// read both ways. The log keeps the mode as the radio panel names it (LSB,
// CW-N, FSK) or as an operator or an import wrote it (FT8, PSK31); ADIF
// wants its own MODE with, for modes it groups, a SUBMODE (FT4 and JS8 are
// MFSK, PSK31 is PSK, USB and LSB are SSB).
#ifndef TESSALY_APP_TABLES_ADIFMODES_H
#define TESSALY_APP_TABLES_ADIFMODES_H

#include <QByteArray>
#include <QString>
#include <optional>

namespace tables {

// An ADIF mode and, when it has one, its submode.
struct AdifMode {
  QByteArray mode, submode;
  bool operator==(const AdifMode &) const = default;
};

// The ADIF mode of a log mode text (any case), nullopt for one ADIF has no
// mode for ("Unknown Digital").
std::optional<AdifMode> adifModeFor(const QString &logMode);

// The log mode text of an ADIF mode and submode (any case): the first text
// the table maps onto them (SSB/USB gives USB, CW gives CW), else the
// submode as written, else the mode.
QString logModeFor(const QByteArray &mode, const QByteArray &submode);

}  // namespace tables

#endif
