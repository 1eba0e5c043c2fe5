// Record throughput through _filehandler against two embedded stores.
//
// N records of 160 data bytes with a 12-character key 0 and one 8-character
// secondary key are written in random key order, read back by key in
// another random order, walked in key order; a tenth are rewritten (with a
// new secondary key) and a tenth deleted. The same work runs on an SQLite
// table clustered on the key (WITHOUT ROWID: the rows lie in key order, the
// secondary key indexed, the rest in columns; prepared statements, one
// transaction, journal and synchronous off) and a Berkeley DB B-tree with an
// associated secondary. Every store runs the whole work three times, each
// time on a store made afresh, and each phase keeps its best time; the
// stores take turns run by run.
//
// Walks are compared twice over, each side alike: our file as written
// (records in write order, found through the index) against an SQLite rowid
// table with an index on the key (rows in write order, found through the
// index), and our file after `corvex pack --by-key` (records in key order)
// against the clustered table. Both are read-only figures: the rowid table
// and the packed copy of our file are made once and walked once a run.
// Berkeley DB's B-tree holds its records in key order too, so the walk
// goal against it is the packed file's.
// Then the shared "MSNET" mode over single-user mode on N / 10 records
// (each mode three times, in turn). With --pread the engine runs once more
// with every read made by pread, to show what mapping gains.
//
//   bench_records [--peers | --shared] [--pread] [N]     (default 1000000)
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

#include "bench/sqlite.h"
#include "bench/timing.h"
#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/maintenance/filemaint.h"
#include "engine/sharing/mapping.h"
#include "util/progress/progress.h"

namespace {

constexpr int kDataLen = 160;

struct Times {
  double write = 0, read = 0, walk = 0, rewrite = 0, remove = 0;
};

using Clock = std::chrono::steady_clock;

// The faster of two runs, phase by phase.
Times fastest(const Times &a, const Times &b) {
  return {std::min(a.write, b.write), std::min(a.read, b.read), std::min(a.walk, b.walk),
          std::min(a.rewrite, b.rewrite), std::min(a.remove, b.remove)};
}

void fail(const char *what) {
  fprintf(stderr, "bench_records: %s\n", what);
  exit(1);
}

template <class Work>
double timed(Work work) {
  auto t0 = Clock::now();
  work();
  return seconds_since(t0);
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
    rest.assign(kDataLen - 20, 'r');  // as the engine's records hold it
  }
  size_t size() const { return keys.size(); }
  size_t tenth() const { return size() / 10; }
};

// The phases of the work on one store, each timed; `Store` makes itself
// afresh in its constructor and offers write, read, walk (the records met),
// rewrite and remove, and written(), called untimed after the writes.
template <class Store>
Times run_phases(const Workload &w, Store &s) {
  Times t;
  t.write = timed([&] {
    for (size_t i = 0; i < w.size(); i++) s.write(w.keys[i], w.secs[i]);
  });
  s.written();
  t.read = timed([&] {
    for (size_t i : w.read_order) s.read(w.keys[i]);
  });
  t.walk = timed([&] {
    if (s.walk() != w.size()) fail("walk");
  });
  t.rewrite = timed([&] {
    for (size_t i = 0; i < w.tenth(); i++) s.rewrite(w.keys[w.read_order[i]], w.secs[i + w.size() / 2]);
  });
  t.remove = timed([&] {
    for (size_t i = 0; i < w.tenth(); i++) s.remove(w.keys[i], w.secs[i]);
  });
  return t;
}

// One run of the work on a store that `make(folder)` makes afresh in a new
// folder below `dir`, which is removed afterwards.
template <class Make>
Times one_run(const Workload &w, const std::string &dir, Make make) {
  std::string folder = dir + "/run";
  std::filesystem::create_directories(folder);
  Times t;
  {
    auto store = make(folder);
    t = run_phases(w, *store);
  }
  std::filesystem::remove_all(folder);
  return t;
}

// Keeps the best time of each figure over the runs (`run` counts from 0).
void keep_best(Times *best, int run, const Times &t) { *best = run == 0 ? t : fastest(*best, t); }
void keep_best(double *best, int run, double t) { *best = run == 0 ? t : std::min(*best, t); }

// ---- the engine ----

const char kDescription[] = "length 160\nitem CODE C 0 12\nitem SEC C 12 8\nitem REST C 20 140\nkey CODE\nkey SEC\n";

