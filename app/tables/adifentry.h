// Station log entries as ADIF records and back. The log keeps local date and
// time to the minute, frequencies as kHz text with two decimals and the mode
// as the radio panel names it; ADIF wants UTC, MHz, a band and its own modes.
// What ADIF has no field for (the net flag, a mode text the mapping would
// change) travels in fields of the program's own (APP_TESSALY_...), so that
// an exported log imports as it was.
#ifndef TESSALY_APP_TABLES_ADIFENTRY_H
#define TESSALY_APP_TABLES_ADIFENTRY_H

#include <QByteArray>
#include <QString>
#include <QTimeZone>
#include <optional>

#include "app/tables/adif.h"

namespace tables {

// The texts of one log entry, trimmed, item by item.
struct LogEntry {
  QString dateTime;  // "DATETIME", "MM/dd/yy hh:mm"
  QString frequency; // "FRQ", kHz, "14200.00"
  QString mode;      // "MODE"
  QString net;       // "NET", "0" or "1"
  QString dateSort;  // "DATESORT", "YYMMddhhmm"
  QString notes;     // "NOTES"
  QString key;       // "UNIKEY"

  bool operator==(const LogEntry &) const = default;
};

// Lengths of the log's text items; longer texts are cut on import.
inline constexpr qsizetype kLogModeLength = 15, kLogNotesLength = 100;

// An ADIF mode and, when it has one, its submode.
struct AdifMode {
  QByteArray mode, submode;
};

// The ADIF mode of a log mode text (any case), nullopt for one ADIF has no
// mode for: LSB and USB are SSB with that submode, CW-W and CW-N are CW, AM-W
// and AM-N are AM, FSK is RTTY, PSK31 is PSK with submode PSK31; CW, AM, FM,
// RTTY, OLIVIA, SSTV and SSB are themselves.
std::optional<AdifMode> adifModeFor(const QString &logMode);
// The log mode text of an ADIF mode and submode (any case): the first text
// the table above maps onto them (SSB/USB gives USB, CW gives CW), else the
// submode as written, else the mode.
QString logModeFor(const QByteArray &mode, const QByteArray &submode);

// The ADIF band of a frequency in units of 10 Hz, "" outside the amateur
// bands (band edges belong to the band).
QByteArray bandFor(qint64 tenHz);

// The ADIF record of `entry` (its fields and <EOR>), with date and time
// converted from `zone` to UTC; nullopt when the entry's date and time or its
// frequency cannot be read.
std::optional<QByteArray> adifRecordFor(const LogEntry &entry, const QTimeZone &zone);

// Why a record does not become an entry.
enum class ImportSkip {
  BadTag,         // a field tag without a length, or a length that is not a number
  MissingEnd,     // no <EOR> where the record should end
  CutShort,       // a value runs past the end of the file
  BadDate,        // QSO_DATE or TIME_ON missing or impossible, or a year the log cannot hold
  NoFrequency,    // no FREQ
  BadFrequency,   // FREQ is not a number
  FrequencyRange, // FREQ is not above 0 or does not fit the log's 99999.99 kHz
};
inline constexpr int kImportSkipCount = 7;

struct ImportedEntry {
  std::optional<LogEntry> entry;  // set when the record is usable
  ImportSkip skip = ImportSkip::BadTag;
  bool cut = false;  // a text was longer than its item and was cut
};

// The entry of ADIF record `record`, date and time converted from UTC to
// `zone`; its key is the local time, pattern "YYMMDDhhmmss", which the
// caller makes unique. Notes come from COMMENT (UTF-8, or Latin-1 when it is
// not valid UTF-8), with control characters turned into blanks.
ImportedEntry logEntryFor(const AdifRecord &record, const QTimeZone &zone);

}  // namespace tables

#endif
