// The one way a new entry enters a table, whatever adds it (the Save of a new
// entry, the standards import, ADIF import, logging from other programs).
// Several programs may add to one table at once: each takes its key by an
// add that the engine refuses when the key exists, decided under the file's
// header lock, and then tries the next key. So two adders never get the same
// key and no entry ever replaces another.
#ifndef TESSALY_APP_TABLES_NEWENTRY_H
#define TESSALY_APP_TABLES_NEWENTRY_H

#include <QString>

#include "app/tables/kdbapi.h"

namespace tables {

struct AddedEntry {
  int code = KDB_OK;  // the record layer's code of the last add
  QString key;        // the key stored; "" when nothing was
};

// Stores the record buffer of `fileId` as a new entry under the first key,
// from `wanted` on (nextKey), that no entry has: the key goes into item
// `keyItem` and the record is added; a key another program holds is passed
// over. Other failures end the call with their code. A run of adds from one
// wanted key starts past the key the previous call stored, so that a long
// import does not walk over its own entries again.
AddedEntry addEntry(KdbApi &kdb, int fileId, const char *keyItem, const QString &wanted);

}  // namespace tables

#endif
