// Sharing modes and byte locks between descriptors and processes.
#include "util/filelock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scratch.h"

namespace corvex {
namespace {

class FileLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = scratch_.path("T.dat");
    int fd = open(path_.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "header\n", 7), 7);
    close(fd);
  }
  int open_as(int mode) { return open(path_.c_str(), mode | O_CLOEXEC); }

  Scratch scratch_;
  std::string path_;
};

TEST_F(FileLockTest, ExclusiveAndSharedOpensConflictWhateverTheDescriptorsAccess) {
  for (int exclusive_mode : {O_RDONLY, O_RDWR, O_WRONLY}) {
    for (int shared_mode : {O_RDONLY, O_RDWR}) {
      SCOPED_TRACE(std::to_string(exclusive_mode) + "/" + std::to_string(shared_mode));
      int shared = open_as(shared_mode), exclusive = open_as(exclusive_mode);
      ASSERT_TRUE(share_acquire(shared, false));
      EXPECT_FALSE(share_acquire(exclusive, true));
      close(shared);
      EXPECT_TRUE(share_acquire(exclusive, true));
      int late = open_as(shared_mode);
      EXPECT_FALSE(share_acquire(late, false));
      EXPECT_FALSE(share_acquire(late, true));
      close(late);
      close(exclusive);
    }
  }
}

TEST_F(FileLockTest, TwoExclusiveOpensNeverBothHoldTheFile) {
  for (int mode : {O_RDONLY, O_RDWR}) {
    int a = open_as(mode), b = open_as(O_RDONLY);
    EXPECT_TRUE(share_acquire(a, true));
    EXPECT_FALSE(share_acquire(b, true));
    close(a);
    EXPECT_TRUE(share_acquire(b, true));
    close(b);
  }
}

TEST_F(FileLockTest, AWriteOnlySharedOpenGivesWayToAnExclusiveOne) {
  int exclusive = open_as(O_RDONLY), writer = open_as(O_WRONLY);
  ASSERT_TRUE(share_acquire(exclusive, true));
  EXPECT_FALSE(share_acquire(writer, false));
  close(exclusive);
  EXPECT_TRUE(share_acquire(writer, false));
  close(writer);
}

// A shared open's lock must not touch the header byte (position 0) that another
// handle locks, nor any other byte of the file, nor its size.
TEST_F(FileLockTest, SharingLocksLeaveTheFileAndItsByteLocksAlone) {
  int a = open_as(O_RDWR), b = open_as(O_RDWR);
  ASSERT_TRUE(share_acquire(a, false));
  ASSERT_TRUE(share_acquire(b, false));
  EXPECT_TRUE(bytelock_try(b, 0));
  EXPECT_TRUE(bytelock_held_elsewhere(a, 0));
  EXPECT_FALSE(bytelock_try(a, 0));
  EXPECT_TRUE(bytelock_release(b, 0));
  EXPECT_TRUE(bytelock_try(a, 0));
  struct stat st = {};
  ASSERT_EQ(fstat(a, &st), 0);
  EXPECT_EQ(st.st_size, 7);
  close(a);
  close(b);
}

// Waits until the child says it holds its lock (one byte on the pipe).
void wait_ready(int fd) {
  char c = 0;
  ASSERT_EQ(read(fd, &c, 1), 1);
}

TEST_F(FileLockTest, AKilledHoldersLocksGoWithItsDescriptors) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = open_as(O_RDWR);
    bool held = share_acquire(fd, true) && bytelock_try(fd, 7);
    if (write(ready[1], held ? "y" : "n", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  wait_ready(ready[0]);
  int fd = open_as(O_RDONLY);
  EXPECT_FALSE(share_acquire(fd, false));
  EXPECT_TRUE(bytelock_held_elsewhere(fd, 7));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(share_acquire(fd, false));
  EXPECT_FALSE(bytelock_held_elsewhere(fd, 7));
  close(fd);
  close(ready[0]);
}

}  // namespace
}  // namespace corvex
