#include <fcntl.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/dispatch.h"
#include "engine/ops/flush_to_disk.h"
#include "engine/sharing/locks.h"
#include "engine/sharing/netmode.h"
#include "tests/support/scratch.h"
#include "util/filelock.h"

using namespace corvex;

namespace {

using Clock = std::chrono::steady_clock;

long elapsed_ms(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// A child process that holds the lock of one byte of a file until told to
// let go.
class LockHolder {
 public:
  LockHolder(const std::string &path, uint32_t pos) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) abort();
    pid_ = fork();
    if (pid_ == 0) {
      close(release[1]);
      close(ready[0]);
      int fd = open(path.c_str(), O_RDWR);
      char c = bytelock_try(fd, pos) ? 'y' : 'n';
      if (write(ready[1], &c, 1) != 1) _exit(2);
      if (read(release[0], &c, 1) < 0) _exit(2);
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char c = 0;
    locked_ = read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
  }
  ~LockHolder() { let_go(); }
  bool locked() const { return locked_; }
  void let_go() {
    if (pid_ <= 0) return;
    close(release_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
  int release_ = -1;
  bool locked_ = false;
};

class LocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fhrequest init = {};
    init.opcode = FHOP_INIT;
    ASSERT_EQ(_filehandler(&init), 0);
    path_ = scratch_.path("T.Dat");
    block_.datfd = open(path_.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(+block_.datfd, 0);
    block_.nitems = 1;  // a file with a description
    ASSERT_EQ(openlist_add(&block_, 0), FHS_OK);
    select("MSNET");
  }
  void TearDown() override {
    openlist_remove(&block_);
    close(block_.datfd);
    engine().netmode = 0;
    fhrequest term = {};
    term.opcode = FHOP_TERMINATE;
    _filehandler(&term);
  }
  void select(const char *mode) {
    char name[16];
    strcpy(name, mode);
    fhrequest b = {};
    b.opcode = FHOP_NETMODE;
    b.keybuf = name;
    ASSERT_EQ(_filehandler(&b), 0);
  }
  int run(uint8_t opcode) {
    block_.opcode = opcode;
    _filehandler(&block_);
    return block_.status;
  }
  void position(int32_t pos) {
    block_.recpos = pos;
    block_.state |= ST_POSITIONED;
  }
  // Whether a second open of the file could lock the byte now.
  bool free_elsewhere(uint32_t pos) {
    int fd = open(path_.c_str(), O_RDWR);
    bool free = bytelock_try(fd, pos);
    close(fd);
    return free;
  }

  Scratch scratch_;
  std::string path_;
  fhrequest block_ = {};
};

TEST(NetModes, NamesAreLookedUpInUpperCase) {
  struct {
    const char *name;
    int mode;
  } cases[] = {{"SINGLE", 0}, {"DOS", 0},     {"MULTI", 7},   {"IBMNET", 1},  {"MSNET", 1},
               {"NETWARE", 2}, {"PCMOS", 0}, {"PCMOS-S", 0}, {"PCMOS-M", 3}, {"pcmos-n", 2}};
  for (auto &c : cases) {
    char name[16];
    strcpy(name, c.name);
    EXPECT_EQ(netmode_lookup(name), c.mode) << c.name;
  }
  char name[] = "ibmnet";
  EXPECT_EQ(netmode_lookup(name), 1);
  EXPECT_STREQ(name, "IBMNET");  // the caller's text is changed
  char unknown[] = "MSNETX";
  EXPECT_EQ(netmode_lookup(unknown), -1);
  char empty[] = "";
  EXPECT_EQ(netmode_lookup(empty), -1);
  EXPECT_EQ(netmode_lookup(nullptr), -1);
}

TEST_F(LocksTest, UnknownModeLeavesTheModeUnchanged) {
  char name[] = "token";
  block_.keybuf = name;
  EXPECT_EQ(run(FHOP_NETMODE), FHS_BADNETMODE);
  EXPECT_EQ(engine().netmode, 1);
  EXPECT_STREQ(name, "TOKEN");
}

TEST_F(LocksTest, RecordLockedByAnotherProcessAnswers107AfterItsTries) {
  LockHolder holder(path_, 100);
  ASSERT_TRUE(holder.locked());
  position(100);
  block_.rectries = 3;
  auto start = Clock::now();
  EXPECT_EQ(run(FHOP_LOCK), FHS_RECLOCKED);
  EXPECT_GE(elapsed_ms(start), 40);  // two waits of 20 ms between three tries
  EXPECT_EQ(+block_.lockpos, 0u);
  EXPECT_FALSE(record_is_free(&block_, 100));
  EXPECT_TRUE(record_is_free(&block_, 200));
  holder.let_go();
  EXPECT_EQ(run(FHOP_LOCK), FHS_OK);
  EXPECT_EQ(+block_.lockpos, 100u);
  EXPECT_TRUE(record_is_free(&block_, 100));  // its own lock
}

TEST_F(LocksTest, HeaderLockTriesZeroTriesOnce) {
  LockHolder holder(path_, 0);
  ASSERT_TRUE(holder.locked());
  block_.hdrtries = 0;
  auto start = Clock::now();
  EXPECT_EQ(hdr_lock(&block_), FHS_HDRLOCKED);
  EXPECT_LT(elapsed_ms(start), 15);
  EXPECT_FALSE(engine().hdrlockheld);
  block_.hdrtries = 3;
  start = Clock::now();
  EXPECT_EQ(hdr_lock(&block_), FHS_HDRLOCKED);
  EXPECT_GE(elapsed_ms(start), 40);
  holder.let_go();
  EXPECT_EQ(hdr_lock(&block_), FHS_OK);
  EXPECT_TRUE(engine().hdrlockheld);
  EXPECT_FALSE(free_elsewhere(0));
  // The dispatcher's clean-up releases a header lock an operation left held.
  EXPECT_EQ(run(10), FHS_BADOPCODE);
  EXPECT_FALSE(engine().hdrlockheld);
  EXPECT_TRUE(free_elsewhere(0));
}

TEST_F(LocksTest, LockingAnotherRecordReleasesTheFirst) {
  position(100);
  ASSERT_EQ(run(FHOP_LOCK), FHS_OK);
  EXPECT_FALSE(free_elsewhere(100));
  position(200);
  ASSERT_EQ(run(FHOP_LOCK), FHS_OK);
  EXPECT_EQ(+block_.lockpos, 200u);
  EXPECT_TRUE(free_elsewhere(100));
  EXPECT_FALSE(free_elsewhere(200));
  ASSERT_EQ(run(FHOP_UNLOCK), FHS_OK);
  EXPECT_EQ(+block_.lockpos, 0u);
  EXPECT_TRUE(free_elsewhere(200));
}

TEST_F(LocksTest, NotPositionedLocksNothing) {
  block_.recpos = 100;
  EXPECT_EQ(run(FHOP_LOCK), FHS_OK);
  EXPECT_EQ(+block_.lockpos, 0u);
  EXPECT_TRUE(free_elsewhere(100));
}

TEST_F(LocksTest, ModesAndBlocksThatDoNotLock) {
  LockHolder holder(path_, 100);
  ASSERT_TRUE(holder.locked());
  position(100);
  select("MULTI");  // shared behaviour, but every lock succeeds untouched
  EXPECT_EQ(run(FHOP_LOCK), FHS_OK);
  EXPECT_EQ(+block_.lockpos, 100u);
  EXPECT_EQ(dlock(&block_, 100), 0);
  EXPECT_TRUE(record_is_free(&block_, 300));
  EXPECT_EQ(run(FHOP_UNLOCK), FHS_OK);
  select("MSNET");
  for (uint16_t mode : {uint16_t{FH_EXCLUSIVE}, uint16_t{FH_READONLY}}) {
    block_.mode = mode;
    EXPECT_EQ(run(FHOP_LOCK), FHS_OK);
    EXPECT_EQ(+block_.lockpos, 0u);
    EXPECT_EQ(hdr_lock(&block_), FHS_OK);
    EXPECT_FALSE(engine().hdrlockheld);
  }
  block_.mode = 0;
  block_.nitems = 0;  // a byte stream never locks
  EXPECT_EQ(run(FHOP_LOCK), FHS_OK);
  EXPECT_EQ(+block_.lockpos, 0u);
  select("SINGLE");
  block_.nitems = 1;
  EXPECT_EQ(run(FHOP_LOCK), FHS_OK);
  EXPECT_EQ(+block_.lockpos, 0u);
}

TEST_F(LocksTest, UnregisteredBlocksAnswer11) {
  fhrequest other = {};
  other.opcode = FHOP_LOCK;
  EXPECT_EQ(_filehandler(&other), -1);
  EXPECT_EQ(+other.status, FHS_NOTOPEN);
  other.opcode = FHOP_UNLOCK;
  _filehandler(&other);
  EXPECT_EQ(+other.status, FHS_NOTOPEN);
  EXPECT_EQ(_fhclopen(3), -1);
}

TEST_F(LocksTest, SecureWithUnchangedHeaderDoesNothing) {
  fhrequest other = {};
  EXPECT_EQ(op_secure(&other), FHS_OK);  // clean header: not even the list is asked
  other.state = ST_HDRDIRTY;
  other.nitems = 1;
  EXPECT_EQ(op_secure(&other), FHS_NOTOPEN);
  LockHolder holder(path_, 0);
  block_.state = ST_HDRDIRTY;
  EXPECT_EQ(run(FHOP_SECURE), FHS_HDRLOCKED);
  EXPECT_TRUE(block_.state & ST_HDRDIRTY);
}

TEST_F(LocksTest, SharingLocksConflictLikeSharingFlags) {
  int a = open(path_.c_str(), O_RDONLY);
  int b = open(path_.c_str(), O_RDONLY);
  EXPECT_TRUE(share_acquire(a, false));
  EXPECT_TRUE(share_acquire(b, false));
  close(b);
  b = open(path_.c_str(), O_RDONLY);
  EXPECT_FALSE(share_acquire(b, true));
  close(a);
  EXPECT_TRUE(share_acquire(b, true));
  a = open(path_.c_str(), O_RDONLY);
  EXPECT_FALSE(share_acquire(a, false));
  close(a);
  close(b);
}

}  // namespace
