// Shared-mode blocks keep their caches and read without the header lock
// while the change count shows nobody changing the files: another process's
// changes (splitting nodes and moving entries) are still seen by a warm
// reader, a writer killed inside its change leaves readers correct until
// the next holder of the lock makes the count even again, and the count object goes
// with the last user of the file.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "engine/sharing/changecount.h"
#include "engine/sharing/locks.h"
#include "tests/support/data_fixture.h"
#include "tests/support/scratch.h"
#include "util/filelock.h"

namespace {

// SEQ 1..6, NOTE 7..46 (raised offsets); long keys make small nodes split
// often.
const char kNotes[] =
    "length 48\n"
    "item SEQ C 0 6\n"
    "item NOTE C 6 40\n"
    "key SEQ\n"
    "key NOTE\n";

std::string seq(int n) {
  char text[8];
  snprintf(text, sizeof text, "%06d", n);
  return text;
}

std::string note(const std::string &text) { return text + std::string(40 - text.size(), ' '); }

int store(Table &t, int n, const std::string &text) {
  t.clear();
  t.put(1, seq(n));
  t.put(7, note(text));
  return t.op(FHOP_WRITE);
}

// Runs `body` in a child process with its own engine; true when it exited 0.
template <class Body>
bool in_child(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Whether the count object of `path` exists.
bool object_exists(const std::string &path) {
  struct stat st;
  char name[64];
  if (stat(path.c_str(), &st) != 0) return false;
  corvex::changes_object_name(st, name, sizeof name);
  int fd = shm_open(name, O_RDONLY, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

class ChangeCountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    dat_ = scratch_.path("C.dat");
    write_fid(scratch_.path("C.fid"), kNotes);
    EngineSession session;
    Table t;
    ASSERT_EQ(t.make(dat_), FHS_OK);
    t.block.mode |= FH_STAY;
    for (int i = 0; i < 100; i++) ASSERT_EQ(store(t, i * 2, "v0 " + seq(i * 2)), FHS_OK);
    ASSERT_EQ(t.close(), FHS_OK);
  }
  // Reads record n by its key exactly: its note, or "" when it is not found.
  static std::string read_note(Table &t, int n) {
    t.block.mode |= FH_EXACT | FH_STAY;
    if (t.position_key(seq(n)) != FHS_OK || !t.positioned() || t.op(FHOP_READ) != FHS_OK) return "";
    return t.get(7, 40);
  }
  Scratch scratch_;
  std::string dat_;
};

TEST_F(ChangeCountTest, WarmReaderSeesEntriesMovedBySplitsInAnotherProcess) {
  EngineSession session("MSNET");
  Table t;
  ASSERT_EQ(t.open(dat_), FHS_OK);
  for (int round = 0; round < 3; round++) {
    // Warm: every record read by key.
    for (int i = 0; i < 200; i++) read_note(t, i);
    ASSERT_TRUE(in_child([&] {
      EngineSession other("MSNET");
      Table w;
      if (w.open(dat_) != FHS_OK) return 1;
      w.block.mode |= FH_STAY;
      // Odd records in between split the leaves; rewritten notes move
      // entries of the second key; one record of each round goes.
      for (int i = 0; i < 100; i++) {
        if (store(w, i * 2 + 1, "odd " + std::to_string(round)) != FHS_OK) return 2;
      }
      for (int i = 0; i < 100; i += 7) {
        if (store(w, i * 2, "r" + std::to_string(round) + " " + seq(i * 2)) != FHS_OK) return 3;
      }
      w.clear();
      w.put(1, seq(round * 2 + 10));
      if (w.op(FHOP_DELETE) != FHS_OK) return 4;
      return w.close() == FHS_OK ? 0 : 5;
    }));
    for (int i = 0; i < 100; i++) {
      std::string want = i % 7 == 0 ? "r" + std::to_string(round) + " " + seq(i * 2) : "v0 " + seq(i * 2);
      bool gone = i * 2 >= 10 && i * 2 <= round * 2 + 10;
      EXPECT_EQ(read_note(t, i * 2), gone ? "" : note(want)) << "round " << round << " record " << i * 2;
      EXPECT_EQ(read_note(t, i * 2 + 1), note("odd " + std::to_string(round))) << i * 2 + 1;
    }
    // A walk along the notes, in reverse, meets every record once.
    t.block.mode &= static_cast<uint16_t>(~(FH_EXACT | FH_STAY));
    t.block.mode |= FH_REVERSE;
    ASSERT_EQ(t.setkey(2), FHS_OK);
    ASSERT_EQ(t.position_key(std::string(40, '~')), FHS_OK);
    int walked = 0;
    std::string last = std::string(40, '~');
    while (t.positioned()) {
      ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
      EXPECT_LE(t.get(7, 40), last);
      last = t.get(7, 40);
      walked++;
    }
    EXPECT_EQ(walked, 200 - (round + 1));
    t.block.mode &= static_cast<uint16_t>(~FH_REVERSE);
    ASSERT_EQ(t.setkey(1), FHS_OK);
  }
  ASSERT_EQ(t.close(), FHS_OK);
}

// A process that holds the header lock byte without taking part in the
// count: to a reader it looks like nobody is changing anything.
class HeaderHolder {
 public:
  explicit HeaderHolder(const std::string &path) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(release_) != 0) abort();
    pid_ = fork();
    if (pid_ == 0) {
      close(release_[1]);
      int fd = open(path.c_str(), O_RDWR);
      char c = corvex::bytelock_try(fd, 0) ? 'y' : 'n';
      if (write(ready[1], &c, 1) != 1 || read(release_[0], &c, 1) < 0) _exit(2);
      _exit(0);
    }
    char c = 0;
    held_ = read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
    close(ready[1]);
  }
  ~HeaderHolder() {
    close(release_[1]);
    close(release_[0]);
    waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }

