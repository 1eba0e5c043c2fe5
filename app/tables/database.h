// Database: the program's record layer client and its three tables, which
// stay open for the whole run. File ids are the client value plus the
// table's own number.
#ifndef TESSALY_APP_TABLES_DATABASE_H
#define TESSALY_APP_TABLES_DATABASE_H

#include <QString>
#include <memory>
#include <vector>

#include "app/tables/kdbapi.h"
#include "app/tables/logcompanion.h"
#include "app/tables/logcontacts.h"

namespace tables {

enum class TableId { Log = 3, LogExtra = 4, Scans = 6, Standards = 7 };

class LumbraLibrary;

class Database {
public:
  // `kdb` must outlive the object.
  explicit Database(KdbApi *kdb);
  ~Database();

  // Starts the client (KDBinit(0)) and selects the network mode "MSNET",
  // whose result is not examined.
  void startClient();
  // Ends the client, which closes its files, and starts a new one.
  void restartClient();
  // Opens "Log.Dat", "Scans.Dat" and "Standards.Dat" of the current
  // directory as keyed record files, each only after the one before it
  // opened. Returns true when all three are open; unfinished() then names
  // those that answered KDB_NEEDS_RECOVER: opened, but their last update did
  // not finish (a program or the machine stopped while writing), so they are
  // safe to use and RECOVER brings back any record their index lost. False
  // at once when KDBinit refused the client (its shared state belongs to
  // another user).
  bool openTables();
  const std::vector<TableId> &unfinished() const { return unfinished_; }
  // "Log.Dat", "Scans.Dat" or "Standards.Dat".
  static const char *fileName(TableId table);
  // Opens one of them (again, after a repair closed it). True when it is
  // open, also when it answered KDB_NEEDS_RECOVER (`*unfinished` says so).
  // A restore that a stopped program left half done is finished first
  // (tableset.h).
  bool openTable(TableId table, bool *unfinished = nullptr) const;
  // Closes the three tables and the log's companion, and opens them again;
  // reopenTables returns true when the three are open.
  void closeTables() const;
  bool reopenTables() const;

  // Opens the log's companion "LogExtra.Dat", made through `library` when
  // it is missing. False, with the reason in `*error`, when it cannot be
  // had; the log then works without it.
  bool openCompanion(LumbraLibrary *library, QString *error);
  LogCompanion &companion() const { return *companion_; }
  // The log and its companion, for reading and adding contacts.
  LogFiles logFiles() const { return {kdb_, fileId(TableId::Log), companion_.get()}; }

  int client() const { return client_; }
  int fileId(TableId table) const { return client_ + static_cast<int>(table); }
  KdbApi &kdb() const { return *kdb_; }

private:
  KdbApi *kdb_;
  int client_ = 0;
  std::unique_ptr<LogCompanion> companion_;  // closed until openCompanion
  std::vector<TableId> unfinished_;
};

}  // namespace tables

#endif
