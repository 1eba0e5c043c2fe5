// Exchange of the station log ("Log.Dat") with ADIF files. Export writes the
// file completely beside its final name, syncs it and renames it over the
// old one, so a killed export leaves the old file or the new one. Import
// adds each usable record as a new entry through the record layer, one
// record at a time with a fresh unique key; a record that cannot be read
// whole is skipped and counted, and the existing log is never changed.
#ifndef TESSALY_APP_TABLES_ADIFLOG_H
#define TESSALY_APP_TABLES_ADIFLOG_H

#include <QString>
#include <array>

#include "app/tables/adifentry.h"
#include "app/tables/kdbapi.h"

namespace tables {

struct AdifExport {
  bool ok = false;
  QString error;      // why the file could not be written
  int written = 0;    // entries written
  int leftOut = 0;    // entries without a readable date and time or frequency
  // The closing message: what was written, left out, or why it failed.
  QString message(const QString &file) const;
};

struct AdifImport {
  bool opened = false;   // the file could be read
  bool writeFailed = false;  // a record write failed; the import ended there
  int added = 0;
  int cut = 0;           // entries whose mode or notes were cut to the item
  std::array<int, kImportSkipCount> skipped{};  // by ImportSkip
  int skippedTotal() const;
  // The closing message: added, skipped and why, cut.
  QString message(const QString &file) const;
};

// Writes the entries of the log file `fileId` that `filter` keeps (as the
// log tab's filter does; "All" keeps every entry) to `file`.
AdifExport exportLogAdif(KdbApi &kdb, int fileId, const QString &filter, const QString &file);

// Adds the records of the ADIF file `file` to the log file `fileId`.
AdifImport importLogAdif(KdbApi &kdb, int fileId, const QString &file);

// `tessaly --export-adif FILE` or `--import-adif FILE`: opens "Log.Dat" of
// the current directory through `kdb`, runs the one asked for, prints its
// message and returns the exit code: 0 done, 1 when the log or the file
// could not be opened or written.
int runLogExchange(KdbApi &kdb, const QString &exportFile, const QString &importFile);

}  // namespace tables

#endif
