#include "app/tables/database.h"

namespace tables {

namespace {

constexpr int kKeyedRecordFile = 3;

}  // namespace

void Database::startClient() {
  client_ = kdb_->init(0);
  kdb_->host(client_, "MSNET");
}

bool Database::openTables() {
  for (TableId table : {TableId::Log, TableId::Scans, TableId::Standards})
    if (!openTable(table)) return false;
  return true;
}

const char *Database::fileName(TableId table) {
  return table == TableId::Log ? "Log.Dat" : table == TableId::Scans ? "Scans.Dat" : "Standards.Dat";
}

bool Database::openTable(TableId table) const {
  return kdb_->open(fileName(table), fileId(table), kKeyedRecordFile, 0) == 0;
}

}  // namespace tables
