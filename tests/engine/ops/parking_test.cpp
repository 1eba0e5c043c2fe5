#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/index/nodecache.h"
#include "engine/ops/parking.h"
#include "tests/support/rfh_fixture.h"
#include "util/fastfile.h"
#include "util/filelock.h"

using namespace corvex;

namespace {

const char kKeyed[] =
    "length 20\n"
    "item KEY C 0 10\n"
    "item VAL C 10 10\n"
    "key KEY\n";

const std::string kHashed = std::string(kKeyed) + "hashed 281\n";

class ParkingTest : public EngineTest {
 protected:
  void TearDown() override {
    select_mode("SINGLE");
    EngineTest::TearDown();
  }

  static bool parked(const fhrequest *block) {
    const fhslot *slot = openlist_find(block);
    return slot && slot->state == SLOT_PARKED;
  }

  static void put(fhrequest *block, const std::string &key, const std::string &val) {
    fill(block, {{"KEY", key.c_str()}, {"VAL", val.c_str()}});
    ASSERT_EQ(_rfhwrite(block, 0), 0) << "status " << +block->status;
  }

  // Positions on `key` and reads the record; its VAL, or "<none>".
  static std::string lookup(fhrequest *block, const std::string &key) {
    set_key(block, key, 10);
    if (_rfhposn(block, 1) != 0 || !(block->state & ST_POSITIONED)) return "<none>";
    if (_rfhread(block, 1) != 0) return "<unreadable>";
    return item(block, "VAL");
  }

  void select_mode(const char *name) {
    char text[16];
    strcpy(text, name);
    control_.keybuf = text;
    ASSERT_EQ(call(&control_, FHOP_NETMODE), 0);
    control_.keybuf = nullptr;
  }