// One file set open through _filehandler in a network mode; made afresh
// (`make`) or opened as it is.
class Corvex {
 public:
  Corvex(const std::string &dir, const char *netmode, bool make) : dir_(dir) {
    std::string error;
    corvex::Description d;
    if (make && (!corvex::parse_description(kDescription, &d, &error) ||
                 !corvex::fid_write(d, (dir + "/R.fid").c_str(), &error))) {
      fail(error.c_str());
    }
    b_.opcode = FHOP_INIT;
    _filehandler(&b_);
    strcpy(mode_, netmode);
    b_.keybuf = mode_;
    op(FHOP_NETMODE);
    open(make ? FHOP_MAKE : FHOP_OPEN);
  }
  ~Corvex() {
    op(FHOP_CLOSE);
    strcpy(mode_, "SINGLE");
    b_.keybuf = mode_;
    op(FHOP_NETMODE);
    op(FHOP_TERMINATE);
  }

  void write(const std::string &key, const std::string &sec) {
    fill(key, sec);
    if (op(FHOP_WRITE) != FHS_OK) fail("write");
  }
  void read(const std::string &key) {
    memcpy(b_.keybuf, key.data(), 12);
    if (op(FHOP_POSITION) != FHS_OK || !(b_.state & ST_POSITIONED) || op(FHOP_READ) != FHS_OK) fail("read");
  }
  size_t walk() {
    b_.mode &= static_cast<uint16_t>(~FH_STAY);
    memset(b_.keybuf, 0, 12);
    op(FHOP_POSITION);
    size_t walked = 0;
    while ((b_.state & ST_POSITIONED) && op(FHOP_READ) == FHS_OK) walked++;
    b_.mode |= FH_STAY;
    return walked;
  }
  // Copies the data file and its description when asked to (keep_copy).
  // Every record is in the data file once its write returned (the header's
  // count and the index follow at close), and PACK reads the data file
  // alone and builds the index anew, so the copy is what it needs.
  void written() {
    if (copy_to_.empty()) return;
    std::filesystem::create_directories(copy_to_);
    for (const char *name : {"/R.dat", "/R.fid"}) {
      std::filesystem::copy_file(dir_ + name, copy_to_ + name, std::filesystem::copy_options::overwrite_existing);
    }
  }
  void rewrite(const std::string &key, const std::string &sec) {
    fill(key, sec);
    if (op(FHOP_WRITE) != FHS_OK) fail("rewrite");
  }
  void remove(const std::string &key, const std::string &sec) {
    fill(key, sec);
    if (op(FHOP_DELETE) != FHS_OK) fail("delete");
  }

  // Copies the data file into `dir` once every record is written.
  void keep_copy(const std::string &dir) { copy_to_ = dir; }

 private:
  int op(int code) {
    b_.opcode = static_cast<uint8_t>(code);
    _filehandler(&b_);
    return b_.status;
  }
  void open(int code) {
    b_.keybuf = mode_;
    b_.mode = 0;
    snprintf(b_.datname, sizeof b_.datname, "%s/R.dat", dir_.c_str());
    b_.hdrtries = 100;
    if (op(code) != FHS_OK) fail(code == FHOP_MAKE ? "make" : "open");
    buf_.assign(b_.reclen + 8u, ' ');
    b_.recbuf = buf_.data();
    b_.mode |= FH_STAY;
  }
  void fill(const std::string &key, const std::string &sec) {
    memset(buf_.data(), ' ', buf_.size());
    memcpy(buf_.data() + 1, key.data(), 12);
    memcpy(buf_.data() + 13, sec.data(), 8);
    memset(buf_.data() + 21, 'r', kDataLen - 20);
  }

  std::string dir_;
  std::string copy_to_;
  fhrequest b_ = {};
  char mode_[16] = {};
  std::vector<char> buf_;
};

// ---- SQLite ----

// An SQLite table on the key: clustered (WITHOUT ROWID, the rows kept in key
// order) or a rowid table, whose rows lie in write order, with an index on
// the key.
class Sqlite {
 public:
  Sqlite(const std::string &dir, bool clustered, const std::string &rest) : rest_(rest) {
    if (sqlite3_open((dir + "/r.sqlite").c_str(), &db_) != SQLITE_OK) fail("sqlite open");
    sql(db_, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    sql(db_, clustered ? "CREATE TABLE r(code TEXT PRIMARY KEY, sec TEXT, rest TEXT) WITHOUT ROWID;"
                       : "CREATE TABLE r(code TEXT PRIMARY KEY, sec TEXT, rest TEXT);");
    sql(db_, "CREATE INDEX r_sec ON r(sec); BEGIN;");
    ins_ = prepare(db_, "INSERT INTO r VALUES(?1, ?2, ?3)");
    get_ = prepare(db_, "SELECT sec, rest FROM r WHERE code = ?1");
    walk_ = prepare(db_, "SELECT code, sec, rest FROM r ORDER BY code");
    upd_ = prepare(db_, "UPDATE r SET sec = ?2, rest = ?3 WHERE code = ?1");
    del_ = prepare(db_, "DELETE FROM r WHERE code = ?1");
  }
  ~Sqlite() {
    sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr);
    for (sqlite3_stmt *s : {ins_, get_, walk_, upd_, del_}) sqlite3_finalize(s);
    sqlite3_close(db_);
  }

