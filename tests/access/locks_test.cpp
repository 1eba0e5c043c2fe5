// Record locks, adds and the sharing check between programs sharing one table.
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

// An add never replaces: the second add of one key is refused and the
// stored record stays as the first add left it.
TEST(Adds, AnAddOfAKeyThatExistsIsRefusedAndChangesNothing) {
  Scratch dir;
  access_test::write_fid("length 22\nitem NAME C 0 10\nitem NOTE C 10 10\nkey NAME\n", dir.path("A.fid"));
  access_test::write_fid("length 12\nitem NAME C 0 10\n", dir.path("P.fid"));
  int client = KDBinit(0);
  int id = client + 1;
  ASSERT_EQ(KDBhost(id, "MSNET"), 0);
  ASSERT_EQ(KDBmake(dir.path("A.Dat").c_str(), "", "", id, 3, 0), 0);
  KDBcopyfput("K1", "NAME", id);
  KDBcopyfput("first", "NOTE", id);
  ASSERT_EQ(KDBadd(id, 0), KDB_OK);
  KDBcopyfput("second", "NOTE", id);
  EXPECT_EQ(KDBadd(id, 0), KDB_KEY_EXISTS);
  EXPECT_EQ(KDBerr(id), 114);
  KDBcopyfput("K2", "NAME", id);
  EXPECT_EQ(KDBadd(id, 1), KDB_OK);
  EXPECT_EQ(std::string(KDBcopyfid("NOTE", id)).substr(0, 6), "second");
  ASSERT_EQ(KDBfirstrec(id, 1), KDB_OK);
  EXPECT_EQ(std::string(KDBcopyfid("NOTE", id)).substr(0, 5), "first");
  ASSERT_EQ(KDBnextrec(id, -1), KDB_OK);
  EXPECT_EQ(KDBnextrec(id, -1), KDB_END_OF_FILE);
  // Files an add cannot serve.
  ASSERT_EQ(KDBmake(dir.path("P.Dat").c_str(), "", "", id + 1, 2, 0), 0);
  EXPECT_EQ(KDBadd(id + 1, 0), KDB_ENGINE_FAILURE);
  EXPECT_EQ(KDBerr(id + 1), 102);
  ASSERT_EQ(KDBopenmake(dir.path("out.txt").c_str(), "", "", id + 2, 0, 0), 0);
  EXPECT_EQ(KDBadd(id + 2, 0), KDB_WRONG_FILE_TYPE);
  EXPECT_EQ(KDBadd(id + 3, 0), KDB_NOT_OPEN);
  EXPECT_EQ(KDBinit(client), 0);
}

// KDBothers tells whether another program has the table open: it answers
// from the sharing lock, which this program's own open does not count in.
TEST(Sharing, AnotherProgramWithTheTableOpenIsSeenUntilItCloses) {
  Scratch dir;
  access_test::write_fid("length 12\nitem NAME C 0 10\nkey NAME\n", dir.path("S.fid"));
  std::string dat = dir.path("S.Dat");
  int client = KDBinit(0);
  int id = client + 1;
  ASSERT_EQ(KDBhost(id, "MSNET"), 0);
  ASSERT_EQ(KDBmake(dat.c_str(), "", "", id, 3, 0), 0);
  EXPECT_EQ(KDBothers(id), 0);
  EXPECT_EQ(KDBothers(id + 1), KDB_NOT_OPEN);

  int to_child[2], to_parent[2];
  ASSERT_EQ(pipe(to_child), 0);
  ASSERT_EQ(pipe(to_parent), 0);
  pid_t pid = fork();
  if (pid == 0) {
    int mine = KDBinit(0) + 1;
    char c = KDBhost(mine, "MSNET") == 0 && KDBopen(dat.c_str(), "", "", mine, 3, 0) == 0 ? 1 : 0;
    if (write(to_parent[1], &c, 1) != 1) _exit(2);
    wait_byte(to_child[0]);
    KDBclose(mine);
    c = 1;
    if (write(to_parent[1], &c, 1) != 1) _exit(2);
    _exit(0);
  }
  char opened = 0;
  ASSERT_EQ(read(to_parent[0], &opened, 1), 1);
  ASSERT_EQ(opened, 1);
  EXPECT_EQ(KDBothers(id), 1);
  signal_byte(to_child[1]);
  char closed = 0;
  ASSERT_EQ(read(to_parent[0], &closed, 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(KDBothers(id), 0);
  EXPECT_EQ(KDBinit(client), 0);
}

}  // namespace
