// Four processes on one file set in the shared network mode, each adding
// and rewriting its own records and reading the others', for a bounded
// time. Afterwards no record may be lost or duplicated and every key walk
// must agree with the data file. TESSALY_SHARED_DIR names another folder for
// the files (the network file system run of nfs_shared_test.sh uses it).
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/data_fixture.h"
#include "tests/support/scratch.h"

namespace {

// OWNER 1..2, SEQ 3..8, VALUE 9..16, NOTE 17..36 (raised offsets).
const char kShared[] =
    "length 36\n"
    "item OWNER C 0 2\n"
    "item SEQ C 2 6\n"
    "item VALUE C 8 8\n"
    "item NOTE C 16 20\n"
    "key OWNER SEQ\n"
    "key VALUE\n";

constexpr int kWorkers = 4;
constexpr auto kRunFor = std::chrono::milliseconds(1500);

// The body of one worker process: returns the number of records it added
// (its records are SEQ 0..n-1), or -1 after a failure.
int work(const std::string &dat, int me) {
  EngineSession session("MSNET");
  Table t;
  auto failed = [&](const char *what) {
    fprintf(stderr, "worker %d: %s answered %d\n", me, what, t.block.status);
    return -1;
  };
  if (t.open(dat) != FHS_OK) return failed("open");
  int added = 0;
  unsigned seed = static_cast<unsigned>(me) * 7919u + 1;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
  auto until = std::chrono::steady_clock::now() + kRunFor;
  while (std::chrono::steady_clock::now() < until) {
    int what = static_cast<int>(next() % 4);
    t.clear();
    if (what <= 1 || added == 0) {
      t.put(1, field(me, 2) + field(added, 6));
      t.put(9, field(static_cast<int>(next() % 1000), 8));
      t.put(17, "new");
      if (t.op(FHOP_WRITE) != FHS_OK) return failed("add");
      added++;
    } else if (what == 2) {
      t.put(1, field(me, 2) + field(static_cast<int>(next() % added), 6));
      t.put(9, field(static_cast<int>(next() % 1000), 8));
      t.put(17, "rewritten");
      if (t.op(FHOP_WRITE) != FHS_OK) return failed("rewrite");
    } else {
      // Someone's record: it may not exist yet; a miss is no failure.
      if (t.setkey(1) != FHS_OK) return failed("set key");
      int owner = static_cast<int>(next() % kWorkers);
      if (t.position_key(field(owner, 2) + field(static_cast<int>(next() % 50), 6)) != FHS_OK) return failed("position");
      if (t.positioned() && t.op(FHOP_READ) != FHS_OK) return failed("read");
    }
  }
  return t.close() == FHS_OK ? added : failed("close");
}

TEST(DataSharedTest, FourProcessesKeepOneConsistentFileSet) {
  const char *base = getenv("TESSALY_SHARED_DIR");
  Scratch scratch(base != nullptr && *base != '\0' ? base : "/tmp");
  ASSERT_TRUE(scratch.made()) << "cannot make a folder in " << base;
  std::string dat = scratch.path("S.dat");
  write_fid(scratch.path("S.fid"), kShared);
  {
    EngineSession session;
    Table t;
    ASSERT_EQ(t.make(dat), FHS_OK);
  }
  int pipes[kWorkers][2];
  pid_t pids[kWorkers];
  for (int i = 0; i < kWorkers; i++) {
    ASSERT_EQ(pipe(pipes[i]), 0);
    pids[i] = fork();
    ASSERT_GE(pids[i], 0);
    if (pids[i] == 0) {
      int n = work(dat, i);
      ssize_t w = write(pipes[i][1], &n, sizeof n);
      _exit(w == static_cast<ssize_t>(sizeof n) ? 0 : 1);
    }
    close(pipes[i][1]);
  }
  int added[kWorkers];
  for (int i = 0; i < kWorkers; i++) {
    int status = 0;
    ASSERT_EQ(read(pipes[i][0], &added[i], sizeof added[i]), static_cast<ssize_t>(sizeof added[i]));
    close(pipes[i][0]);
    waitpid(pids[i], &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(added[i], 0) << "worker " << i << " failed";
  }

  EngineSession session;
  Table t;
  ASSERT_EQ(t.open(dat), FHS_OK);
  // The data file, slot by slot: every active record once.
  std::map<std::string, std::string> stored;  // OWNER+SEQ -> VALUE
  ASSERT_EQ(t.setkey(0), FHS_OK);
  ASSERT_EQ(t.position_number(0), FHS_OK);
  while (t.positioned()) {
    int status = t.op(FHOP_READ);
    if (status == FHS_DELETED) continue;
    ASSERT_EQ(status, FHS_OK);
    EXPECT_TRUE(stored.emplace(t.get(1, 8), t.get(9, 8)).second) << "duplicate " << t.get(1, 8);
  }
  size_t total = 0;
  for (int i = 0; i < kWorkers; i++) {
    total += static_cast<size_t>(added[i]);
    for (int n = 0; n < added[i]; n++) EXPECT_EQ(stored.count(field(i, 2) + field(n, 6)), 1u) << i << "/" << n;
  }
  EXPECT_EQ(stored.size(), total);
  // Both key walks list exactly the stored records, in key order.
  for (int key = 1; key <= 2; key++) {
    std::vector<std::string> walked;
    ASSERT_EQ(t.setkey(key), FHS_OK);
    ASSERT_EQ(t.position_key(""), FHS_OK);
    std::string last;
    while (t.positioned()) {
      ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
      std::string code = t.get(1, 8);
      std::string order = key == 1 ? code : t.get(9, 8) + code;
      EXPECT_LT(last, order);
      last = order;
      ASSERT_EQ(stored[code], t.get(9, 8));
      walked.push_back(code);
    }
    EXPECT_EQ(walked.size(), total) << "key " << key;
    EXPECT_EQ(std::set<std::string>(walked.begin(), walked.end()).size(), walked.size());
  }
}

}  // namespace
