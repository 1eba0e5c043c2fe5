// Record locks between two programs sharing one table.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "access/kdb.h"
#include "tests/support/access_fixture.h"

namespace {

const auto *const g_env = ::testing::AddGlobalTestEnvironment(new access_test::PrivateState);

// One byte over a pipe, for handing the turn between the two processes.
void signal_byte(int fd) {
  char c = 1;
  ASSERT_EQ(write(fd, &c, 1), 1);
}
bool wait_byte(int fd) {
  char c;
  return read(fd, &c, 1) == 1;
}

TEST(Locks, ARecordLockedByAnotherProgramIsRefusedUntilReleased) {
  Scratch dir;
  access_test::write_fid("length 12\nitem NAME C 0 10\nkey NAME\n", dir.path("L.fid"));
  std::string dat = dir.path("L.Dat");
  int client = KDBinit(0);
  int id = client + 1;
  ASSERT_EQ(KDBhost(id, "MSNET"), 0);
  ASSERT_EQ(KDBlretry(2, 1), 0);  // one try for a record lock: fail fast
  ASSERT_EQ(KDBmake(dat.c_str(), "", "", id, 3, 0), 0);
  KDBcopyfput("SHARED", "NAME", id);
  ASSERT_EQ(KDBwrite(id, 0, 0), 0);

  int to_child[2], to_parent[2];
  ASSERT_EQ(pipe(to_child), 0);
  ASSERT_EQ(pipe(to_parent), 0);
  pid_t pid = fork();
  if (pid == 0) {
    // The other program: its own client, its own open of the table.
    int mine = KDBinit(0) + 1;
    bool ok = KDBopen(dat.c_str(), "", "", mine, 3, 0) == 0 && KDBfirstrec(mine, 1) == 0 &&
              KDBrlock(mine) == 0;
    char c = ok ? 1 : 0;
    if (write(to_parent[1], &c, 1) != 1) _exit(2);
    wait_byte(to_child[0]);
    ok = KDBrunlock(mine) == 0;
    c = ok ? 1 : 0;
    if (write(to_parent[1], &c, 1) != 1) _exit(2);
    wait_byte(to_child[0]);
    _exit(0);
  }
  char locked = 0;
  ASSERT_EQ(read(to_parent[0], &locked, 1), 1);
  ASSERT_EQ(locked, 1);
  ASSERT_EQ(KDBfirstrec(id, 1), 0);
  EXPECT_EQ(KDBrlock(id), 25);
  EXPECT_EQ(KDBerr(id), 107);
  signal_byte(to_child[1]);
  char released = 0;
  ASSERT_EQ(read(to_parent[0], &released, 1), 1);
  ASSERT_EQ(released, 1);
  EXPECT_EQ(KDBrlock(id), 0);
  EXPECT_EQ(KDBrunlock(id), 0);
  signal_byte(to_child[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  KDBlretry(100, 100);
  EXPECT_EQ(KDBinit(client), 0);
}

}  // namespace
