// Record throughput through _filehandler against two embedded stores.
//
// N records of 160 data bytes with a 12-character key 0 and one 8-character
// secondary key are written in random key order, read back by key in
// another random order, walked in key order; a tenth are rewritten (with a
// new secondary key) and a tenth deleted. The same work runs on an SQLite
// table (key as primary key, the secondary key indexed, the rest in columns;
// prepared statements, one transaction, journal and synchronous off) and a
// Berkeley DB B-tree with an associated secondary. Each phase is printed as
// our time over the peer's (each store walks three times and keeps its best
// walk); then the shared "MSNET" mode over single-user mode on N / 10
// records (each mode run twice, in turn, keeping each phase's best). The
// engine runs are made with the files' mapped reads and again with every
// read made by pread, to show what mapping gains.
//
//   bench_records [--peers | --shared] [N]     (default 1000000)
#include <db.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/sharing/mapping.h"

namespace {

constexpr int kDataLen = 160;

struct Times {
  double write = 0, read = 0, walk = 0, rewrite = 0, remove = 0;
};

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Walks are short next to the other phases, so a busy moment of the machine
// weighs on them most: each store walks this often and keeps its best time.
constexpr int kWalks = 3;

template <class Walk>
double best_walk(Walk walk) {
  double best = 0;
  for (int i = 0; i < kWalks; i++) {
    auto t0 = Clock::now();
    walk();
    double t = since(t0);
    if (i == 0 || t < best) best = t;
  }
  return best;
}

// The faster of two runs, phase by phase.
Times fastest(const Times &a, const Times &b) {
  return {std::min(a.write, b.write), std::min(a.read, b.read), std::min(a.walk, b.walk),
          std::min(a.rewrite, b.rewrite), std::min(a.remove, b.remove)};
}

void fail(const char *what) {
  fprintf(stderr, "bench_records: %s\n", what);
  exit(1);
}

struct Workload {
  std::vector<std::string> keys;   // 12 characters
  std::vector<std::string> secs;   // 8 characters
  std::vector<size_t> read_order;  // a second random order
  std::string rest;                // 140 characters

  explicit Workload(size_t n) {
    std::mt19937_64 rng(42);
    for (size_t i = 0; i < n; i++) {
      char k[16], s[16];
      snprintf(k, sizeof k, "K%011llu", static_cast<unsigned long long>(rng() % 100000000000ULL));
      snprintf(s, sizeof s, "%08u", static_cast<unsigned>(rng() % 100000000));
      keys.push_back(k);
      secs.push_back(s);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::shuffle(keys.begin(), keys.end(), rng);
    secs.resize(keys.size());
    for (size_t i = 0; i < keys.size(); i++) read_order.push_back(i);
    std::shuffle(read_order.begin(), read_order.end(), rng);
    rest.assign(kDataLen - 20, 'r');
  }
  size_t size() const { return keys.size(); }
};

// ---- the engine ----

struct Corvex {
  fhrequest b = {};
  std::vector<char> buf;

