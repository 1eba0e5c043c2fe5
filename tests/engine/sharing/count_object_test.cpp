// Who may keep a table's change count: another user's object under the
// count's name (squatted, pinned, open to all) is refused and every read of
// the table takes the header lock, so changes made meanwhile are always seen;
// tables that group or others may write keep no count; root keeps the count
// of another user's table for that user; and objects nobody holds any more
// are removed by the next program that keeps a count.
#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "engine/sharing/changecount.h"
#include "tests/support/data_fixture.h"
#include "tests/support/note_records.h"
#include "tests/support/scratch.h"
#include "tests/support/second_user.h"
#include "util/filelock.h"

namespace {

constexpr size_t kNoteWidth = 40;

std::string seq(int n) { return note_seq(n); }
std::string note(const std::string &text) { return note_text(text, kNoteWidth); }
int store(Table &t, int n, const std::string &text) { return store_note(t, n, text, kNoteWidth); }

const char kNotes[] =
    "length 48\n"
    "item SEQ C 0 6\n"
    "item NOTE C 6 40\n"
    "key SEQ\n";

std::string read_note(Table &t, int n) {
  t.block.mode |= FH_EXACT | FH_STAY;
  if (t.position_key(seq(n)) != FHS_OK || !t.positioned() || t.op(FHOP_READ) != FHS_OK) return "";
  return t.get(7, 40);
}

std::string count_name(const std::string &path) {
  struct stat st {};
  char name[64] = "";
  if (stat(path.c_str(), &st) == 0) corvex::changes_object_name(st, name, sizeof name);
  return name;
}

// The owner and mode of an object; false when it does not exist.
bool object_stat(const std::string &name, struct stat *st) {
  return stat(("/dev/shm" + name).c_str(), st) == 0;
}

// Makes `name` holding an even count of 0, 8 bytes, with `mode`.
bool plant_count(const std::string &name, mode_t mode) {
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, mode);
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0 && ftruncate(fd, 64) == 0;
  close(fd);
  return ok;
}

uint64_t count_value(const std::string &name) {
  uint64_t value = UINT64_MAX;
  int fd = shm_open(name.c_str(), O_RDONLY, 0);
  if (fd >= 0 && pread(fd, &value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) value = UINT64_MAX;
  if (fd >= 0) close(fd);
  return value;
}

// Opens `name` and takes a read lock on its byte 0, as a program using it
// does. Test programs running beside this one remove count objects that
// nobody holds, so one they removed before the lock is made again with
// `mode`. The descriptor, or -1.
int hold_count(const std::string &name, mode_t mode) {
  for (int attempt = 0; attempt < 50; attempt++) {
    int fd = shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) {
      plant_count(name, mode);
      continue;
    }
    struct stat held {}, linked {};
    if (corvex::bytelock_wait_shared(fd, 0) && fstat(fd, &held) == 0 && object_stat(name, &linked) &&
        held.st_ino == linked.st_ino)
      return fd;
    close(fd);
  }
  return -1;
}

// A program that holds a count object (a read lock on its byte 0) until it
// goes out of scope.
class CountHolder {
 public:
  CountHolder(const std::string &name, mode_t mode) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(release_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(release_[1]);
      char c = hold_count(name, mode) >= 0 ? 'y' : 'n';
      if (write(ready[1], &c, 1) != 1 || read(release_[0], &c, 1) < 0) _exit(2);
      _exit(0);
    }
    char c = 0;
    held_ = read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
    close(ready[1]);
  }
  ~CountHolder() {
    close(release_[1]);
    close(release_[0]);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  int release_[2] = {-1, -1};
  bool held_ = false;
};

class CountObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    dat_ = scratch_.path("C.dat");
    write_fid(scratch_.path("C.fid"), kNotes);
    EngineSession session;
    Table t;
    ASSERT_EQ(t.make(dat_), FHS_OK);
    t.block.mode |= FH_STAY;
    for (int i = 0; i < 50; i++) ASSERT_EQ(store(t, i, "v0"), FHS_OK);
    ASSERT_EQ(t.close(), FHS_OK);
    name_ = count_name(dat_);
  }
  void TearDown() override { shm_unlink(name_.c_str()); }

  // Reads every record warm, lets a child process rewrite them all, and
  // expects every read to show the child's notes: no stale read.
  void expect_changes_seen(const std::string &round) {
    EngineSession session("MSNET");
    Table t;
    ASSERT_EQ(t.open(dat_), FHS_OK);
    for (int i = 0; i < 50; i++) read_note(t, i);
    ASSERT_TRUE(in_child([&] {
      EngineSession other("MSNET");
      Table w;
      if (w.open(dat_) != FHS_OK) return 1;
      w.block.mode |= FH_STAY;
      for (int i = 0; i < 50; i++)
        if (store(w, i, round) != FHS_OK) return 2;
      return w.close() == FHS_OK ? 0 : 3;
    }));
    for (int i = 0; i < 50; i++) EXPECT_EQ(read_note(t, i), note(round)) << i;
    tracked_ = corvex::changes_tracked(&t.block);
    ASSERT_EQ(t.close(), FHS_OK);
  }

  Scratch scratch_;
  std::string dat_, name_;
  bool tracked_ = false;
};