  void write(const std::string &key, const std::string &sec) {
    if (step(ins_, key, sec) != SQLITE_DONE) fail("sqlite insert");
  }
  void read(const std::string &key) {
    if (step(get_, key) != SQLITE_ROW) fail("sqlite get");
  }
  size_t walk() {
    size_t walked = 0;
    while (sqlite3_step(walk_) == SQLITE_ROW) walked += sqlite3_column_bytes(walk_, 2) > 0;
    sqlite3_reset(walk_);
    return walked;
  }
  void written() {}
  void rewrite(const std::string &key, const std::string &sec) { step(upd_, key, sec); }
  void remove(const std::string &key, const std::string &) { step(del_, key); }

 private:
  int step(sqlite3_stmt *s, const std::string &key, const std::string &sec = "") {
    sqlite3_bind_text(s, 1, key.data(), 12, SQLITE_STATIC);
    if (sqlite3_bind_parameter_count(s) > 1) {
      sqlite3_bind_text(s, 2, sec.data(), 8, SQLITE_STATIC);
      sqlite3_bind_text(s, 3, rest_.data(), static_cast<int>(rest_.size()), SQLITE_STATIC);
    }
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    return rc;
  }

  const std::string &rest_;
  sqlite3 *db_ = nullptr;
  sqlite3_stmt *ins_, *get_, *walk_, *upd_, *del_;
};

// ---- Berkeley DB ----

int secondary_key(DB *, const DBT *, const DBT *data, DBT *result) {
  memset(result, 0, sizeof *result);
  result->data = data->data;
  result->size = 8;
  return 0;
}

class BerkeleyDb {
 public:
  BerkeleyDb(const std::string &dir, const std::string &rest) : rest_(rest), value_(kDataLen - 12, ' ') {
    if (db_create(&pri_, nullptr, 0) != 0 || db_create(&sec_, nullptr, 0) != 0) fail("bdb create");
    pri_->set_cachesize(pri_, 0, 64 << 20, 1);
    sec_->set_cachesize(sec_, 0, 32 << 20, 1);
    sec_->set_flags(sec_, DB_DUPSORT);
    if (pri_->open(pri_, nullptr, (dir + "/r.bdb").c_str(), nullptr, DB_BTREE, DB_CREATE, 0644) != 0 ||
        sec_->open(sec_, nullptr, (dir + "/s.bdb").c_str(), nullptr, DB_BTREE, DB_CREATE, 0644) != 0 ||
        pri_->associate(pri_, nullptr, sec_, secondary_key, 0) != 0) {
      fail("bdb open");
    }
  }
  ~BerkeleyDb() {
    sec_->close(sec_, 0);
    pri_->close(pri_, 0);
  }

  void write(const std::string &key, const std::string &sec) {
    if (put(key, sec) != 0) fail("bdb put");
  }
  void read(const std::string &key) {
    DBT k = dbt(key), data = {};
    if (pri_->get(pri_, nullptr, &k, &data, 0) != 0) fail("bdb get");
  }
  size_t walk() {
    DBC *cur;
    pri_->cursor(pri_, nullptr, &cur, 0);
    DBT key = {}, data = {};
    size_t walked = 0;
    while (cur->get(cur, &key, &data, DB_NEXT) == 0) walked++;
    cur->close(cur);
    return walked;
  }
  void written() {}
  void rewrite(const std::string &key, const std::string &sec) { put(key, sec); }
  void remove(const std::string &key, const std::string &) {
    DBT k = dbt(key);
    pri_->del(pri_, nullptr, &k, 0);
  }

 private:
  static DBT dbt(const std::string &key) {
    DBT k = {};
    k.data = const_cast<char *>(key.data());
    k.size = 12;
    return k;
  }
  int put(const std::string &key, const std::string &sec) {
    memcpy(&value_[0], sec.data(), 8);
    memcpy(&value_[8], rest_.data(), rest_.size());
    DBT k = dbt(key), data = {};
    data.data = value_.data();
    data.size = static_cast<u_int32_t>(value_.size());
    return pri_->put(pri_, nullptr, &k, &data, 0);
  }