  fhrequest a_ = {}, b_ = {}, c_ = {};
};

TEST_F(ParkingTest, LeastRecentlyUsedIsParkedFirst) {
  make(&a_, "A", kKeyed);
  make(&b_, "B", kKeyed);
  make(&c_, "C", kKeyed);
  // Equal ages: the later entry goes first.
  ASSERT_EQ(_closelru(0), 0);
  EXPECT_TRUE(parked(&c_));
  EXPECT_EQ(+c_.datfd, -1);
  EXPECT_EQ(+c_.idxfd, -1);

  // Using C brings it back; then A and B are older than C, A the oldest.
  ASSERT_EQ(_rfhposn(&c_, 0), 0);
  EXPECT_FALSE(parked(&c_));
  ASSERT_EQ(_rfhposn(&b_, 0), 0);
  ASSERT_EQ(_rfhposn(&c_, 0), 0);
  ASSERT_EQ(_closelru(0), 0);
  EXPECT_TRUE(parked(&a_));
  ASSERT_EQ(_closelru(0), 0);
  EXPECT_TRUE(parked(&b_));
  ASSERT_EQ(_closelru(0), 0);
  EXPECT_TRUE(parked(&c_));
  EXPECT_EQ(_closelru(0), -1);

  // Every parked file works again at its next use.
  put(&a_, "ONE", "a");
  put(&b_, "ONE", "b");
  EXPECT_EQ(lookup(&a_, "ONE"), "a         ");
  EXPECT_EQ(lookup(&b_, "ONE"), "b         ");
}

TEST_F(ParkingTest, ExclusiveFilesOnlyWhenForced) {
  EXPECT_EQ(_fhlimball(), -1);
  describe(&a_, "A", kKeyed);
  a_.mode = FH_EXCLUSIVE;
  ASSERT_EQ(_rfhmake(&a_), 0);
  EXPECT_EQ(_closelru(0), -1);
  EXPECT_FALSE(parked(&a_));
  ASSERT_EQ(_closelru(1), 0);
  EXPECT_TRUE(parked(&a_));

  make(&b_, "B", kKeyed);
  ASSERT_EQ(_rfhposn(&a_, 0), 0);
  EXPECT_EQ(_fhlimball(), -1);
  EXPECT_TRUE(parked(&a_));
  EXPECT_TRUE(parked(&b_));
}

TEST_F(ParkingTest, ParkingWritesPendingHeadersAndReopensAtSavedPositions) {
  make(&a_, "A", kHashed);
  put(&a_, "K1", "one");
  put(&a_, "K2", "two");
  EXPECT_EQ(contents("A.dat").substr(1, 8), "00000001");
  set_key(&a_, "K1", 10);
  ASSERT_EQ(_rfhposn(&a_, 0), 0);
  const int32_t at = a_.recpos;
  ASSERT_EQ(lseek(a_.datfd, at, SEEK_SET), at);
  ASSERT_EQ(lseek(a_.idxfd, 100, SEEK_SET), 100);

  ASSERT_EQ(_closelru(0), 0);
  EXPECT_TRUE(parked(&a_));
  EXPECT_EQ(contents("A.dat").substr(1, 8), "00000003");
  EXPECT_FALSE(a_.state & ST_HDRDIRTY);

  // The positioned read answers from the record the positioning loaded; the
  // use check re-opens both files where they were.
  ASSERT_EQ(_rfhread(&a_, 1), 0);
  EXPECT_FALSE(parked(&a_));
  EXPECT_EQ(lseek(a_.datfd, 0, SEEK_CUR), at);
  EXPECT_EQ(lseek(a_.idxfd, 0, SEEK_CUR), 100);
  EXPECT_EQ(item(&a_, "VAL"), "one       ");
  EXPECT_EQ(lookup(&a_, "K2"), "two       ");
}

TEST_F(ParkingTest, LimboWritesBackIndexNodesBeforeTheHandleGoes) {
  make(&a_, "A", kKeyed);
  for (int i = 0; i < 40; i++) put(&a_, "A" + std::to_string(i), "a" + std::to_string(i));
  const int oldfd = a_.idxfd;
  bool dirty = false;
  ASSERT_TRUE(nodecache()->holds(oldfd, 1, &dirty));
  EXPECT_TRUE(dirty);

  ASSERT_EQ(_rfhlimbo(&a_), 0);
  EXPECT_TRUE(parked(&a_));
  EXPECT_FALSE(nodecache()->holds(oldfd, 1, &dirty));
  // Parking again changes nothing.
  EXPECT_EQ(_rfhlimbo(&a_), 0);

  // Another index takes the handle numbers A had; its nodes must not be
  // mistaken for A's.
  make(&b_, "B", kKeyed);
  for (int i = 0; i < 40; i++) put(&b_, "B" + std::to_string(i), "b" + std::to_string(i));
  for (int i = 0; i < 40; i++) EXPECT_EQ(lookup(&a_, "A" + std::to_string(i)), "a" + std::to_string(i) + std::string(i < 10 ? 8 : 7, ' '));
  EXPECT_EQ(lookup(&b_, "B7"), "b7        ");

  ASSERT_EQ(_rfhclose(&a_), 0);
  describe(&a_, "A", kKeyed);
  ASSERT_EQ(_rfhopen(&a_), 0);
  EXPECT_EQ(lookup(&a_, "A39"), "a39       ");

  fhrequest stranger = {};
  EXPECT_EQ(_rfhlimbo(&stranger), -1);
  EXPECT_EQ(+stranger.status, FHS_NOTOPEN);
  EXPECT_EQ(_rfhlimbo(nullptr), -1);
}

TEST_F(ParkingTest, SecureParksAndTheFileComesBack) {
  make(&a_, "A", kKeyed);
  put(&a_, "K", "v");
  ASSERT_EQ(_rfhsecure(&a_), 0);
  EXPECT_TRUE(parked(&a_));
  EXPECT_EQ(contents("A.dat").substr(1, 8), "00000002");
  EXPECT_EQ(lookup(&a_, "K"), "v         ");
}

// A file parked while in physical order keeps its index or hash file: key 1
// comes back after the re-open, and records written in physical order get
// their keys.
TEST_F(ParkingTest, PhysicalOrderParkingKeepsTheKeys) {
  make(&a_, "A", kKeyed);
  make(&b_, "B", kHashed);
  make(&c_, "C", kKeyed);
  for (fhrequest *block : {&a_, &b_, &c_}) {
    put(block, "K1", "one");
    ASSERT_EQ(_rfhsetkey(block, 0), 0);
  }
  ASSERT_EQ(_closelru(0), 0);
  ASSERT_EQ(_rfhsecure(&b_), 0);
  ASSERT_EQ(_fhlimball(), -1);
  for (fhrequest *block : {&a_, &b_, &c_}) {
    SCOPED_TRACE(block->datname);
    EXPECT_TRUE(parked(block));
    put(block, "K2", "two");
    ASSERT_EQ(_rfhsetkey(block, 1), 0) << "status " << +block->status;
    EXPECT_EQ(lookup(block, "K1"), "one       ");
    EXPECT_EQ(lookup(block, "K2"), "two       ");
  }
}

TEST_F(ParkingTest, RecordLockIsHeldAgainAfterParking) {
  select_mode("MSNET");
  make(&a_, "A", kKeyed);
  put(&a_, "K", "v");
  set_key(&a_, "K", 10);
  ASSERT_EQ(_rfhposn(&a_, 0), 0);
  ASSERT_EQ(_rfhrlock(&a_), 0);
  const uint32_t pos = a_.lockpos;
  ASSERT_NE(pos, 0u);
  // A lock holder is not picked for parking unless forced.
  EXPECT_EQ(_closelru(0), -1);
  ASSERT_EQ(_closelru(1), 0);
  ASSERT_EQ(_rfhposn(&a_, 0), 0);
  EXPECT_EQ(a_.lockpos, pos);
  int other = open(path("A.dat").c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  EXPECT_TRUE(bytelock_held_elsewhere(other, pos));
  close(other);
  ASSERT_EQ(_rfhrunlock(&a_), 0);
}

void set_key_text(fhrequest *block, const char *key) {
  snprintf(block->keybuf, FH_KEYBUFSIZE, "%-10s", key);
}

// Runs in a child whose descriptors are limited to those in use, so that
// every open must first park another file. Returns the number of the first
// check that fails, or 0.
int shortage_scenario(fhrequest *a, fhrequest *b) {
  if (_rfhopen(a) != 0) return 1;
  set_key_text(a, "K2");
  if (_rfhposn(a, 0) != 0 || !(a->state & ST_POSITIONED)) return 2;
  const int32_t at = a->recpos;
  if (lseek(a->datfd, at, SEEK_SET) != at || lseek(a->idxfd, 20, SEEK_SET) != 20) return 14;
  int lowest = dup(0);
  if (lowest < 0) return 3;
  close(lowest);
  struct rlimit limit;
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(lowest);
  if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 4;
  if (dup(0) >= 0) return 5;  // the limit must bite

  if (_rfhopen(b) != 0) return 6;
  const fhslot *sa = openlist_find(a);
  if (!sa || sa->state != SLOT_PARKED) return 7;
  set_key_text(b, "K1");
  if (_rfhposn(b, 0) != 0 || !(b->state & ST_POSITIONED)) return 8;

  // A comes back where it was, which parks B in turn.
  if (_rfhread(a, 1) != 0) return 9;
  if (lseek(a->datfd, 0, SEEK_CUR) != at || lseek(a->idxfd, 0, SEEK_CUR) != 20) return 10;
  if (strncmp(a->recbuf + 11, "two", 3) != 0) return 11;
  const fhslot *sb = openlist_find(b);
  if (!sb || sb->state != SLOT_PARKED) return 12;
  if (_rfhread(b, 1) != 0 || strncmp(b->recbuf + 11, "bee", 3) != 0) return 13;
  return 0;
}

TEST_F(ParkingTest, HandleShortageParksAndReopensAtTheSamePosition) {
  make(&a_, "A", kHashed);
  put(&a_, "K1", "one");
  put(&a_, "K2", "two");
  ASSERT_EQ(_rfhclose(&a_), 0);
  make(&b_, "B", kHashed);
  put(&b_, "K1", "bee");
  ASSERT_EQ(_rfhclose(&b_), 0);
  describe(&a_, "A", kHashed);
  describe(&b_, "B", kHashed);

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(shortage_scenario(&a_, &b_));
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "check " << WEXITSTATUS(status) << " failed";
}

// Runs in a child: a parked file is closed while no descriptor is free, so
// its files cannot come back. The close reports it and still unregisters
// the block and frees its tables, so that the caller may free the block and
// the next park never meets it. Returns the failing check, or 0.
int close_without_descriptors(const fhrequest *described) {
  auto *a = new fhrequest(*described);
  if (_rfhopen(a) != 0) return 1;
  _rfhitemset(a, "KEY", 0, "K1");
  if (_rfhwrite(a, 0) != 0) return 2;
  _fhlimball();
  const fhslot *slot = openlist_find(a);
  if (!slot || slot->state != SLOT_PARKED) return 3;
  int lowest = dup(0);
  if (lowest < 0) return 4;
  close(lowest);
  struct rlimit limit;
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(lowest);
  if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 5;
  if (_rfhclose(a) == 0 || a->status == FHS_OK) return 6;
  if (openlist_find(a) != nullptr) return 7;
  if (a->idxctx != nullptr || a->itemdefs != nullptr || a->keydefs != nullptr) return 8;
  delete a;
  if (_closelru(1) != -1) return 9;  // nothing is left to park
  return 0;
}

TEST_F(ParkingTest, FailedCloseLeavesNoEntryBehind) {
  make(&a_, "A", kKeyed);
  ASSERT_EQ(_rfhclose(&a_), 0);
  describe(&a_, "A", kKeyed);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) _exit(close_without_descriptors(&a_));
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "check " << WEXITSTATUS(status) << " failed";
}

TEST_F(ParkingTest, FastOpenRetriesAfterParking) {
  EXPECT_EQ(_fastlruopen(path("none").c_str(), FAST_O_RDONLY, 0), -1);
  make(&a_, "A", kKeyed);
  int slot = _fastlruopen(path("A.fid").c_str(), FAST_O_RDONLY, 0);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(_fastclose(slot), 0);
}

}  // namespace