 private:
  pid_t pid_ = 0;
  int release_[2];
  bool held_ = false;
};

TEST_F(ChangeCountTest, ReadsWaitForTheHeaderLockOnlyAfterAWriterWasKilledInsideItsChange) {
  EngineSession session("MSNET");
  Table t;
  ASSERT_EQ(t.open(dat_), FHS_OK);
  t.block.hdrtries = 2;
  {
    HeaderHolder holder(dat_);
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(read_note(t, 4), note("v0 " + seq(4)));
    EXPECT_EQ(store(t, 4, "blocked"), FHS_HDRLOCKED);
  }
  // A writer killed between taking the header lock and letting it go.
  ASSERT_FALSE(in_child([&] {
    EngineSession other("MSNET");
    Table w;
    if (w.open(dat_) != FHS_OK) return 1;
    if (corvex::hdr_lock(&w.block) != FHS_OK) return 2;
    raise(SIGKILL);
    return 3;
  }));
  {
    // The odd count sends reads to the lock, whoever holds it.
    HeaderHolder holder(dat_);
    ASSERT_TRUE(holder.held());
    t.block.mode |= FH_EXACT | FH_STAY;
    EXPECT_EQ(t.position_key(seq(6)), FHS_HDRLOCKED);
  }
  // The next holder of the lock makes it even: reads go without it again.
  EXPECT_EQ(read_note(t, 6), note("v0 " + seq(6)));
  {
    HeaderHolder holder(dat_);
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(read_note(t, 8), note("v0 " + seq(8)));
  }
  ASSERT_EQ(t.close(), FHS_OK);
}

TEST_F(ChangeCountTest, TheLastUserOfTheFileRemovesTheCountObject) {
  EngineSession session("MSNET");
  Table first, second;
  ASSERT_EQ(first.open(dat_), FHS_OK);
  ASSERT_EQ(second.open(dat_), FHS_OK);
  EXPECT_TRUE(object_exists(dat_));
  ASSERT_EQ(store(second, 8, "second"), FHS_OK);
  EXPECT_EQ(read_note(first, 8), note("second"));
  ASSERT_EQ(first.close(), FHS_OK);
  EXPECT_TRUE(object_exists(dat_));
  // A user in another process keeps it too.
  ASSERT_TRUE(in_child([&] {
    EngineSession other("MSNET");
    Table w;
    if (w.open(dat_) != FHS_OK || store(w, 8, "child") != FHS_OK) return 1;
    return w.close() == FHS_OK ? 0 : 2;
  }));
  EXPECT_TRUE(object_exists(dat_));
  EXPECT_EQ(read_note(second, 8), note("child"));
  ASSERT_EQ(second.close(), FHS_OK);
  EXPECT_FALSE(object_exists(dat_));
  // Single-user blocks have none.
  EngineSession single("SINGLE");
  Table alone;
  ASSERT_EQ(alone.open(dat_), FHS_OK);
  EXPECT_FALSE(object_exists(dat_));
  ASSERT_EQ(alone.close(), FHS_OK);
}

}  // namespace
