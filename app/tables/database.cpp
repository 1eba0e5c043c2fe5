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
  static const struct {
    const char *name;
    TableId table;
  } kTables[] = {{"Log.Dat", TableId::Log}, {"Scans.Dat", TableId::Scans}, {"Standards.Dat", TableId::Standards}};
  for (const auto &t : kTables)
    if (kdb_->open(t.name, fileId(t.table), kKeyedRecordFile, 0) != 0) return false;
  return true;
}

}  // namespace tables
