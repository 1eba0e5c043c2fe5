// The station log ("Log.Dat") and its companion ("LogExtra.Dat") read and
// added to as one set of contacts. Every importer (ADIF files, the
// weak-signal programs' messages) adds through addContact, which never
// replaces an entry, and checks for repeats through ContactAdder.
#ifndef TESSALY_APP_TABLES_LOGCONTACTS_H
#define TESSALY_APP_TABLES_LOGCONTACTS_H

#include <QString>
#include <QTimeZone>
#include <functional>
#include <unordered_set>

#include "app/tables/adifentry.h"

namespace tables {

class KdbApi;
class LogCompanion;

struct LogFiles {
  KdbApi *kdb;
  int logId;
  LogCompanion *companion;  // may be closed: entries then have no companion
};

// The zone of the log's stamps: UTC or the machine's local zone.
QTimeZone stampZone();

// Visits each entry that `filter` keeps (as the log tab's filter does; "All"
// keeps every entry) in key order, with its companion record or null.
void forEachContact(const LogFiles &log, const QString &filter,
                    const std::function<void(const LogEntry &, const Companion *)> &visit);

// Adds `entry` under its key or the next one no entry has (addEntry: an add
// that never replaces an entry, so adders in several programs at once keep
// every record); the key stored is set in both arguments, and `extra` goes
// under it in the companion. False when a write failed.
bool addContact(const LogFiles &log, LogEntry &entry, Companion &extra);

// Removes the companion records whose entry is gone; how many.
int dropOrphanCompanions(const LogFiles &log);

// Adds ADIF records as entries, except those that repeat a contact of the
// log or of an earlier record: the same UTC minute, call, band and mode.
class ContactAdder {
public:
  enum class Outcome { Added, Duplicate, Skipped, Failed };

  // Reads the contacts the log holds; `log` must outlive the object.
  ContactAdder(const LogFiles &log, const QTimeZone &zone);

  // Adds `record`; `*imported` says what it became.
  Outcome add(const AdifRecord &record, ImportedEntry *imported);

private:
  // A contact's identity as a 64-bit hash: memory grows by a few words per
  // contact of the log, whatever the size of the files read.
  static quint64 hashOf(const QByteArray &identity);

  LogFiles log_;
  QTimeZone zone_;
  std::unordered_set<quint64> known_;
};

}  // namespace tables

#endif