  int op(int code) {
    b.opcode = static_cast<uint8_t>(code);
    _filehandler(&b);
    return b.status;
  }
  void fill(const Workload &w, size_t i, const std::string &sec) {
    memset(buf.data(), ' ', buf.size());
    memcpy(buf.data() + 1, w.keys[i].data(), 12);
    memcpy(buf.data() + 13, sec.data(), 8);
    memcpy(buf.data() + 21, w.rest.data(), w.rest.size());
  }
};

Times run_corvex(const Workload &w, const std::string &dir, const char *netmode) {
  Corvex c;
  std::string error;
  corvex::Description d;
  if (!corvex::parse_description(
          "length 160\nitem CODE C 0 12\nitem SEC C 12 8\nitem REST C 20 140\nkey CODE\nkey SEC\n", &d, &error) ||
      !corvex::fid_write(d, (dir + "/R.fid").c_str(), &error)) {
    fail(error.c_str());
  }
  c.b.opcode = FHOP_INIT;
  _filehandler(&c.b);
  char mode[16];
  strcpy(mode, netmode);
  c.b.keybuf = mode;
  c.op(FHOP_NETMODE);
  snprintf(c.b.datname, sizeof c.b.datname, "%s/R.dat", dir.c_str());
  c.b.hdrtries = 100;
  if (c.op(FHOP_MAKE) != FHS_OK) fail("make");
  c.buf.assign(c.b.reclen + 8u, ' ');
  c.b.recbuf = c.buf.data();
  c.b.mode |= FH_STAY;
  Times t;
  auto t0 = Clock::now();
  for (size_t i = 0; i < w.size(); i++) {
    c.fill(w, i, w.secs[i]);
    if (c.op(FHOP_WRITE) != FHS_OK) fail("write");
  }
  t.write = since(t0);
  t0 = Clock::now();
  for (size_t i : w.read_order) {
    memcpy(c.b.keybuf, w.keys[i].data(), 12);
    if (c.op(FHOP_POSITION) != FHS_OK || !(c.b.state & ST_POSITIONED) || c.op(FHOP_READ) != FHS_OK) fail("read");
  }
  t.read = since(t0);
  c.b.mode &= static_cast<uint16_t>(~FH_STAY);
  t.walk = best_walk([&] {
    memset(c.b.keybuf, 0, 12);
    c.op(FHOP_POSITION);
    size_t walked = 0;
    while ((c.b.state & ST_POSITIONED) && c.op(FHOP_READ) == FHS_OK) walked++;
    if (walked != w.size()) fail("walk");
  });
  c.b.mode |= FH_STAY;
  t0 = Clock::now();
  for (size_t i = 0; i < w.size() / 10; i++) {
    c.fill(w, w.read_order[i], w.secs[i + w.size() / 2]);
    if (c.op(FHOP_WRITE) != FHS_OK) fail("rewrite");
  }
  t.rewrite = since(t0);
  t0 = Clock::now();
  for (size_t i = 0; i < w.size() / 10; i++) {
    c.fill(w, i, w.secs[i]);
    if (c.op(FHOP_DELETE) != FHS_OK) fail("delete");
  }
  t.remove = since(t0);
  c.op(FHOP_CLOSE);
  strcpy(mode, "SINGLE");
  c.b.keybuf = mode;
  c.op(FHOP_NETMODE);
  c.op(FHOP_TERMINATE);
  return t;
}

// ---- SQLite ----

Times run_sqlite(const Workload &w, const std::string &dir) {
  sqlite3 *db;
  if (sqlite3_open((dir + "/r.sqlite").c_str(), &db) != SQLITE_OK) fail("sqlite open");
  sqlite3_exec(db,
               "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
               "CREATE TABLE r(code TEXT PRIMARY KEY, sec TEXT, rest TEXT) WITHOUT ROWID;"
               "CREATE INDEX r_sec ON r(sec); BEGIN;",
               nullptr, nullptr, nullptr);
  sqlite3_stmt *ins, *get, *walk, *upd, *del;
  sqlite3_prepare_v2(db, "INSERT INTO r VALUES(?1, ?2, ?3)", -1, &ins, nullptr);
  sqlite3_prepare_v2(db, "SELECT sec, rest FROM r WHERE code = ?1", -1, &get, nullptr);
  sqlite3_prepare_v2(db, "SELECT code, sec, rest FROM r ORDER BY code", -1, &walk, nullptr);
  sqlite3_prepare_v2(db, "UPDATE r SET sec = ?2, rest = ?3 WHERE code = ?1", -1, &upd, nullptr);
  sqlite3_prepare_v2(db, "DELETE FROM r WHERE code = ?1", -1, &del, nullptr);
  auto step3 = [&](sqlite3_stmt *s, const std::string &k, const std::string &sec) {
    sqlite3_bind_text(s, 1, k.data(), 12, SQLITE_STATIC);
    if (sqlite3_bind_parameter_count(s) > 1) {
      sqlite3_bind_text(s, 2, sec.data(), 8, SQLITE_STATIC);
      sqlite3_bind_text(s, 3, w.rest.data(), static_cast<int>(w.rest.size()), SQLITE_STATIC);
    }
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    return rc;
  };
  Times t;
  auto t0 = Clock::now();
  for (size_t i = 0; i < w.size(); i++) {
    if (step3(ins, w.keys[i], w.secs[i]) != SQLITE_DONE) fail("sqlite insert");
  }
  t.write = since(t0);
  t0 = Clock::now();
  for (size_t i : w.read_order) {
    if (step3(get, w.keys[i], "") != SQLITE_ROW) fail("sqlite get");
  }
  t.read = since(t0);
  t.walk = best_walk([&] {
    size_t walked = 0;
    while (sqlite3_step(walk) == SQLITE_ROW) walked += sqlite3_column_bytes(walk, 2) > 0;
    sqlite3_reset(walk);
    if (walked != w.size()) fail("sqlite walk");
  });
  t0 = Clock::now();
  for (size_t i = 0; i < w.size() / 10; i++) step3(upd, w.keys[w.read_order[i]], w.secs[i + w.size() / 2]);
  t.rewrite = since(t0);
  t0 = Clock::now();
  for (size_t i = 0; i < w.size() / 10; i++) step3(del, w.keys[i], "");
  t.remove = since(t0);
  sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
  for (sqlite3_stmt *s : {ins, get, walk, upd, del}) sqlite3_finalize(s);
  sqlite3_close(db);
  return t;
}

// ---- Berkeley DB ----

int secondary_key(DB *, const DBT *, const DBT *data, DBT *result) {
  memset(result, 0, sizeof *result);
  result->data = data->data;
  result->size = 8;
  return 0;
}

Times run_bdb(const Workload &w, const std::string &dir) {
  DB *pri, *sec;
  if (db_create(&pri, nullptr, 0) != 0 || db_create(&sec, nullptr, 0) != 0) fail("bdb create");
  pri->set_cachesize(pri, 0, 64 << 20, 1);
  sec->set_cachesize(sec, 0, 32 << 20, 1);
  sec->set_flags(sec, DB_DUPSORT);
  if (pri->open(pri, nullptr, (dir + "/r.bdb").c_str(), nullptr, DB_BTREE, DB_CREATE, 0644) != 0 ||
      sec->open(sec, nullptr, (dir + "/s.bdb").c_str(), nullptr, DB_BTREE, DB_CREATE, 0644) != 0 ||
      pri->associate(pri, nullptr, sec, secondary_key, 0) != 0) {
    fail("bdb open");
  }
  std::string value(kDataLen - 12, ' ');
  auto put = [&](const std::string &k, const std::string &s) {
    memcpy(&value[0], s.data(), 8);
    memcpy(&value[8], w.rest.data(), w.rest.size());
    DBT key = {}, data = {};
    key.data = const_cast<char *>(k.data());
    key.size = 12;
    data.data = value.data();
    data.size = static_cast<u_int32_t>(value.size());
    return pri->put(pri, nullptr, &key, &data, 0);
  };
  Times t;
  auto t0 = Clock::now();
  for (size_t i = 0; i < w.size(); i++) {
    if (put(w.keys[i], w.secs[i]) != 0) fail("bdb put");
  }
  t.write = since(t0);
  t0 = Clock::now();
  for (size_t i : w.read_order) {
    DBT key = {}, data = {};
    key.data = const_cast<char *>(w.keys[i].data());
    key.size = 12;
    if (pri->get(pri, nullptr, &key, &data, 0) != 0) fail("bdb get");
  }
  t.read = since(t0);
  t.walk = best_walk([&] {
    DBC *cur;
    pri->cursor(pri, nullptr, &cur, 0);
    DBT key = {}, data = {};
    size_t walked = 0;
    while (cur->get(cur, &key, &data, DB_NEXT) == 0) walked++;
    cur->close(cur);
    if (walked != w.size()) fail("bdb walk");
  });
  t0 = Clock::now();
  for (size_t i = 0; i < w.size() / 10; i++) put(w.keys[w.read_order[i]], w.secs[i + w.size() / 2]);
  t.rewrite = since(t0);
  t0 = Clock::now();
  for (size_t i = 0; i < w.size() / 10; i++) {
    DBT k = {};
    k.data = const_cast<char *>(w.keys[i].data());
    k.size = 12;
    pri->del(pri, nullptr, &k, 0);
  }
  t.remove = since(t0);
  sec->close(sec, 0);
  pri->close(pri, 0);
  return t;
}

void print_ratios(const char *what, const Times &a, const Times &b) {
  printf("%-22s write %6.2f  read %6.2f  walk %6.2f  rewrite %6.2f  delete %6.2f\n", what, a.write / b.write,
         a.read / b.read, a.walk / b.walk, a.rewrite / b.rewrite, a.remove / b.remove);
}

void print_times(const char *what, const Times &t) {
  printf("%-22s write %6.2fs read %6.2fs walk %6.2fs rewrite %6.2fs delete %6.2fs\n", what, t.write, t.read, t.walk,
         t.rewrite, t.remove);
}

std::string fresh_dir(const char *name) {
  std::string dir = std::filesystem::temp_directory_path().string() + "/bench_records_" + name + "_" +
                    std::to_string(getpid());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Single-user mode against SQLite and Berkeley DB on n records.
void compare_with_peers(size_t n) {
  Workload w(n);
  std::string dir = fresh_dir("single");
  // The same run with every read made by a system call, as before the files
  // were mapped.
  corvex::mapping_enable(false);
  Times plain = run_corvex(w, dir, "SINGLE");
  corvex::mapping_enable(true);
  Times ours = run_corvex(w, dir, "SINGLE");
  Times lite = run_sqlite(w, dir);
  Times bdb = run_bdb(w, dir);
  std::filesystem::remove_all(dir);
  printf("%zu records of %d bytes\n", w.size(), kDataLen);
  print_times("corvex", ours);
  print_times("corvex, pread", plain);
  print_times("sqlite", lite);
  print_times("berkeley db", bdb);
  print_ratios("corvex / sqlite", ours, lite);
  print_ratios("corvex / berkeley db", ours, bdb);
  print_ratios("mapped / pread", ours, plain);
  printf("goal: read, walk and delete 1.0 or less against both peers, write at most 1.0\n");
}

// The shared MSNET mode against single-user mode on n records: the two
// run in turn, twice, and each phase keeps its faster time.
void compare_shared(size_t n) {
  Workload small(n);
  std::string dir = fresh_dir("msnet");
  Times single = run_corvex(small, dir, "SINGLE");
  Times shared = run_corvex(small, dir, "MSNET");
  single = fastest(single, run_corvex(small, dir, "SINGLE"));
  shared = fastest(shared, run_corvex(small, dir, "MSNET"));
  corvex::mapping_enable(false);
  Times shared_plain = run_corvex(small, dir, "MSNET");
  corvex::mapping_enable(true);
  std::filesystem::remove_all(dir);
  printf("%zu records, shared mode\n", small.size());
  print_times("MSNET", shared);
  print_times("MSNET, pread", shared_plain);
  print_times("single-user", single);
  print_ratios("MSNET / single-user", shared, single);
  print_ratios("MSNET mapped / pread", shared, shared_plain);
  printf("goal: MSNET / single-user read and walk at most 1.5, write and delete at most 1.3\n");
}

}  // namespace

int main(int argc, char **argv) {
  size_t n = 1000000;
  bool peers = true, shared = true;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      printf("usage: bench_records [--peers | --shared] [N]   (N records, default 1000000;\n"
             "       the shared-mode comparison runs on N / 10)\n");
      return 0;
    }
    if (strcmp(argv[i], "--peers") == 0) {
      shared = false;
    } else if (strcmp(argv[i], "--shared") == 0) {
      peers = false;
    } else {
      n = strtoul(argv[i], nullptr, 10);
    }
  }
  if (n < 1000) {
    fprintf(stderr, "bench_records: N must be at least 1000\n");
    return 2;
  }
  if (peers) compare_with_peers(n);
  if (shared) compare_shared(n / 10);
  return 0;
}
