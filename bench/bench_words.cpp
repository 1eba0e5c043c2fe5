// Word index throughput against SQLite's FTS5.
//
// Indexes the notes of N log entries (default 100,000; 5 to 20 words each,
// drawn from a fixed vocabulary by a Zipf law, with a few rare words) under
// their entry numbers, then searches 10,000 words (mostly common ones, some
// rare, some absent) and counts the hits. Ours runs single-user with the
// keyword file of data/LogWords.desc; the peers are in-process FTS5 tables in
// one transaction with journal and synchronous off: one with its defaults,
// and a lean one (contentless, no positions) that keeps no more than ours.
// Each store runs three times on fresh files and each time is the best of
// the three. Prints index time, search time and file size as ours over the
// peer's beside the goal (1.0 or less: ours is at least as fast or small),
// after checking that both found the same number of hits. With --ours only
// our store runs (for profiling it).
//
//   bench_words [--ours] [N]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/words/words.h"
#include "util/memory.h"

#include "bench/sqlite.h"
#include "bench/timing.h"

namespace {

struct Times {
  double index = 0, search = 0;
  long long bytes = 0, hits = 0;
};

[[noreturn]] void fail(const char *what) {
  fprintf(stderr, "bench_words: %s\n", what);
  exit(1);
}

struct Workload {
  std::vector<std::string> notes;
  std::vector<std::string> queries;
};

// Pronounceable words of 2 to 4 syllables, all distinct, none a stop word.
std::vector<std::string> make_words(std::mt19937 &rng, size_t n, const char *prefix) {
  const char *consonants = "bcdfghklmnprstvwz";
  const char *vowels = "aeiou";
  std::vector<std::string> out;
  std::uniform_int_distribution<int> syllables(2, 4);
  std::set<std::string> taken;
  while (out.size() < n) {
    std::string w = prefix;
    for (int s = syllables(rng); s > 0; s--) {
      w += consonants[rng() % strlen(consonants)];
      w += vowels[rng() % strlen(vowels)];
    }
    if (taken.insert(w).second) out.push_back(w);
  }
  return out;
}

Workload make_workload(size_t n) {
  std::mt19937 rng(7);
  std::vector<std::string> common = {"signal", "strong", "weak",   "fading", "net",     "contest", "calling",
                                     "station", "heard", "qsb",    "qrm",    "noise",   "psk",     "rtty",
                                     "weather", "marine", "coast", "guard",  "traffic", "report",  "copy",
                                     "good",   "poor",   "static", "beacon", "dx",      "europe",  "asia"};
  std::vector<std::string> more = make_words(rng, 3000, "");
  common.insert(common.end(), more.begin(), more.end());
  common.erase(std::remove_if(common.begin(), common.end(), [](const std::string &w) { return w.size() < 3; }),
               common.end());
  const std::vector<std::string> rare = make_words(rng, 5000, "x");
  std::vector<double> cdf(common.size());
  double sum = 0;
  // Zipf-Mandelbrot: the commonest word is in about one note of six.
  for (size_t i = 0; i < common.size(); i++) cdf[i] = sum += 1.0 / static_cast<double>(i + 10);
  auto zipf = [&]() -> const std::string & {
    double u = std::uniform_real_distribution<double>(0, sum)(rng);
    const size_t at = static_cast<size_t>(std::lower_bound(cdf.begin(), cdf.end(), u) - cdf.begin());
    return common[std::min(common.size() - 1, at)];
  };
  Workload w;
  w.notes.reserve(n);
  for (size_t i = 0; i < n; i++) {
    std::string note;
    for (int k = 5 + static_cast<int>(rng() % 16); k > 0; k--) {
      if (!note.empty()) note += ' ';
      note += rng() % 50 == 0 ? rare[rng() % rare.size()] : zipf();
    }
    w.notes.push_back(std::move(note));
  }
  for (int i = 0; i < 10000; i++) {
    int kind = static_cast<int>(rng() % 100);
    w.queries.push_back(kind < 90 ? zipf() : kind < 98 ? rare[rng() % rare.size()] : "absent" + std::to_string(i));
  }
  return w;
}

// Runs `run` (returning Times) three times and keeps the best of each time.
template <class Run>
Times best_of_three_runs(Run run) {
  Times best;
  best.index = best_of_three([&] {
    const Times t = run();
    best.search = best.search == 0 ? t.search : std::min(best.search, t.search);
    best.bytes = t.bytes;
    best.hits = t.hits;
    return t.index;
  });
  return best;
}

Times run_ours(const Workload &w, const std::string &scratch) {
  Times t;
  const std::string dir = scratch + "/ours";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directory(dir);
  fhrequest control = {};
  control.opcode = FHOP_INIT;
  _filehandler(&control);
  corvex::Description d;
  std::string error;
  if (!corvex::read_description(TESSALY_DATA_DIR "/LogWords.desc", &d, &error)) fail(error.c_str());
  if (!corvex::fid_write(d, (dir + "/W.fid").c_str(), &error)) fail(error.c_str());
  const std::string hyp = dir + "/W.hyp";
  fhrequest block = {};
  auto open_index = [&] {
    block = fhrequest();
    snprintf(block.datname, sizeof block.datname, "%s/W.Dat", dir.c_str());
    if (_fhhypinit(&block, hyp.c_str(), 1) != 0) fail("open the index");
  };
  auto t0 = std::chrono::steady_clock::now();
  open_index();
  for (size_t i = 0; i < w.notes.size(); i++)
    if (_fhhypaddline(&block, w.notes[i].c_str(), static_cast<uint32_t>(i + 1), 0) != 0) fail("add a note");
  _fhhypinit(&block, nullptr, 0);
  t.index = seconds_since(t0);

  t0 = std::chrono::steady_clock::now();
  open_index();
  for (const std::string &q : w.queries) {
    uint32_t count = 0;
    uint32_t *hits = _fhhypsearch(&block, q.c_str(), &count);
    if (!hits && block.status != 0) fail("search");
    t.hits += count;
    globalmfree(hits);
  }
  _fhhypinit(&block, nullptr, 0);
  t.search = seconds_since(t0);
  t.bytes = file_size(dir + "/W.Dat") + file_size(dir + "/W.idx") + file_size(hyp);
  control.opcode = FHOP_TERMINATE;
  _filehandler(&control);
  return t;
}

Times run_fts5(const Workload &w, const std::string &dir, const char *options) {
  Times t;
  const std::string path = dir + "/fts.sqlite";
  unlink(path.c_str());
  sqlite3 *db = nullptr;
  auto open_db = [&] {
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail("sqlite open");
    sql(db, "PRAGMA journal_mode=OFF");
    sql(db, "PRAGMA synchronous=OFF");
  };
  auto t0 = std::chrono::steady_clock::now();
  open_db();
  sql(db, (std::string("CREATE VIRTUAL TABLE notes USING fts5(") + options + ")").c_str());
  sql(db, "BEGIN");
  sqlite3_stmt *ins = prepare(db, "INSERT INTO notes(rowid, body) VALUES(?, ?)");
  for (size_t i = 0; i < w.notes.size(); i++) {
    sqlite3_bind_int64(ins, 1, static_cast<sqlite3_int64>(i + 1));
    sqlite3_bind_text(ins, 2, w.notes[i].data(), static_cast<int>(w.notes[i].size()), SQLITE_STATIC);
    if (sqlite3_step(ins) != SQLITE_DONE) fail("fts5 insert");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  sql(db, "COMMIT");
  sqlite3_close(db);
  t.index = seconds_since(t0);

  t0 = std::chrono::steady_clock::now();
  open_db();
  sqlite3_stmt *find = prepare(db, "SELECT rowid FROM notes WHERE notes MATCH ?");
  for (const std::string &q : w.queries) {
    sqlite3_bind_text(find, 1, q.data(), static_cast<int>(q.size()), SQLITE_STATIC);
    while (sqlite3_step(find) == SQLITE_ROW) t.hits++;
    sqlite3_reset(find);
  }
  sqlite3_finalize(find);
  sqlite3_close(db);
  t.search = seconds_since(t0);
  t.bytes = file_size(path);
  return t;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && (!strcmp(argv[1], "-h") || !strcmp(argv[1], "--help"))) {
    printf("usage: bench_words [--ours] [N]\n"
           "  indexes N notes (default 100000), searches 10000 words; prints ours over FTS5\n"
           "  (best of three runs each); --ours runs only ours.\n");
    return 0;
  }
  const bool ours_only = argc > 1 && !strcmp(argv[1], "--ours");
  if (ours_only) argv++, argc--;
  const size_t n = argc > 1 ? strtoul(argv[1], nullptr, 10) : 100000;
  if (n < 1) fail("N must be at least 1");
  char pattern[] = "/tmp/bench-words-XXXXXX";
  if (!mkdtemp(pattern)) fail("no scratch directory");
  const std::string dir = pattern;
  const Workload w = make_workload(n);
  const Times ours = best_of_three_runs([&] { return run_ours(w, dir); });
  printf("%zu notes, %zu searches: ours index %.3fs search %.3fs, %lld bytes, %lld hits\n", n, w.queries.size(),
         ours.index, ours.search, ours.bytes, ours.hits);
  const struct {
    const char *name, *options;
  } peers[] = {{"fts5", "body"}, {"fts5 lean", "body, content='', detail=none"}};
  for (const auto &p : ours_only ? std::span(peers).first(0) : std::span(peers)) {
    const Times peer = best_of_three_runs([&] { return run_fts5(w, dir, p.options); });
    if (peer.hits != ours.hits)
      fprintf(stderr, "bench_words: %s found %lld hits, ours %lld\n", p.name, peer.hits, ours.hits);
    printf("against %-10s index %5.2f (goal <= 1.0)  search %5.2f (goal <= 1.0)  file %5.2f (%.3fs, %.3fs, %lld bytes)\n",
           p.name, ours.index / peer.index, ours.search / peer.search, static_cast<double>(ours.bytes) / peer.bytes,
           peer.index, peer.search, peer.bytes);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
