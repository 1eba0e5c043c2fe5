// A full disk, indexes left with entries of deleted records or damaged at
// random, a slot reused between a position and a read, and a change of
// network mode with changes pending: every write that fails says so and
// leaves no key behind, nothing written before is lost, and every walk ends.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/index/keys.h"
#include "tests/engine/recovery.h"
#include "tests/support/data_fixture.h"
#include "tests/support/scratch.h"

namespace {

int add(Table &t, const Layout &l, int id) {
  t.clear();
  t.put(l.id_at, field(id, 6));
  t.put(l.value_at, field(id * 37 % 1000, 8));
  t.put(l.note_at, std::string(static_cast<size_t>(id % 17 + 1), 'n'));
  return t.op(FHOP_WRITE);
}

// Finds record `id` by key 0; true when it is there with its value.
bool found(Table &t, const Layout &l, int id) {
  if (t.setkey(1) != FHS_OK) return false;
  t.block.mode |= FH_EXACT;
  bool ok = t.position_key(field(id, 6)) == FHS_OK && t.positioned() && t.op(FHOP_READ) == FHS_OK;
  t.block.mode &= static_cast<uint16_t>(~FH_EXACT);
  return ok && t.get(l.value_at, 8) == field(id * 37 % 1000, 8);
}

off_t file_size(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

// Walks key `key` (1-based, as set key takes it) from its first entry, or
// from its last with `reverse`, reading each record. Returns the records
// read, or -1 when the walk goes on past `bound` reads.
int walk(Table &t, int key, bool reverse, int bound) {
  if (t.setkey(key) != FHS_OK) return 0;
  if (reverse) t.block.mode |= FH_REVERSE;
  t.position_key(reverse ? std::string(30, '~') : "");
  int reads = 0;
  while (t.positioned() && t.block.status == FHS_OK) {
    if (++reads > bound) break;
    if (t.op(FHOP_READ) != FHS_OK) break;
  }
  t.block.mode &= static_cast<uint16_t>(~FH_REVERSE);
  return reads > bound ? -1 : reads;
}

// Walks key `key` as the record layer's next and previous record calls do:
// each step positions afresh at the key of the record last read, then reads
// past it (forwards) or backspaces before it (backwards). Returns the steps
// taken, or -1 when the walk goes on past `bound` steps.
int walk_by_position(Table &t, int key, bool reverse, int bound) {
  if (t.setkey(key) != FHS_OK) return 0;
  t.position_key(reverse ? std::string(30, '~') : "");
  if (reverse && t.op(FHOP_BACKSPACE) != FHS_OK) return 0;
  if (t.block.status != FHS_OK || !t.positioned() || t.op(FHOP_READ) != FHS_OK) return 0;
  char text[corvex::KEYTEXT_MAX];
  for (int steps = 1; steps <= bound; steps++) {
    if (t.setkey(key) != FHS_OK) return steps;
    int n = _bldkey(&t.block, key - 1, text);
    memset(t.block.keybuf, 0, FH_KEYBUFSIZE);
    memcpy(t.block.keybuf, text, static_cast<size_t>(n));
    if (t.op(FHOP_POSITION) != FHS_OK || !t.positioned()) return steps;
    int status = reverse ? t.op(FHOP_BACKSPACE) : t.op(FHOP_READ);
    if (status != FHS_OK || !t.positioned() || t.op(FHOP_READ) != FHS_OK) return steps;
  }
  return -1;
}

class DamageTest : public ::testing::Test {
 protected:
  std::string dat() const { return scratch_.path("T.dat"); }
  std::string idx() const { return scratch_.path("T.idx"); }

  void make(const Layout &l, int records) {
    write_fid(scratch_.path("T.fid"), l.description);
    EngineSession session;
    Table t;
    ASSERT_EQ(t.make(dat()), FHS_OK);
    for (int i = 0; i < records; i++) ASSERT_EQ(add(t, l, i), FHS_OK);
    ASSERT_EQ(t.close(), FHS_OK);
  }

  // Opens the table as the program would after a failure: a report of an
  // unfinished update is answered with a rebuild of the index. Then every
  // entry must lead to a record that holds its key.
  void open_checked(Table &t) {
    int status = t.open(dat());
    ASSERT_TRUE(status == FHS_OK || status == FHS_RECOVER) << "open answered " << status;
    if (status == FHS_RECOVER) rebuild_index(&t.block);
    for (int k = 0; k < t.block.nkeys; k++) {
      std::string fault;
      checked_entries(&t.block, k, &fault);
      ASSERT_EQ(fault, "") << "key " << k;
    }
  }

  // Adds records in a child whose files may not grow past `room` bytes
  // beyond the larger of the two; returns the ids whose writes succeeded
  // and stores the statuses of the failed ones.
  std::set<int> fill_disk(const Layout &l, const char *mode, off_t room, std::vector<int> *failures) {
    off_t limit = std::max(file_size(dat()), file_size(idx())) + room;
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit rl = {static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      setrlimit(RLIMIT_FSIZE, &rl);
      EngineSession session(mode);
      Table t;
      if (t.open(dat()) != FHS_OK) _exit(2);
      for (int id = 100; id < 160; id++) {
        int status = add(t, l, id);
        int report = status == FHS_OK ? id : -status;
        if (write(fds[1], &report, sizeof report) != static_cast<ssize_t>(sizeof report)) _exit(3);
      }
      t.close();
      _exit(0);
    }
    close(fds[1]);
    std::set<int> written;
    int report;
    while (read(fds[0], &report, sizeof report) == static_cast<ssize_t>(sizeof report)) {
      if (report > 0) {
        written.insert(report);
      } else {
        failures->push_back(-report);
      }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return written;
  }

  void disk_full(const Layout &l, const char *mode) {
    SCOPED_TRACE(std::string(l.name) + " " + mode);
    make(l, 30);
    // Room for a few records: the data file or the index fills first.
    std::vector<int> failures;
    std::set<int> written = fill_disk(l, mode, 200, &failures);
    ASSERT_FALSE(failures.empty());
    for (int status : failures) EXPECT_TRUE(status == FHS_WRITEDATA || status == FHS_WRITEINDEX) << status;
    EngineSession session(mode);
    Table t;
    open_checked(t);
    for (int id = 0; id < 30; id++) EXPECT_TRUE(found(t, l, id)) << "old record " << id;
    for (int id : written) EXPECT_TRUE(found(t, l, id)) << "written record " << id;
    EXPECT_EQ(active_records(&t.block).size(), 30 + written.size());
    ASSERT_EQ(add(t, l, 500), FHS_OK);
    EXPECT_TRUE(found(t, l, 500));
    EXPECT_EQ(t.close(), FHS_OK);
  }

  Scratch scratch_;
};

TEST_F(DamageTest, FullDiskFailsWritesAndKeepsEverythingWritten) {
  for (const Layout *l : {&kFixed, &kVarlen}) {
    for (const char *mode : {"MSNET", "SINGLE"}) disk_full(*l, mode);
  }
}

TEST_F(DamageTest, WalksPassOverEntriesOfDeletedRecords) {
  make(kFixed, 10);
  // A delete killed after its mark and before its index: record 4 is 'D'
  // while its entries remain.
  {
    std::fstream f(dat(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(5 * 36);
    f.put('D');
  }
  for (const char *mode : {"MSNET", "SINGLE"}) {
    EngineSession session(mode);
    Table t;
    ASSERT_EQ(t.open(dat()), FHS_OK);
    for (int key : {1, 2}) {
      EXPECT_EQ(walk(t, key, false, 20), 9) << mode << " key " << key;
      EXPECT_EQ(walk(t, key, true, 20), 9) << mode << " key " << key << " backwards";
      EXPECT_EQ(walk_by_position(t, key, false, 20), 9) << mode << " key " << key;
    }
    EXPECT_FALSE(found(t, kFixed, 4));
    EXPECT_TRUE(found(t, kFixed, 5));
  }
}

TEST_F(DamageTest, EveryWalkOverADamagedIndexEnds) {
  make(kFixed, 120);
  std::string good;
  {
    std::ifstream in(idx(), std::ios::binary);
    good.assign(std::istreambuf_iterator<char>(in), {});
  }
  EngineSession session;
  unsigned seed = 99;
  int endless = 0;
  int copies = 0;
  for (; copies < 300; copies++) {
    std::string bad = good;
    seed = seed * 1103515245u + 12345u;
    size_t at = 128 + (seed >> 4) % (bad.size() - 128);  // past the header's fixed part
    bad[at] = static_cast<char>(bad[at] ^ (1 << ((seed >> 24) % 8)));
    {
      std::ofstream out(idx(), std::ios::binary | std::ios::trunc);
      out << bad;
    }
    Table t;
    int status = t.open(dat());
    if (status != FHS_OK && status != FHS_RECOVER) continue;
    for (int key : {1, 2}) {
      for (bool reverse : {false, true}) {
        endless += walk(t, key, reverse, 130) < 0;
        endless += walk_by_position(t, key, reverse, 130) < 0;
      }
    }
  }
  EXPECT_EQ(endless, 0) << "of " << copies << " damaged copies";
}

TEST_F(DamageTest, AReadAfterASlotWasReusedNeverReturnsAnotherKey) {
  make(kFixed, 10);
  EngineSession session("MSNET");
  Table reader, writer;
  ASSERT_EQ(reader.open(dat()), FHS_OK);
  ASSERT_EQ(writer.open(dat()), FHS_OK);
  ASSERT_EQ(reader.setkey(1), FHS_OK);
  ASSERT_EQ(reader.position_key(field(6, 6)), FHS_OK);
  ASSERT_TRUE(reader.positioned());
  // Another program deletes record 6 and puts record 2 into its slot under
  // a new value.
  writer.clear();
  writer.put(1, field(6, 6));
  ASSERT_EQ(writer.op(FHOP_DELETE), FHS_OK);
  writer.clear();
  writer.put(1, field(2, 6));
  ASSERT_EQ(writer.op(FHOP_DELETE), FHS_OK);
  ASSERT_EQ(add(writer, kFixed, 2), FHS_OK);
  // The read goes on from the entry's key: record 7, then on in order.
  ASSERT_EQ(reader.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(reader.get(1, 6), field(7, 6));
  ASSERT_EQ(reader.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(reader.get(1, 6), field(8, 6));
}

TEST_F(DamageTest, ChangingTheNetworkModeWritesPendingChangesFirst) {
  make(kFixed, 0);
  {
    EngineSession session;
    Table t;
    ASSERT_EQ(t.open(dat()), FHS_OK);
    for (int id = 0; id < 60; id++) ASSERT_EQ(add(t, kFixed, id), FHS_OK);
    EngineSession::select("MSNET");
    for (int id = 60; id < 70; id++) ASSERT_EQ(add(t, kFixed, id), FHS_OK);
    ASSERT_EQ(t.close(), FHS_OK);
  }
  EngineSession session;
  Table t;
  ASSERT_EQ(t.open(dat()), FHS_OK);
  for (int id = 0; id < 70; id++) EXPECT_TRUE(found(t, kFixed, id)) << id;
  EXPECT_EQ(walk(t, 2, false, 80), 70);
}

}  // namespace