  const std::string &rest_;
  std::string value_;
  DB *pri_ = nullptr, *sec_ = nullptr;
};

// ---- the comparisons ----

// A maintenance window that shows nothing: the pack of the benchmark runs
// without progress lines.
class QuietWindow : public corvex::ProgressWindow {
 public:
  void open(corvex::ProgressLayout, const std::string &) override {}
  void set_line(int, const std::string &) override {}
  bool stop_requested() override { return false; }
  bool ask(const corvex::ProgressQuestion &) override { return false; }
  void close() override {}
};

void print_times(const char *what, const Times &t) {
  printf("%-26s write %6.2fs read %6.2fs walk %6.2fs rewrite %6.2fs delete %6.2fs\n", what, t.write, t.read, t.walk,
         t.rewrite, t.remove);
}

void print_ratios(const char *what, const Times &a, const Times &b) {
  printf("%-26s write %6.2f  read %6.2f  walk %6.2f  rewrite %6.2f  delete %6.2f\n", what, a.write / b.write,
         a.read / b.read, a.walk / b.walk, a.rewrite / b.rewrite, a.remove / b.remove);
}

// One figure beside its goal: ours / theirs at most `goal`.
void print_goal(const char *what, double ours, double theirs, double goal) {
  double ratio = ours / theirs;
  printf("  %-44s %6.2f   goal <= %.1f  %s\n", what, ratio, goal, ratio <= goal ? "met" : "NOT MET");
}

