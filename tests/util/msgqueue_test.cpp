#include "util/msgqueue.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "util/msgqueue_admin.h"
#include "util/robust_mutex.h"

namespace {

// Each test works on a queue of its own name, removed afterwards, so that a
// real user's queue is never touched.
class MessageQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string prefix = "/corvex-test-" + std::to_string(getpid());
    setenv("CORVEX_SHM_PREFIX", prefix.c_str(), 1);
  }
  void TearDown() override {
    corvex::remove_message_queue();
    unsetenv("CORVEX_SHM_PREFIX");
  }

  // Pops the entry of id and tag (0: any); returns its text, or "<none>".
  static std::string pop(int16_t id, int32_t *tag, int max = 100) {
    std::vector<char> t(static_cast<size_t>(max) + 1);
    return shmem_pop(id, tag, t.data(), max) == 0 ? std::string(t.data()) : "<none>";
  }
};

// Runs body in a child process and returns its exit code.
template <typename F>
int in_child(F body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST_F(MessageQueue, PopsByIdAndTagInOrder) {
  ASSERT_EQ(shmem_push(1, 10, "first"), 0);
  ASSERT_EQ(shmem_push(2, 20, "other program"), 0);
  ASSERT_EQ(shmem_push(1, 11, "second"), 0);
  ASSERT_EQ(shmem_push(1, 12, "third"), 0);

  int32_t tag = 11;
  EXPECT_EQ(pop(1, &tag), "second");  // taken from the middle
  tag = 0;
  EXPECT_EQ(pop(1, &tag), "first");
  EXPECT_EQ(tag, 10);
  tag = 0;
  EXPECT_EQ(pop(1, &tag), "third");
  EXPECT_EQ(tag, 12);
  tag = 0;
  EXPECT_EQ(pop(1, &tag), "<none>");
  tag = 99;
  EXPECT_EQ(pop(2, &tag), "<none>");
  tag = 20;
  EXPECT_EQ(pop(2, &tag), "other program");
}

TEST_F(MessageQueue, RefusesBadArgumentsAndKeepsWithinMax) {
  char t[8];
  EXPECT_EQ(shmem_pop(1, nullptr, t, 7), -1);
  ASSERT_EQ(shmem_push(1, 5, "a long message text"), 0);
  int32_t tag = 5;
  EXPECT_EQ(shmem_pop(1, &tag, nullptr, 7), -1);
  std::memset(t, '#', sizeof t);
  EXPECT_EQ(shmem_pop(1, &tag, t, 6), 0);
  EXPECT_STREQ(t, "a long");
  EXPECT_EQ(t[7], '#');
  ASSERT_EQ(shmem_push(1, 6, nullptr), 0);  // a null text is the empty text
  tag = 6;
  EXPECT_EQ(pop(1, &tag), "");
}

TEST_F(MessageQueue, FullQueueRefusesPushUntilAnEntryLeaves) {
  for (int i = 0; i < 999; ++i) ASSERT_EQ(shmem_push(3, i + 1, std::to_string(i).c_str()), 0) << i;
  EXPECT_EQ(shmem_push(3, 5000, "one too many"), -2);
  int32_t tag = 500;
  EXPECT_EQ(pop(3, &tag), "499");
  EXPECT_EQ(shmem_push(3, 1000, "999"), 0);
  // The ring wrapped: everything comes out once, oldest first.
  for (int i = 0; i < 999; ++i) {
    if (i == 499) continue;
    tag = 0;
    ASSERT_EQ(pop(3, &tag), std::to_string(i));
    ASSERT_EQ(tag, i + 1);
  }
  tag = 0;
  EXPECT_EQ(pop(3, &tag), "999");
  EXPECT_EQ(pop(3, &tag), "<none>");
}

TEST_F(MessageQueue, SecondProcessPopsWhatTheFirstPushed) {
  ASSERT_EQ(shmem_push(7, 42, "hello from the parent"), 0);
  int code = in_child([] {
    int32_t tag = 0;
    std::string text = pop(7, &tag);
    if (text != "hello from the parent" || tag != 42) return 1;
    return shmem_push(8, 43, "reply") == 0 ? 0 : 2;
  });
  ASSERT_EQ(code, 0);
  int32_t tag = 43;
  EXPECT_EQ(pop(8, &tag), "reply");
  tag = 0;
  EXPECT_EQ(pop(7, &tag), "<none>");
}

// A producer process pushes while this one pops; every entry arrives exactly
// once and in order, and entries of another id pushed meanwhile stay intact.
TEST_F(MessageQueue, ConcurrentPushAndPopLoseNothing) {
  constexpr int kCount = 600;
  pid_t pid = fork();
  if (pid == 0) {
    for (int i = 1; i <= kCount; ++i)
      while (shmem_push(4, i, ("m" + std::to_string(i)).c_str()) != 0) usleep(100);
    _exit(0);
  }
  for (int i = 1; i <= 100; ++i) ASSERT_EQ(shmem_push(5, i, std::to_string(i).c_str()), 0);
  int expected = 1;
  while (expected <= kCount) {
    int32_t tag = 0;
    std::string text = pop(4, &tag);
    if (text == "<none>") continue;
    ASSERT_EQ(tag, expected);
    ASSERT_EQ(text, "m" + std::to_string(expected));
    ++expected;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  int32_t tag = 0;
  EXPECT_EQ(pop(4, &tag), "<none>");
  for (int i = 1; i <= 100; ++i) {
    tag = 0;
    ASSERT_EQ(pop(5, &tag), std::to_string(i));
  }
}

// A holder that dies with the mutex does not block the others for ever.
TEST(RobustMutex, SurvivesADeadHolder) {
  void *shared = mmap(nullptr, sizeof(pthread_mutex_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  auto *m = static_cast<pthread_mutex_t *>(shared);
  ASSERT_TRUE(corvex::init_robust_mutex(m));
  ASSERT_EQ(in_child([m] { return pthread_mutex_lock(m) == 0 ? 0 : 1; }), 0);  // exits holding it
  {
    corvex::RobustLock lock(m);
    EXPECT_TRUE(lock.held());
  }
  corvex::RobustLock again(m);
  EXPECT_TRUE(again.held());
}

}  // namespace
