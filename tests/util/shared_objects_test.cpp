// Shared-memory objects against another local user: a name taken first by
// someone else (squatted, open to all, a planted link) is refused at once and
// never read or written; objects are made private; a lock held too long by a
// stopped program ends in a refusal after the wait limit, not a hang.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/scratch.h"
#include "tests/support/second_user.h"
#include "util/msgqueue.h"
#include "util/robust_mutex.h"
#include "util/shared_memory.h"

namespace {

using corvex::SharedRefusal;
using Clock = std::chrono::steady_clock;

class SharedObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override { name_ = "/corvex-objects-test-" + std::to_string(getpid()); }
  void TearDown() override { shm_unlink(name_.c_str()); }

  // Maps name_ as a region of 64 bytes; the refusal goes to *why.
  void *map(SharedRefusal *why) {
    return corvex::map_shared(name_, 64, [](void *) { return true; }, why);
  }
  // Makes name_ (64 bytes of 'x') with `mode`.
  bool plant(mode_t mode) const {
    int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL, mode);
    if (fd < 0) return false;
    bool ok = fchmod(fd, mode) == 0 && ftruncate(fd, 64) == 0;
    char x[64];
    memset(x, 'x', sizeof x);
    ok = ok && pwrite(fd, x, sizeof x, 0) == static_cast<ssize_t>(sizeof x);
    close(fd);
    return ok;
  }
  std::string content() const {
    char buf[64] = {};
    int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    ssize_t n = fd >= 0 ? pread(fd, buf, sizeof buf, 0) : -1;
    if (fd >= 0) close(fd);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
  }

  std::string name_;
};

TEST_F(SharedObjectsTest, ANewObjectIsPrivateWhateverTheUmask) {
  mode_t old = umask(0);
  SharedRefusal why;
  void *region = map(&why);
  umask(old);
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(why, SharedRefusal::kNone);
  struct stat st {};
  ASSERT_EQ(stat(("/dev/shm" + name_).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_uid, geteuid());
  corvex::unmap_shared(region, 64);
}

TEST_F(SharedObjectsTest, AnObjectAnotherUserMadeFirstIsRefusedAndLeftAsItWas) {
  if (!can_switch_users()) GTEST_SKIP() << "needs root to act as a second user";
  ASSERT_EQ(as_second_user([&] { return plant(0666) ? 0 : 1; }), 0);
  SharedRefusal why;
  auto start = Clock::now();
  EXPECT_EQ(map(&why), nullptr);
  EXPECT_EQ(why, SharedRefusal::kNotPrivate);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  std::string bytes;
  EXPECT_FALSE(corvex::read_block(name_, 1000, &bytes)) << "a planted block is never read";
  EXPECT_EQ(content(), std::string(64, 'x'));
}

TEST_F(SharedObjectsTest, AnObjectOpenToOthersOrALinkIsRefused) {
  ASSERT_TRUE(plant(0644));
  SharedRefusal why;
  EXPECT_EQ(map(&why), nullptr);
  EXPECT_EQ(why, SharedRefusal::kNotPrivate);
  std::string bytes;
  EXPECT_FALSE(corvex::read_block(name_, 1000, &bytes));
  ASSERT_EQ(shm_unlink(name_.c_str()), 0);

  Scratch scratch;
  const std::string target = scratch.path("target");
  std::ofstream(target).close();
  ASSERT_EQ(symlink(target.c_str(), ("/dev/shm" + name_).c_str()), 0);
  EXPECT_EQ(map(&why), nullptr);
  EXPECT_EQ(why, SharedRefusal::kNotPrivate);
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0) << "the link's target was written";
}

TEST_F(SharedObjectsTest, ASquattedMessageQueueFailsAtOnce) {
  if (!can_switch_users()) GTEST_SKIP() << "needs root to act as a second user";
  std::string prefix = "/corvex-objects-queue-" + std::to_string(getpid());
  setenv("CORVEX_SHM_PREFIX", prefix.c_str(), 1);
  name_ = prefix + "-queue-" + std::to_string(getuid());
  ASSERT_EQ(as_second_user([&] { return plant(0666) ? 0 : 1; }), 0);
  auto start = Clock::now();
  EXPECT_EQ(shmem_push(1, 1, "text"), -1);
  int32_t tag = 0;
  char out[16];
  EXPECT_EQ(shmem_pop(1, &tag, out, 15), -1);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(content(), std::string(64, 'x'));
  unsetenv("CORVEX_SHM_PREFIX");
}

TEST(RobustLockLimit, AHolderThatKeepsTheMutexMakesTheLockFailAfterTheLimit) {
  void *shared = mmap(nullptr, sizeof(pthread_mutex_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  auto *m = static_cast<pthread_mutex_t *>(shared);
  ASSERT_TRUE(corvex::init_robust_mutex(m));
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    pthread_mutex_lock(m);
    char c = 'y';
    if (write(ready[1], &c, 1) != 1) _exit(1);
    pause();  // stopped while holding it
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  auto start = Clock::now();
  {
    corvex::RobustLock lock(m, 200);
    EXPECT_FALSE(lock.held());
    EXPECT_TRUE(lock.timed_out());
  }
  auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(190));
  EXPECT_LT(waited, std::chrono::seconds(2));
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  {
    corvex::RobustLock after(m, 200);
    EXPECT_TRUE(after.held()) << "a holder that died leaves it usable";
    EXPECT_FALSE(after.timed_out());
  }
  munmap(shared, sizeof(pthread_mutex_t));
}

}  // namespace
