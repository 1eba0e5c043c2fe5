// The client counter and last-status table that programs share.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "access/machine_state.h"

namespace lumbra {
namespace {

// Gives this test program its own shared object and removes it at the end.
class PrivateState : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string name = "lumbra-clients-test-" + std::to_string(getpid());
    setenv("LUMBRA_SHM_NAME", name.c_str(), 1);
    shm_unlink(("/" + name).c_str());
  }
  void TearDown() override { shm_unlink(machine_state_name().c_str()); }
};
const auto *const g_env = ::testing::AddGlobalTestEnvironment(new PrivateState);

// Runs fn in a child process and returns the byte it reports.
template <typename Fn>
int in_child(Fn fn) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    unsigned char v = fn();
    ssize_t ignored = write(fds[1], &v, 1);
    (void)ignored;
    _exit(0);
  }
  close(fds[1]);
  unsigned char v = 0;
  ssize_t n = read(fds[0], &v, 1);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return n == 1 ? v : -1;
}

// This test must come first: the child maps the shared state by name before
// this process has touched it, as a second program would.
TEST(MachineState, ProgramsStartedOneAfterTheOtherShareTheCounter) {
  EXPECT_EQ(in_child([] { return machine_next_client(); }), 1);
  EXPECT_EQ(machine_next_client(), 2);
  EXPECT_EQ(in_child([] { return machine_next_client(); }), 3);
  for (int i = 4; i <= 127; ++i) ASSERT_EQ(machine_next_client(), i);
  EXPECT_EQ(machine_next_client(), 1);
}

TEST(MachineState, LastStatusIsPerClientAndShared) {
  in_child([] {
    machine_set_last_status(5, 42);
    return 0;
  });
  EXPECT_EQ(machine_last_status(5), 42);
  EXPECT_EQ(machine_last_status(6), 0);
  machine_set_last_status(6, 7);
  EXPECT_EQ(in_child([] { return machine_last_status(6); }), 7);
  machine_set_last_status(200, 9);  // no such client: ignored
  EXPECT_EQ(machine_last_status(200), 0);
}

}  // namespace
}  // namespace lumbra
