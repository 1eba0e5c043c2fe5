// File maintenance: check or repair one data file set while showing the
// progress in the maintenance window (util/progress/progress.h, layout
// kFileMaint), optionally appending every message to a log file.
//
//   VERIFY   reads the data file, its header and its index or hash file and
//            reports the first inconsistency (or all, with FM_KEEPGOING).
//   RECOVER  rebuilds the index from the data file. A hashed file is packed.
//   PACK     rewrites the data file without its deleted records and rebuilds
//            the index or hash file; with FM_STRIP, active records holding
//            bytes outside 32..126 go to a strip file (the data file's name
//            with ".nas") instead. With FM_BYKEY the active records are
//            written in the order of key 1 (equal keys in file order), so
//            that a walk along key 1 reads the data file front to back; the
//            keys are held in memory meanwhile. The files keep their format.
//
// RECOVER and PACK write the new files completely under temporary names
// (".ziq" for the index, ".zdq" for the data file, beside the files or in
// the engine's temporary directory), make them durable and only then rename
// them over the old ones: a run that fails or is stopped, or a crash at any
// point, leaves the old files as they were. They refuse a data file that
// another program has open in any network mode. RECOVER also writes the
// data header's true count and, of two active copies of one record (the
// same key 0), marks the earlier one deleted.
#ifndef CORVEX_ENGINE_MAINTENANCE_FILEMAINT_H
#define CORVEX_ENGINE_MAINTENANCE_FILEMAINT_H

#include <stdint.h>

#include "util/export.h"

// Actions.
enum { FM_VERIFY = 0, FM_RECOVER = 1, FM_PACK = 2 };

// Flags.
enum {
  FM_KEEPGOING = 0x01,    // VERIFY goes on after an inconsistency
  FM_SKIPINDEX = 0x02,    // VERIFY skips the index-to-record pass
  FM_SKIPRECORDS = 0x04,  // VERIFY skips the record-to-index pass and the counts
  FM_STRIP = 0x10,        // PACK moves records with non-printable bytes to the strip file
  FM_BYKEY = 0x40,        // PACK writes the records in the order of key 1
  FM_NETWORK = 0x20       // network use: mode "IBMNET", record locks while reading
};

// Results besides 0 and the engine's status codes.
enum {
  FM_RESULT_STOPPED = -1,   // the user pressed Stop; temporary files are gone
  FM_RESULT_BUSY = -2,      // a run is already going on in this process
  FM_RESULT_SAMENAME = 1    // datafile and indexfile have the same name
};

CORVEX_EXTERN_C_BEGIN

// Runs `action` on the file set of `datafile`. `fidfile` and `indexfile`
// null or empty are derived from `datafile` (".fid"; ".idx", or ".hsh" for
// hashed files). `title` null or empty gives the default window title;
// `logfile` null gives no log. Returns 0 on success, -1 when stopped, -2
// when a run is already going on, 1 when datafile and indexfile have the
// same file name and extension (letter case ignored, directories not
// compared; nothing is done), otherwise the status code of the failure.
// VERIFY with FM_KEEPGOING returns the status of its first finding.
CORVEX_EXPORT int32_t filemaint(int32_t action, const char *datafile, const char *fidfile, const char *indexfile,
                                const char *title, int32_t flags, const char *logfile);

CORVEX_EXTERN_C_END

#endif
