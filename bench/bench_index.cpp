// Index file throughput against two embedded B-tree stores.
//
// Inserts N keys of 12 characters with 4-byte positions in random order,
// looks every key up in another random order, walks all of them in key
// order and removes half of them; then does the same with an in-process
// SQLite table (WITHOUT ROWID, key as primary key, prepared statements, one
// transaction, journal and synchronous off) and a Berkeley DB B-tree. Prints
// each phase as our time over the peer's, the file sizes, and the lookup
// time per key at 10,000 keys and at N, ours and SQLite's, with how much
// each grows from the one to the other.
//
//   bench_index [N]     (default 1000000)
#include <db.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "engine/index/index.h"
#include "engine/index/nodecache.h"
#include "util/memory.h"

#include "bench/sqlite.h"
#include "bench/timing.h"

namespace {

constexpr int kKeyLen = 12;

struct Times {
  double insert = 0, lookup = 0, walk = 0, remove = 0;
  long long bytes = 0;
};

void fail(const char *what) {
  fprintf(stderr, "bench_index: %s\n", what);
  exit(1);
}

struct Workload {
  std::vector<std::string> keys;  // unique, upper case letters and digits
  std::vector<uint32_t> insert_order, lookup_order, remove_order;
};

Workload make_workload(size_t n) {
  std::mt19937_64 rng(42);
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  Workload w;
  std::vector<std::string> keys;
  keys.reserve(n + n / 10);
  while (keys.size() < n + n / 100) {
    std::string k(kKeyLen, ' ');
    for (char &c : k) c = alphabet[rng() % 36];
    keys.push_back(k);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  if (keys.size() < n) fail("too few unique keys");
  std::shuffle(keys.begin(), keys.end(), rng);
  keys.resize(n);
  w.keys = keys;
  for (auto *order : {&w.insert_order, &w.lookup_order, &w.remove_order}) {
    order->resize(n);
    for (size_t i = 0; i < n; i++) (*order)[i] = static_cast<uint32_t>(i);
    std::shuffle(order->begin(), order->end(), rng);
  }
  w.remove_order.resize(n / 2);
  return w;
}

// The position stored for key i.
uint32_t position_of(uint32_t i) { return 100 + 161 * i; }

// The lookups are made `passes` times over, so that a small tree is timed
// over as many lookups as a large one.
Times run_ours(const Workload &w, const std::string &dir, int passes = 1) {
  using namespace corvex;
  Times t;
  fhkeydef key = {};
  key.keylen = kKeyLen;
  key.nsegs = 1;
  key.seg[0] = fhsegment{0, kKeyLen, 0};
  fhrequest block = {};
  block.nkeys = 1;
  block.keydefs = &key;
  std::string path = dir + "/bench.idx";
  snprintf(block.idxname, sizeof block.idxname, "%s", path.c_str());
  if (nodecache_setup() != FHS_OK || index_make(&block) != FHS_OK) fail("cannot make the index");
  block.idxfd = open(block.idxname, O_RDWR);
  if (block.idxfd < 0 || index_open(&block) != FHS_OK) fail("cannot open the index");

  auto t0 = std::chrono::steady_clock::now();
  for (uint32_t i : w.insert_order) {
    if (index_insert(&block, 0, w.keys[i].c_str(), position_of(i)) != FHS_OK) fail("insert");
  }
  index_flush_nodes(&block);
  index_write_header(&block);
  t.insert = seconds_since(t0);

  t0 = std::chrono::steady_clock::now();
  for (int pass = 0; pass < passes; pass++) {
    for (uint32_t i : w.lookup_order) {
      uint32_t pos;
      if (index_search(&block, 0, IDX_EXACT, w.keys[i].c_str(), &pos) != FHS_OK || pos != position_of(i)) {
        fail("lookup");
      }
    }
  }
  t.lookup = seconds_since(t0) / passes;

  t0 = std::chrono::steady_clock::now();
  size_t seen = 0;
  uint32_t pos;
  for (index_search(&block, 0, IDX_FIRST, nullptr, &pos); pos != 0; index_search(&block, 0, IDX_NEXT, nullptr, &pos)) {
    seen++;
  }
  t.walk = seconds_since(t0);
  if (seen != w.keys.size()) fail("walk");

  t0 = std::chrono::steady_clock::now();
  for (uint32_t i : w.remove_order) {
    if (index_remove(&block, 0, w.keys[i].c_str(), position_of(i)) != FHS_OK) fail("remove");
  }
  index_flush_nodes(&block);
  index_write_header(&block);
  t.remove = seconds_since(t0);
  t.bytes = file_size(path);
  index_close(&block);
  close(block.idxfd);
  nodecache_shutdown();
  unlink(path.c_str());
  return t;
}

Times run_sqlite(const Workload &w, const std::string &dir, int passes = 1) {
  Times t;
  std::string path = dir + "/bench.sqlite";
  sqlite3 *db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail("sqlite open");
  sql(db, "PRAGMA journal_mode=OFF");
  sql(db, "PRAGMA synchronous=OFF");
  sql(db, "CREATE TABLE t(k TEXT PRIMARY KEY, p INTEGER) WITHOUT ROWID");
  sql(db, "BEGIN");
  sqlite3_stmt *ins = prepare(db, "INSERT INTO t VALUES(?, ?)");
  sqlite3_stmt *get = prepare(db, "SELECT p FROM t WHERE k = ?");
  sqlite3_stmt *all = prepare(db, "SELECT k, p FROM t ORDER BY k");
  sqlite3_stmt *del = prepare(db, "DELETE FROM t WHERE k = ?");

  auto t0 = std::chrono::steady_clock::now();
  for (uint32_t i : w.insert_order) {
    sqlite3_bind_text(ins, 1, w.keys[i].data(), kKeyLen, SQLITE_STATIC);
    sqlite3_bind_int64(ins, 2, position_of(i));
    if (sqlite3_step(ins) != SQLITE_DONE) fail("sqlite insert");
    sqlite3_reset(ins);
  }
  t.insert = seconds_since(t0);

  t0 = std::chrono::steady_clock::now();
  for (int pass = 0; pass < passes; pass++) {
    for (uint32_t i : w.lookup_order) {
      sqlite3_bind_text(get, 1, w.keys[i].data(), kKeyLen, SQLITE_STATIC);
      if (sqlite3_step(get) != SQLITE_ROW || sqlite3_column_int64(get, 0) != position_of(i)) fail("sqlite lookup");
      sqlite3_reset(get);
    }
  }
  t.lookup = seconds_since(t0) / passes;

  t0 = std::chrono::steady_clock::now();
  size_t seen = 0;
  while (sqlite3_step(all) == SQLITE_ROW) seen++;
  sqlite3_reset(all);
  t.walk = seconds_since(t0);
  if (seen != w.keys.size()) fail("sqlite walk");

  t0 = std::chrono::steady_clock::now();
  for (uint32_t i : w.remove_order) {
    sqlite3_bind_text(del, 1, w.keys[i].data(), kKeyLen, SQLITE_STATIC);
    if (sqlite3_step(del) != SQLITE_DONE) fail("sqlite delete");
    sqlite3_reset(del);
  }
  sql(db, "COMMIT");
  t.remove = seconds_since(t0);
  for (sqlite3_stmt *s : {ins, get, all, del}) sqlite3_finalize(s);
  sqlite3_close(db);
  t.bytes = file_size(path);
  unlink(path.c_str());
  return t;
}

Times run_bdb(const Workload &w, const std::string &dir) {
  Times t;
  std::string path = dir + "/bench.db";
  DB *db = nullptr;
  if (db_create(&db, nullptr, 0) != 0) fail("bdb create");
  if (db->open(db, nullptr, path.c_str(), nullptr, DB_BTREE, DB_CREATE | DB_TRUNCATE, 0644) != 0) fail("bdb open");
  auto dbt = [](const void *data, uint32_t size) {
    DBT d;
    memset(&d, 0, sizeof d);
    d.data = const_cast<void *>(data);
    d.size = size;
    return d;
  };

  auto t0 = std::chrono::steady_clock::now();
  for (uint32_t i : w.insert_order) {
    uint32_t pos = position_of(i);
    DBT k = dbt(w.keys[i].data(), kKeyLen), v = dbt(&pos, 4);
    if (db->put(db, nullptr, &k, &v, 0) != 0) fail("bdb put");
  }
  db->sync(db, 0);
  t.insert = seconds_since(t0);

  t0 = std::chrono::steady_clock::now();
  for (uint32_t i : w.lookup_order) {
    uint32_t pos = 0;
    DBT k = dbt(w.keys[i].data(), kKeyLen), v = dbt(&pos, 4);
    v.ulen = 4;
    v.flags = DB_DBT_USERMEM;
    if (db->get(db, nullptr, &k, &v, 0) != 0 || pos != position_of(i)) fail("bdb get");
  }
  t.lookup = seconds_since(t0);

  t0 = std::chrono::steady_clock::now();
  DBC *cursor = nullptr;
  db->cursor(db, nullptr, &cursor, 0);
  size_t seen = 0;
  DBT k = dbt(nullptr, 0), v = dbt(nullptr, 0);
  while (cursor->get(cursor, &k, &v, DB_NEXT) == 0) seen++;
  cursor->close(cursor);
  t.walk = seconds_since(t0);
  if (seen != w.keys.size()) fail("bdb walk");

  t0 = std::chrono::steady_clock::now();
  for (uint32_t i : w.remove_order) {
    DBT key = dbt(w.keys[i].data(), kKeyLen);
    if (db->del(db, nullptr, &key, 0) != 0) fail("bdb del");
  }
  db->sync(db, 0);
  t.remove = seconds_since(t0);
  db->close(db, 0);
  t.bytes = file_size(path);
  unlink(path.c_str());
  return t;
}

void report(const char *peer, const Times &ours, const Times &theirs) {
  printf("against %-10s insert %5.2f  lookup %5.2f  walk %5.2f  remove %5.2f  file %5.2f (%lld / %lld bytes)\n", peer,
         ours.insert / theirs.insert, ours.lookup / theirs.lookup, ours.walk / theirs.walk,
         ours.remove / theirs.remove, static_cast<double>(ours.bytes) / theirs.bytes, ours.bytes, theirs.bytes);
}

// Prints the lookup time per key at 10,000 keys and at n; returns the growth.
double growth_line(const char *who, double per_few, double per_n, size_t n) {
  double growth = per_n / per_few;
  printf("lookup per key, %-6s %6.0f ns at 10000 keys, %6.0f ns at %zu keys, growth %.2f\n", who, per_few * 1e9,
         per_n * 1e9, n, growth);
  return growth;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
    printf("usage: bench_index [N]\n  N keys of 12 characters (default 1000000); prints our time over each peer's.\n");
    return 0;
  }
  size_t n = argc > 1 ? strtoul(argv[1], nullptr, 10) : 1000000;
  if (n < 10) {
    fprintf(stderr, "bench_index: N must be at least 10\n");
    return 2;
  }
  char pattern[] = "/tmp/bench-index-XXXXXX";
  if (!mkdtemp(pattern)) fail("no scratch directory");
  std::string dir = pattern;

  Workload w = make_workload(n);
  Times ours = run_ours(w, dir);
  Times lite = run_sqlite(w, dir);
  Times bdb = run_bdb(w, dir);
  printf("%zu keys: ours insert %.3fs lookup %.3fs walk %.3fs remove %.3fs\n", n, ours.insert, ours.lookup, ours.walk,
         ours.remove);
  report("SQLite", ours, lite);
  report("BerkeleyDB", ours, bdb);

  constexpr size_t kFew = 10000;
  Workload small = make_workload(kFew);
  int passes = n > kFew ? static_cast<int>(n / kFew) : 1;
  Times few = run_ours(small, dir, passes);
  Times few_lite = run_sqlite(small, dir, passes);
  double growth = growth_line("ours", few.lookup / kFew, ours.lookup / n, n);
  double lite_growth = growth_line("SQLite", few_lite.lookup / kFew, lite.lookup / n, n);
  printf("goal: our growth no worse than SQLite's: %.2f against %.2f, %s\n", growth, lite_growth,
         growth <= lite_growth ? "met" : "not met");
  rmdir(dir.c_str());
  return 0;
}
