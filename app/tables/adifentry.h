// Station log entries as ADIF records and back. The log keeps local date and
// time to the minute, frequencies as kHz text with two decimals and the mode
// as the radio panel names it; ADIF wants UTC, MHz, a band and its own modes.
// The companion record of an entry (logcompanion.h) holds the rest: the
// exact UTC time, the call sign and every field the log's items do not hold
// as it came. What ADIF has no field for (the net flag, a mode text the
// mapping would change) travels in fields of the program's own
// (APP_TESSALY_...), so that an exported log imports as it was.
#ifndef TESSALY_APP_TABLES_ADIFENTRY_H
#define TESSALY_APP_TABLES_ADIFENTRY_H

#include <QByteArray>
#include <QString>
#include <QTimeZone>
#include <optional>

#include "app/tables/adif.h"
#include "app/tables/adifmodes.h"
#include "app/tables/logcompanion.h"

namespace tables {

// The texts of one log entry, trimmed, item by item.
struct LogEntry {
  QString dateTime;  // "DATETIME", "MM/dd/yy hh:mm"
  QString frequency; // "FRQ", kHz, "14200.00"; "" when the log cannot hold it
  QString mode;      // "MODE"
  QString net;       // "NET", "0" or "1"
  QString dateSort;  // "DATESORT", "YYMMddhhmm"
  QString notes;     // "NOTES"
  QString key;       // "UNIKEY"

  bool operator==(const LogEntry &) const = default;
};

// Lengths of the log's text items; longer texts are cut on import.
inline constexpr qsizetype kLogModeLength = 15, kLogNotesLength = 100;

// The ADIF band of a frequency in units of 10 Hz, "" outside the amateur
// bands (band edges belong to the band).
QByteArray bandFor(qint64 tenHz);

// How the UTC time of an exported entry was found.
enum class EntryTime {
  Exact,      // the companion's exact time
  Converted,  // the log's local time, which names one moment
  Ambiguous,  // a local time the zone passes twice (clocks put back): the earlier is taken
  Missing,    // a local time the zone skips (clocks put forward): the zone's offset before it is taken
};

struct ExportedRecord {
  QByteArray text;    // the fields and <EOR>
  AdifFields fields;  // the same fields
  EntryTime time = EntryTime::Exact;
};

// The ADIF record of `entry` and its companion record `extra` (null when it
// has none), the log's local times being in `zone`. The companion's fields
// go out as they came while the entry still says what they said (date,
// frequency, mode and notes); an entry edited since goes out as the log
// holds it. nullopt when neither the entry's date and time nor its
// frequency or band can be read.
std::optional<ExportedRecord> adifRecordFor(const LogEntry &entry, const Companion *extra, const QTimeZone &zone);

// Why a record does not become an entry.
enum class ImportSkip {
  BadTag,         // a field tag without a length, or a length that is not a number
  MissingEnd,     // no <EOR> where the record should end
  CutShort,       // a value runs past the end of the file
  TooLarge,       // more or longer fields than the reader or the companion holds
  BadDate,        // QSO_DATE or TIME_ON missing or impossible, or a year the log cannot hold
  NoFrequency,    // neither FREQ nor BAND
  BadFrequency,   // FREQ is not a number
  FrequencyRange, // FREQ is not above 0
};
inline constexpr int kImportSkipCount = 8;

struct ImportedEntry {
  std::optional<LogEntry> entry;  // set when the record is usable
  Companion extra;                // what the companion keeps of it
  ImportSkip skip = ImportSkip::BadTag;
  bool cut = false;        // a text was longer than its item and was cut
  int beyondLatin1 = 0;    // characters of the notes the log holds as "?"
};

// The entry of ADIF record `record`, date and time converted from UTC to
// `zone`; its key is the local time, pattern "YYMMDDhhmmss", which the
// caller makes unique. Notes come from COMMENT, else NOTES (UTF-8, or
// Latin-1 when it is not valid UTF-8), with control characters turned into
// blanks. A record with a BAND and no FREQ, or a FREQ above what the log
// holds, gets an empty frequency.
ImportedEntry logEntryFor(const AdifRecord &record, const QTimeZone &zone);

// What two records of one contact share: the UTC minute, the call, the
// band and the ADIF mode, as one text; "" when the record has no date.
QByteArray contactIdentity(const AdifFields &fields);

}  // namespace tables

#endif