std::string fresh_dir(const char *name) {
  std::string dir = std::filesystem::temp_directory_path().string() + "/bench_records_" + name + "_" +
                    std::to_string(getpid());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// One walk of a store made once.
template <class Store>
double walk_time(const Workload &w, Store &s) {
  return timed([&] {
    if (s.walk() != w.size()) fail("walk");
  });
}

// Packs the data file `file` in key order, without progress lines; the
// seconds it took.
double pack_by_key(const std::string &file) {
  QuietWindow quiet;
  corvex_set_progress_window(&quiet);
  int status = 0;
  double took = timed([&] { status = filemaint(FM_PACK, file.c_str(), "", "", "", FM_BYKEY, nullptr); });
  corvex_set_progress_window(nullptr);
  if (status != 0) fail("pack --by-key");
  return took;
}

// Single-user mode against SQLite and Berkeley DB on n records. The stores
// take turns, run by run, so that a busy spell of the machine weighs on
// each of them alike.
void compare_with_peers(size_t n, bool pread_too) {
  Workload w(n);
  std::string dir = fresh_dir("single");
  const std::string packed = dir + "/packed";
  const std::string rowid_dir = dir + "/rowid";
  std::filesystem::create_directories(rowid_dir);
  auto rowid = std::make_unique<Sqlite>(rowid_dir, false, w.rest);
  for (size_t i = 0; i < w.size(); i++) rowid->write(w.keys[i], w.secs[i]);
  std::unique_ptr<Corvex> packed_store;
  double pack_time = 0, packed_walk = 0, rowid_walk = 0;
  Times ours, plain, lite, bdb;
  for (int run = 0; run < kBestOfRuns; run++) {
    keep_best(&ours, run, one_run(w, dir, [&](const std::string &folder) {
      auto store = std::make_unique<Corvex>(folder, "SINGLE", true);
      if (run == 0) store->keep_copy(packed);
      return store;
    }));
    if (run == 0) {
      // The first run's data file, packed in key order, is walked once a run;
      // once before, untimed, as the peers' tables are walked after their
      // reads have been through them.
      pack_time = pack_by_key(packed + "/R.dat");
      packed_store = std::make_unique<Corvex>(packed, "SINGLE", false);
      walk_time(w, *packed_store);
    }
    keep_best(&packed_walk, run, walk_time(w, *packed_store));
    if (pread_too) {
      corvex::mapping_enable(false);
      keep_best(&plain, run, one_run(w, dir, [&](const std::string &folder) {
        return std::make_unique<Corvex>(folder, "SINGLE", true);
      }));
      corvex::mapping_enable(true);
    }
    keep_best(&lite, run, one_run(w, dir, [&](const std::string &folder) {
      return std::make_unique<Sqlite>(folder, true, w.rest);
    }));
    keep_best(&rowid_walk, run, walk_time(w, *rowid));
    keep_best(&bdb, run, one_run(w, dir, [&](const std::string &folder) {
      return std::make_unique<BerkeleyDb>(folder, w.rest);
    }));
  }
  packed_store.reset();
  rowid.reset();
  std::filesystem::remove_all(dir);

  printf("%zu records of %d bytes, best of %d runs per store\n", w.size(), kDataLen, kBestOfRuns);
  print_times("corvex", ours);
  if (pread_too) print_times("corvex, pread", plain);
  print_times("sqlite (clustered)", lite);
  print_times("berkeley db", bdb);
  printf("%-26s walk %6.2fs (pack --by-key of the first run's file: %.2fs)\n", "corvex after pack --by-key",
         packed_walk, pack_time);
  printf("%-26s walk %6.2fs\n", "sqlite rowid + key index", rowid_walk);
  print_ratios("corvex / sqlite", ours, lite);
  print_ratios("corvex / berkeley db", ours, bdb);
  if (pread_too) print_ratios("mapped / pread", ours, plain);
  printf("goals:\n");
  print_goal("write / sqlite", ours.write, lite.write, 1.0);
  print_goal("write / berkeley db", ours.write, bdb.write, 1.0);
  print_goal("read / sqlite", ours.read, lite.read, 1.0);
  print_goal("read / berkeley db", ours.read, bdb.read, 1.0);
  print_goal("walk / sqlite rowid table with key index", ours.walk, rowid_walk, 1.0);
  print_goal("walk after pack --by-key / sqlite clustered", packed_walk, lite.walk, 1.0);
  print_goal("walk after pack --by-key / berkeley db", packed_walk, bdb.walk, 1.0);
  print_goal("delete / sqlite", ours.remove, lite.remove, 1.0);
  print_goal("delete / berkeley db", ours.remove, bdb.remove, 1.0);
}

// The shared MSNET mode against single-user mode on n records: the two run
// in turn, kBestOfRuns times each, and each phase keeps its best time.
void compare_shared(size_t n) {
  Workload small(n);
  std::string dir = fresh_dir("msnet");
  Times single, shared, shared_plain;
  for (int run = 0; run < kBestOfRuns; run++) {
    auto one = [&](const char *mode) {
      std::string folder = dir + "/" + mode;
      std::filesystem::create_directories(folder);
      Times t;
      {
        Corvex store(folder, mode, true);
        t = run_phases(small, store);
      }
      std::filesystem::remove_all(folder);
      return t;
    };
    Times s = one("SINGLE");
    Times m = one("MSNET");
    corvex::mapping_enable(false);
    Times p = one("MSNET");
    corvex::mapping_enable(true);
    single = run == 0 ? s : fastest(single, s);
    shared = run == 0 ? m : fastest(shared, m);
    shared_plain = run == 0 ? p : fastest(shared_plain, p);
  }
  std::filesystem::remove_all(dir);
  printf("%zu records, shared mode, best of %d runs per mode\n", small.size(), kBestOfRuns);
  print_times("MSNET", shared);
  print_times("MSNET, pread", shared_plain);
  print_times("single-user", single);
  print_ratios("MSNET / single-user", shared, single);
  print_ratios("MSNET mapped / pread", shared, shared_plain);
  printf("goals:\n");
  print_goal("MSNET / single-user read", shared.read, single.read, 1.5);
  print_goal("MSNET / single-user walk", shared.walk, single.walk, 1.5);
  print_goal("MSNET / single-user write", shared.write, single.write, 1.3);
  print_goal("MSNET / single-user delete", shared.remove, single.remove, 1.3);
}

}  // namespace

int main(int argc, char **argv) {
  size_t n = 1000000;
  bool peers = true, shared = true, pread_too = false;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      printf("usage: bench_records [--peers | --shared] [--pread] [N]   (N records, default 1000000;\n"
             "       the shared-mode comparison runs on N / 10; --pread adds single-user runs\n"
             "       that read by pread instead of the mapping)\n");
      return 0;
    }
    if (strcmp(argv[i], "--peers") == 0) {
      shared = false;
    } else if (strcmp(argv[i], "--shared") == 0) {
      peers = false;
    } else if (strcmp(argv[i], "--pread") == 0) {
      pread_too = true;
    } else {
      n = strtoul(argv[i], nullptr, 10);
    }
  }
  if (n < 1000) {
    fprintf(stderr, "bench_records: N must be at least 1000\n");
    return 2;
  }
  auto t0 = Clock::now();
  if (peers) compare_with_peers(n, pread_too);
  if (shared) compare_shared(n / 10);
  printf("run time %.0fs\n", seconds_since(t0));
  return 0;
}
