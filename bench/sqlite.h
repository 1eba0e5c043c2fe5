// SQLite helpers shared by the benchmark programs: statements that must
// succeed, or the program ends with SQLite's message.
#ifndef TESSALY_BENCH_SQLITE_H
#define TESSALY_BENCH_SQLITE_H

#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>

inline void sql(sqlite3 *db, const char *text) {
  if (sqlite3_exec(db, text, nullptr, nullptr, nullptr) == SQLITE_OK) return;
  fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
  exit(1);
}

inline sqlite3_stmt *prepare(sqlite3 *db, const char *text) {
  sqlite3_stmt *s = nullptr;
  if (sqlite3_prepare_v2(db, text, -1, &s, nullptr) == SQLITE_OK) return s;
  fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
  exit(1);
}

#endif
