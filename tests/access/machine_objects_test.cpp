// The record layer's machine-wide objects against another local user: when
// someone else made /dev/shm/lumbra-<uid> first (or made it open to others)
// KDBinit refuses at once with -1 instead of sharing it or hanging on its
// mutex, and the chain hand-over stores nothing there. Each case runs in a
// fresh child process, whose layer has not mapped its state yet.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "access/kdb.h"
#include "tests/support/second_user.h"

namespace {

class MachineObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "/lumbra-objects-test-" + std::to_string(getpid());
    setenv("LUMBRA_SHM_NAME", name_.c_str(), 1);
  }
  void TearDown() override {
    shm_unlink(name_.c_str());
    shm_unlink((name_ + "-chain").c_str());
    unsetenv("LUMBRA_SHM_NAME");
  }
  // Makes `name` with `mode`, filled with 0xff bytes as a hostile holder
  // would leave it (a mutex that looks taken).
  static bool plant(const std::string &name, mode_t mode) {
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, mode);
    if (fd < 0) return false;
    std::string junk(4096, '\xff');
    bool ok = fchmod(fd, mode) == 0 && write(fd, junk.data(), junk.size()) == static_cast<ssize_t>(junk.size());
    close(fd);
    return ok;
  }
  // KDBinit(0) in a fresh child: 0 when it answered -1 within a second, 1
  // when it gave a client, 2 when it took too long.
  static int init_in_child() {
    pid_t pid = fork();
    if (pid == 0) {
      auto start = std::chrono::steady_clock::now();
      int client = KDBinit(0);
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) _exit(2);
      _exit(client == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string name_;
};

TEST_F(MachineObjectsTest, AStateAnotherUserMadeFirstIsRefused) {
  if (!can_switch_users()) GTEST_SKIP() << "needs root to act as a second user";
  ASSERT_EQ(as_second_user([&] { return plant(name_, 0666) ? 0 : 1; }), 0);
  EXPECT_EQ(init_in_child(), 0);
}

TEST_F(MachineObjectsTest, AStateOpenToOthersIsRefused) {
  ASSERT_TRUE(plant(name_, 0644));
  EXPECT_EQ(init_in_child(), 0);
}

TEST_F(MachineObjectsTest, TheUsersOwnStateIsMadePrivateAndUsed) {
  EXPECT_EQ(init_in_child(), 1);
  struct stat st {};
  ASSERT_EQ(stat(("/dev/shm" + name_).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(MachineObjectsTest, ASquattedChainTableHandsNothingOver) {
  if (!can_switch_users()) GTEST_SKIP() << "needs root to act as a second user";
  ASSERT_EQ(as_second_user([&] { return plant(name_ + "-chain", 0666) ? 0 : 1; }), 0);
  pid_t pid = fork();
  if (pid == 0) {
    int client = KDBinit(0);
    KDBdataput(client, 1, "secret");
    bool empty = KDBdataget(client, 1)[0] == '\0';
    _exit(client > 0 && empty ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
