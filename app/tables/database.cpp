#include "app/tables/database.h"

#include "app/tables/tableset.h"

namespace tables {

namespace {

constexpr int kKeyedRecordFile = 3;
constexpr TableId kTables[] = {TableId::Log, TableId::Scans, TableId::Standards};

}  // namespace

Database::Database(KdbApi *kdb) : kdb_(kdb), companion_(std::make_unique<LogCompanion>(kdb, 0)) {}

Database::~Database() = default;

void Database::startClient() {
  client_ = kdb_->init(0);
  kdb_->host(client_, "MSNET");
}

void Database::restartClient() {
  kdb_->init(client_);
  startClient();
}

bool Database::openCompanion(LumbraLibrary *library, QString *error) {
  companion_ = std::make_unique<LogCompanion>(kdb_, fileId(TableId::LogExtra));
  return companion_->open(library, error);
}

bool Database::openTables() {
  unfinished_.clear();
  if (client_ < 0) return false;  // the record layer refused to start a client
  for (TableId table : kTables) {
    bool unfinished = false;
    if (!openTable(table, &unfinished)) return false;
    if (unfinished) unfinished_.push_back(table);
  }
  return true;
}

const char *Database::fileName(TableId table) {
  return table == TableId::Log ? "Log.Dat" : table == TableId::Scans ? "Scans.Dat" : "Standards.Dat";
}

bool Database::openTable(TableId table, bool *unfinished) const {
  finishTableSet();
  const int result = kdb_->open(fileName(table), fileId(table), kKeyedRecordFile, 0);
  if (unfinished) *unfinished = result == KDB_NEEDS_RECOVER;
  return result == KDB_OK || result == KDB_NEEDS_RECOVER;
}

void Database::closeTables() const {
  for (TableId table : kTables) kdb_->close(fileId(table));
  companion_->close();
}

bool Database::reopenTables() const {
  bool all = true;
  for (TableId table : kTables) all = openTable(table) && all;
  companion_->reopen();
  return all;
}

}  // namespace tables