TEST_F(CountObjectTest, ACountAnotherUserMadeAndPinnedIsNeverUsed) {
  if (!can_switch_users()) GTEST_SKIP() << "needs root to act as a second user";
  // The second user cannot even read the table's folder; the object's name
  // comes from the table's device and inode.
  ASSERT_EQ(as_second_user([&] { return plant_count(name_, 0666) ? 0 : 1; }), 0);
  for (const char *round : {"first", "second"}) {
    expect_changes_seen(round);
    EXPECT_FALSE(tracked_);
  }
  struct stat st {};
  ASSERT_TRUE(object_stat(name_, &st));
  EXPECT_EQ(st.st_uid, kSecondUser);
  EXPECT_EQ(count_value(name_), 0u) << "the foreign object was written";
}

TEST_F(CountObjectTest, ACountOpenToOthersIsRefusedWhileHeldAndReplacedOnceUnused) {
  ASSERT_TRUE(plant_count(name_, 0666));
  {
    CountHolder holder(name_, 0666);  // a program of an earlier version
    ASSERT_TRUE(holder.held());
    expect_changes_seen("open");
    EXPECT_FALSE(tracked_);
    EXPECT_EQ(count_value(name_), 0u);
  }
  expect_changes_seen("private");
  EXPECT_TRUE(tracked_);
}

TEST_F(CountObjectTest, TablesThatOthersMayWriteKeepNoCount) {
  ASSERT_EQ(chmod(dat_.c_str(), 0664), 0);
  expect_changes_seen("group");
  EXPECT_FALSE(tracked_);
  struct stat st {};
  EXPECT_FALSE(object_stat(name_, &st));
}

TEST_F(CountObjectTest, ATableOfItsOwnerAloneKeepsAPrivateCount) {
  expect_changes_seen("mine");
  EXPECT_TRUE(tracked_);
}

TEST_F(CountObjectTest, RootKeepsTheCountOfAnotherUsersTableForThatUser) {
  if (!can_switch_users()) GTEST_SKIP() << "needs root to act as a second user";
  std::string folder = dat_.substr(0, dat_.rfind('/'));
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  for (const char *file : {"C.dat", "C.idx", "C.fid"})
    ASSERT_EQ(chown(scratch_.path(file).c_str(), kSecondUser, kSecondUser), 0) << file;
  EngineSession session("MSNET");
  Table t;
  ASSERT_EQ(t.open(dat_), FHS_OK);
  read_note(t, 3);
  ASSERT_TRUE(corvex::changes_tracked(&t.block));
  struct stat st {};
  ASSERT_TRUE(object_stat(name_, &st));
  EXPECT_EQ(st.st_uid, kSecondUser);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // The owner's own program shares the count: its change is seen warm.
  ASSERT_EQ(as_second_user([&] {
              EngineSession other("MSNET");
              Table w;
              if (w.open(dat_) != FHS_OK) return 1;
              if (!corvex::changes_tracked(&w.block) && read_note(w, 3).empty()) return 2;
              if (store(w, 3, "owner") != FHS_OK) return 3;
              return w.close() == FHS_OK ? 0 : 4;
            }),
            0);
  EXPECT_EQ(read_note(t, 3), note("owner"));
  ASSERT_EQ(t.close(), FHS_OK);
  EXPECT_FALSE(object_stat(name_, &st)) << "the last user removes it";
}

TEST_F(CountObjectTest, TheNextProgramRemovesCountsNobodyHolds) {
  const std::string stem = "/corvex-count-test-" + std::to_string(getpid());
  const std::string dead = stem + "-dead", held = stem + "-held", foreign = stem + "-foreign";
  ASSERT_TRUE(plant_count(dead, 0600));
  ASSERT_TRUE(plant_count(held, 0600));
  if (can_switch_users()) {
    ASSERT_EQ(as_second_user([&] { return plant_count(foreign, 0600) ? 0 : 1; }), 0);
  }
  {
    CountHolder holder(held, 0600);
    ASSERT_TRUE(holder.held());
    // A new program (the sweep runs once in each) keeping a count.
    ASSERT_TRUE(in_child([&] {
      EngineSession session("MSNET");
      Table t;
      if (t.open(dat_) != FHS_OK) return 1;
      read_note(t, 1);
      return t.close() == FHS_OK ? 0 : 2;
    }));
  }
  struct stat st {};
  EXPECT_FALSE(object_stat(dead, &st)) << "left by a killed program";
  EXPECT_TRUE(object_stat(held, &st)) << "in use";
  if (can_switch_users()) {
    EXPECT_TRUE(object_stat(foreign, &st)) << "another user's";
  }
  for (const std::string &name : {dead, held, foreign}) shm_unlink(name.c_str());
}

}  // namespace
