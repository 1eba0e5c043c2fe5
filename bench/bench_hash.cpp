// Hash file throughput against two embedded hash stores.
//
// Writes N random keys of 12 characters (default 200,000: 70% of the largest
// table, 288,359 entries) with a 16-byte value through a hashed data file of
// the engine, then looks every key up in another random order; does the same
// with a GDBM file and a Berkeley DB hash, and looks every key up once more.
// Each store is synced after the writes (ours is secured, which also parks
// its handles, so the first lookups read the records from the file). Ours
// runs a second time with another handle of the process open on the same
// table from the start, the lookups taking turns between the two handles.
// Every figure is the best of three runs of its store, each on a new file.
// Prints each phase as our time over the peer's (1.0 or less means we are
// at least as fast), the goals beside them, and the file sizes.
//
//   bench_hash [N] [--only ours|pair|gdbm|bdb]
//
// --only runs one store (for profiling) and prints its times alone.
#include <db.h>
#include <gdbm.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/rfh.h"
#include "engine/rfhitem.h"

#include "bench/timing.h"

namespace {

constexpr int kKeyLen = 12;
constexpr int kValLen = 16;

struct Times {
  double write = 0, lookup = 0, again = 0;
  long long bytes = 0;
};

[[noreturn]] void fail(const char *what) {
  fprintf(stderr, "bench_hash: %s\n", what);
  exit(1);
}

struct Workload {
  std::vector<std::string> keys;  // unique, upper-case letters and digits
  std::vector<std::string> values;
  std::vector<uint32_t> lookup_order;
};

Workload make_workload(size_t n) {
  std::mt19937_64 rng(42);
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  Workload w;
  std::vector<std::string> keys;
  while (keys.size() < n * 11 / 10 + 16) {
    std::string k(kKeyLen, ' ');
    for (char &c : k) c = alphabet[rng() % 36];
    keys.push_back(k);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::shuffle(keys.begin(), keys.end(), rng);
  if (keys.size() < n) fail("could not draw enough distinct keys");
  keys.resize(n);
  w.keys = std::move(keys);
  for (size_t i = 0; i < n; i++) {
    char v[kValLen + 1];
    snprintf(v, sizeof v, "value%011zu", i);
    w.values.push_back(v);
  }
  for (uint32_t i = 0; i < n; i++) w.lookup_order.push_back(i);
  std::shuffle(w.lookup_order.begin(), w.lookup_order.end(), rng);
  return w;
}

// How many handles of the process have our table open.
enum class Handles { kOne, kTwo };

// Opens a second handle on the hashed file `dat`, as another part of the
// program would.
void open_second(fhrequest *block, const std::string &dat) {
  *block = {};
  snprintf(block->datname, sizeof block->datname, "%s", dat.c_str());
  block->mode = FH_EXCLUSIVE;
  if (_rfhopen(block) != 0) fail("second open of the hashed file failed");
}

Times run_ours(const Workload &w, const std::string &dir, Handles handles) {
  std::string desc = "length " + std::to_string(kKeyLen + kValLen) + "\nhashed 288359\nitem KEY C 0 " +
                     std::to_string(kKeyLen) + "\nitem VAL C " + std::to_string(kKeyLen) + " " +
                     std::to_string(kValLen) + "\nkey KEY/c\n";
  corvex::Description d;
  std::string error;
  if (!corvex::parse_description(desc, &d, &error)) fail(error.c_str());
  if (!corvex::fid_write(d, (dir + "/h.fid").c_str(), &error)) fail(error.c_str());

  fhrequest control = {};
  control.opcode = FHOP_INIT;
  _filehandler(&control);
  fhrequest block = {};
  const std::string dat = dir + "/h.dat";
  snprintf(block.datname, sizeof block.datname, "%s", dat.c_str());
  block.mode = FH_EXCLUSIVE;
  if (_rfhmake(&block) != 0) fail("make of the hashed file failed");
  fhrequest second = {};
  if (handles == Handles::kTwo) open_second(&second, dat);
  fhrequest *const lookup_blocks[2] = {&block, handles == Handles::kTwo ? &second : &block};

  Times t;
  auto t0 = std::chrono::steady_clock::now();
  for (size_t i = 0; i < w.keys.size(); i++) {
    _rfhitemset(&block, "KEY", 0, w.keys[i].c_str());
    _rfhitemset(&block, "VAL", 0, w.values[i].c_str());
    if (_rfhwrite(&block, 0) != 0) fail("hashed write failed");
  }
  if (_rfhsecure(&block) != 0) fail("secure failed");
  t.write = seconds_since(t0);

  auto lookups = [&] {
    auto start = std::chrono::steady_clock::now();
    size_t turn = 0;
    for (uint32_t i : w.lookup_order) {
      fhrequest *b = lookup_blocks[turn++ & 1];
      memcpy(b->keybuf, w.keys[i].c_str(), kKeyLen + 1);
      if (_rfhposn(b, 0) != 0 || !(b->state & ST_POSITIONED)) fail("hashed lookup missed");
      if (memcmp(b->recbuf + 1 + kKeyLen, w.values[i].data(), kValLen) != 0) fail("hashed lookup is wrong");
    }
    return seconds_since(start);
  };
  t.lookup = lookups();
  t.again = lookups();
  if (handles == Handles::kTwo) _rfhclose(&second);
  _rfhclose(&block);
  control.opcode = FHOP_TERMINATE;
  _filehandler(&control);
  _filehandler(&control);
  t.bytes = file_size(dir + "/h.dat") + file_size(dir + "/h.hsh");
  for (const char *f : {"/h.dat", "/h.hsh", "/h.fid"}) unlink((dir + f).c_str());
  return t;
}

Times run_gdbm(const Workload &w, const std::string &dir) {
  std::string path = dir + "/g.db";
  GDBM_FILE db = gdbm_open(path.c_str(), 0, GDBM_NEWDB, 0644, nullptr);
  if (!db) fail("gdbm_open failed");
  Times t;
  auto t0 = std::chrono::steady_clock::now();
  for (size_t i = 0; i < w.keys.size(); i++) {
    datum k = {const_cast<char *>(w.keys[i].data()), kKeyLen};
    datum v = {const_cast<char *>(w.values[i].data()), kValLen};
    if (gdbm_store(db, k, v, GDBM_REPLACE) != 0) fail("gdbm_store failed");
  }
  gdbm_sync(db);
  t.write = seconds_since(t0);
  auto lookups = [&] {
    auto start = std::chrono::steady_clock::now();
    for (uint32_t i : w.lookup_order) {
      datum k = {const_cast<char *>(w.keys[i].data()), kKeyLen};
      datum v = gdbm_fetch(db, k);
      if (!v.dptr || v.dsize != kValLen || memcmp(v.dptr, w.values[i].data(), kValLen) != 0) fail("gdbm lookup");
      free(v.dptr);
    }
    return seconds_since(start);
  };
  t.lookup = lookups();
  t.again = lookups();
  gdbm_close(db);
  t.bytes = file_size(path);
  unlink(path.c_str());
  return t;
}

Times run_bdb(const Workload &w, const std::string &dir) {
  std::string path = dir + "/b.db";
  DB *db = nullptr;
  if (db_create(&db, nullptr, 0) != 0) fail("db_create failed");
  if (db->open(db, nullptr, path.c_str(), nullptr, DB_HASH, DB_CREATE | DB_TRUNCATE, 0644) != 0) fail("DB open failed");
  Times t;
  auto t0 = std::chrono::steady_clock::now();
  for (size_t i = 0; i < w.keys.size(); i++) {
    DBT k = {}, v = {};
    k.data = const_cast<char *>(w.keys[i].data());
    k.size = kKeyLen;
    v.data = const_cast<char *>(w.values[i].data());
    v.size = kValLen;
    if (db->put(db, nullptr, &k, &v, 0) != 0) fail("DB put failed");
  }
  db->sync(db, 0);
  t.write = seconds_since(t0);
  auto lookups = [&] {
    auto start = std::chrono::steady_clock::now();
    for (uint32_t i : w.lookup_order) {
      DBT k = {}, v = {};
      k.data = const_cast<char *>(w.keys[i].data());
      k.size = kKeyLen;
      if (db->get(db, nullptr, &k, &v, 0) != 0 || v.size != kValLen ||
          memcmp(v.data, w.values[i].data(), kValLen) != 0) {
        fail("DB lookup");
      }
    }
    return seconds_since(start);
  };
  t.lookup = lookups();
  t.again = lookups();
  db->close(db, 0);
  t.bytes = file_size(path);
  unlink(path.c_str());
  return t;
}

// Runs a store three times, each on a new file, and keeps each phase's
// best time.
template <class Run>
Times best_runs(Run run) {
  Times best;
  best.write = best_of_three([&] {
    Times t = run();
    best.lookup = best.lookup == 0 ? t.lookup : std::min(best.lookup, t.lookup);
    best.again = best.again == 0 ? t.again : std::min(best.again, t.again);
    best.bytes = t.bytes;
    return t.write;
  });
  return best;
}

void print_ratios(const char *ours_name, const Times &ours, const char *peer_name, const Times &peer, const char *goal) {
  printf("ratio %s/%-4s: write %.2f lookup %.2f again %.2f%s\n", ours_name, peer_name, ours.write / peer.write,
         ours.lookup / peer.lookup, ours.again / peer.again, goal);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
    printf("usage: bench_hash [N] [--only ours|pair|gdbm|bdb]\n"
           "  writes and looks up N random keys (default 200000) through a hashed file (alone\n"
           "  and with a second handle: pair), GDBM and a Berkeley DB hash, each the best of\n"
           "  three runs, and prints our times over theirs; --only runs one store\n");
    return 0;
  }
  int arg = 1;
  size_t n = 200000;
  if (arg < argc && argv[arg][0] != '-') n = strtoul(argv[arg++], nullptr, 10);
  const char *only = nullptr;
  if (arg + 1 < argc && !strcmp(argv[arg], "--only")) only = argv[arg + 1];
  if (n == 0 || n > 288359) {
    fprintf(stderr, "bench_hash: N must be 1..288359\n");
    return 2;
  }
  char tmpl[] = "/tmp/bench-hash-XXXXXX";
  if (!mkdtemp(tmpl)) fail("no scratch directory");
  std::string dir = tmpl;
  Workload w = make_workload(n);
  struct Store {
    const char *name;
    std::function<Times()> run;
    Times best;
  };
  Store stores[] = {
      {"ours", [&] { return run_ours(w, dir, Handles::kOne); }, {}},
      {"pair", [&] { return run_ours(w, dir, Handles::kTwo); }, {}},
      {"gdbm", [&] { return run_gdbm(w, dir); }, {}},
      {"bdb", [&] { return run_bdb(w, dir); }, {}},
  };
  for (Store &s : stores) {
    if (!only || !strcmp(only, s.name)) s.best = best_runs(s.run);
  }
  rmdir(dir.c_str());
  printf("%zu keys, table of 288359 entries, best of %d runs (pair: ours with a second handle open)\n", n,
         kBestOfRuns);
  printf("%-8s %10s %10s %10s %12s\n", "", "write s", "lookup s", "again s", "bytes");
  for (const Store &s : stores) {
    if (only && strcmp(only, s.name)) continue;
    printf("%-8s %10.3f %10.3f %10.3f %12lld\n", s.name, s.best.write, s.best.lookup, s.best.again, s.best.bytes);
  }
  if (only) return 0;
  const Times &ours = stores[0].best, &pair = stores[1].best, &gdbm = stores[2].best, &bdb = stores[3].best;
  const char *goal = "   goal: lookup and again 1.0 or less";
  print_ratios("ours", ours, "gdbm", gdbm, goal);
  print_ratios("pair", pair, "gdbm", gdbm, goal);
  print_ratios("ours", ours, "bdb", bdb, "");
  return 0;
}
