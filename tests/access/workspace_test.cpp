// Workspaces of record keys: adding up to the limit, the prefix search, and
// reading a record again by its entry.
#include <gtest/gtest.h>

#include <string>

#include "access/kdb.h"
#include "tests/support/access_fixture.h"


namespace {

const auto *const g_env = ::testing::AddGlobalTestEnvironment(new access_test::PrivateState);

// NAME is key 1, CALL key 2.
const char kDesc[] =
    "length 30\n"
    "item NAME C 0 8\n"
    "item CALL C 8 6\n"
    "item QTH C 14 16\n"
    "key NAME\n"
    "key CALL\n";

class Workspaces : public ::testing::Test {
 protected:
  void SetUp() override {
    client_ = KDBinit(0);
    id_ = client_ + 1;
    access_test::write_fid(kDesc, dir_.path("W.fid"));
    ASSERT_EQ(KDBmake(dir_.path("W.Dat").c_str(), "", "", id_, 3, 0), 0);
  }
  void TearDown() override { EXPECT_EQ(KDBinit(client_), 0); }

  void fill(const char *name, const char *call, const char *qth) {
    KDBrclear(id_);
    KDBcopyfput(name, "NAME", id_);
    KDBcopyfput(call, "CALL", id_);
    KDBcopyfput(qth, "QTH", id_);
  }
  int add(const char *name, const char *call, const char *qth) {
    fill(name, call, qth);
    return KDBwrite(id_, 0, 0);
  }
  std::string field(const char *item) const { return KDBcopyfid(item, id_); }

  Scratch dir_;
  int client_ = 0;
  int id_ = 0;
};

TEST_F(Workspaces, HoldsEightThousandEntries) {
  for (int i = 0; i < 8000; ++i) {
    fill(("N" + std::to_string(i)).c_str(), "X", "");
    ASSERT_EQ(KDBwsadd(id_), 0) << i;
  }
  fill("LAST", "X", "");
  EXPECT_EQ(KDBwsadd(id_), 24);
  EXPECT_EQ(KDBwsquick(client_, "N7999"), 7999);
  EXPECT_EQ(KDBwsquick(client_, "LAST"), 0);
  EXPECT_EQ(KDBwsclear(client_), client_ / 256);
  // Cleared: the next add starts a new workspace.
  ASSERT_EQ(KDBwsadd(id_), 0);
  EXPECT_EQ(KDBwsquick(id_, "LAST"), 0);
  EXPECT_EQ(KDBwsget(id_, 1), 7);
  KDBwsclear(id_);
}

TEST_F(Workspaces, PrefixSearchByTheKeyInUseWhenAdded) {
  ASSERT_EQ(add("ADAMS", "K1ABC", "Boston"), 0);
  ASSERT_EQ(add("BAKER", "W2ABD", "Albany"), 0);
  ASSERT_EQ(add("CLARK", "K1ZZ", "Salem"), 0);
  for (int rc = KDBfirstrec(id_, 1); rc == 0; rc = KDBnextrec(id_, -1)) ASSERT_EQ(KDBwsadd(id_), 0);
  // Entries 3..5 were taken while the file was read by CALL.
  for (int rc = KDBfirstrec(id_, 2); rc == 0; rc = KDBnextrec(id_, -1)) ASSERT_EQ(KDBwsadd(id_), 0);

  EXPECT_EQ(KDBwsquick(client_, "BA"), 1);
  EXPECT_EQ(KDBwsquick(client_, "CLARK"), 2);
  EXPECT_EQ(KDBwsquick(client_, "K1Z"), 4);
  EXPECT_EQ(KDBwsquick(client_, "W2"), 5);
  EXPECT_EQ(KDBwsquick(client_, "ba"), 0);  // case matters
  EXPECT_EQ(KDBwsquick(client_, "ZULU"), 0);
  EXPECT_EQ(KDBwsquick(client_ + 1, "W2"), 5);  // any id of the client
  EXPECT_EQ(KDBwsquick(client_ + 256, "W2"), 0);  // another client has none

  KDBwsclear(client_);
}

TEST_F(Workspaces, GetReadsTheRecordAndKeepsTheCurrentKey) {
  ASSERT_EQ(add("ADAMS", "K1ABC", "Boston"), 0);
  ASSERT_EQ(add("BAKER", "W2ABD", "Albany"), 0);
  ASSERT_EQ(add("CLARK", "K1ZZ", "Salem"), 0);
  for (int rc = KDBfirstrec(id_, 1); rc == 0; rc = KDBnextrec(id_, -1)) ASSERT_EQ(KDBwsadd(id_), 0);

  // Read by CALL: ADAMS (K1ABC), CLARK (K1ZZ), BAKER (W2ABD).
  ASSERT_EQ(KDBfirstrec(id_, 2), 0);
  ASSERT_EQ(KDBwsget(id_, 2), 0);
  EXPECT_EQ(field("QTH"), "Salem           ");
  double info[6] = {};
  ASSERT_EQ(KDBfiletype(id_, info), 0);
  EXPECT_EQ(info[2], 2);  // still key 2
  ASSERT_EQ(KDBnextrec(id_, -1), 0);
  EXPECT_EQ(field("NAME"), "BAKER   ");

  // By record number: the order stays physical.
  ASSERT_EQ(KDBfirstrec(id_, 0), 0);
  ASSERT_EQ(KDBwsget(id_, 1), 0);
  EXPECT_EQ(field("NAME"), "BAKER   ");
  ASSERT_EQ(KDBnextrec(id_, -1), 0);
  EXPECT_EQ(field("NAME"), "CLARK   ");

  EXPECT_EQ(KDBwsget(id_, 3), 7);
  EXPECT_EQ(KDBwsget(id_, -1), 7);
  EXPECT_EQ(KDBwsget(id_ + 5, 0), 7);
  KDBwsclear(client_);
}

TEST_F(Workspaces, TextFilesHaveNoKeys) {
  std::string text = dir_.path("t.txt");
  access_test::write_file(text, "line\n");
  ASSERT_EQ(KDBopen(text.c_str(), "", "", id_ + 1, 1, 0), 0);
  EXPECT_EQ(KDBwsadd(id_ + 1), 7);
  EXPECT_EQ(KDBwsquick(client_, ""), 0);
}

}  // namespace
