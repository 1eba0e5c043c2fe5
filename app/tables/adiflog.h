// Exchange of the station log ("Log.Dat" with its companion "LogExtra.Dat")
// with ADIF files. Export writes the file completely beside its final name,
// syncs it and renames it over the old one, so a killed export leaves the
// old file or the new one. Import reads the file as a stream, a record at
// a time, and adds each usable record that repeats no contact of the log as
// a new entry with a fresh unique key; the existing log is never changed.
#ifndef TESSALY_APP_TABLES_ADIFLOG_H
#define TESSALY_APP_TABLES_ADIFLOG_H

#include <QString>
#include <QStringList>
#include <array>

#include "app/tables/adifentry.h"
#include "app/tables/logcontacts.h"

namespace tables {

class LumbraLibrary;

struct AdifExport {
  bool ok = false;
  QString error;      // why the file could not be written
  int written = 0;    // entries written
  int leftOut = 0;    // entries without a readable date and time, or frequency or band
  QStringList ambiguous, missing;  // entries whose local time the clock change made doubtful
  // The closing message: what was written, left out, which times are doubtful, or why it failed.
  QString message(const QString &file) const;
};

struct AdifImport {
  bool opened = false;     // the file could be read
  QString refused;         // why the file was not read ("" when it was)
  bool writeFailed = false;  // a record write failed; the import ended there
  int added = 0;
  int duplicates = 0;      // records of contacts the log holds already
  int cut = 0;             // entries whose mode or notes were cut to the item
  int repeated = 0;        // records with a field given twice (the first value kept)
  int beyondLatin1 = 0;    // characters of notes the log holds as "?" (kept whole beside it)
  std::array<int, kImportSkipCount> skipped{};  // by ImportSkip
  int skippedTotal() const;
  // The closing message: added, duplicates, skipped and why, cut, repeated, beyond Latin-1.
  QString message(const QString &file) const;
};

// Writes the entries of `log` that `filter` keeps (as the log tab's filter
// does; "All" keeps every entry) to `file`.
AdifExport exportLogAdif(const LogFiles &log, const QString &filter, const QString &file);

// Adds the records of the ADIF file `file` (a regular file) to `log`.
AdifImport importLogAdif(const LogFiles &log, const QString &file);

// `tessaly --export-adif FILE` or `--import-adif FILE`: opens "Log.Dat"
// and its companion of the current directory through `library`, runs the
// one asked for, prints its message and returns the exit code: 0 done, 1
// when the log or the file could not be opened or written.
int runLogExchange(LumbraLibrary &library, const QString &exportFile, const QString &importFile);

}  // namespace tables

#endif
