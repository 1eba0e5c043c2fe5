// The chain hand-over within one program: data slots, the chain-busy byte,
// files saved and restored, and what happens to damaged or forgotten chains.
// The hand-over between two programs is tested with tools/chain-demo.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "access/file_table.h"
#include "access/kdb.h"
#include "tests/support/access_fixture.h"


namespace {

auto *const g_env = new access_test::PrivateState;
const auto *const g_registered = ::testing::AddGlobalTestEnvironment(g_env);

const char kDesc[] =
    "length 20\n"
    "item NAME C 0 8\n"
    "item QTH C 8 12\n"
    "key NAME\n";

class Chain : public ::testing::Test {
 protected:
  void SetUp() override { client_ = KDBinit(0); }
  void TearDown() override {
    KDBdatafree(client_);
    KDBinit(client_);
  }

  // The name of a slot's shared memory block.
  std::string block(char kind, int slot) const {
    return g_env->name() + "-chain-" + std::to_string(client_ / 256) + kind + std::to_string(slot);
  }
  bool block_exists(char kind, int slot) const {
    int fd = shm_open(block(kind, slot).c_str(), O_RDONLY, 0);
    if (fd >= 0) close(fd);
    return fd >= 0;
  }
  // A keyed table with three records, open under id.
  void make_table(int id) {
    access_test::write_fid(kDesc, dir_.path("T.fid"));
    ASSERT_EQ(KDBmake(dir_.path("T.Dat").c_str(), "", "", id, 3, 0), 0);
    for (const char *name : {"ADAMS", "BAKER", "CLARK"}) {
      KDBrclear(id);
      KDBcopyfput(name, "NAME", id);
      KDBcopyfput((std::string(name) + " QTH").c_str(), "QTH", id);
      ASSERT_EQ(KDBwrite(id, 0, 0), 0);
    }
  }

  Scratch dir_;
  int client_ = 0;
};

TEST_F(Chain, DataSlotsAreReadOnce) {
  KDBdataput(client_, 0, "first");
  KDBdataput(client_ + 4, 99, "last");  // any id of the client
  KDBdataput(client_, 7, "old");
  KDBdataput(client_, 7, "new");
  EXPECT_STREQ(KDBdataget(client_, 7), "new");
  EXPECT_STREQ(KDBdataget(client_, 7), "");
  EXPECT_FALSE(block_exists('d', 7));
  EXPECT_STREQ(KDBdataget(client_ + 256, 0), "");  // another client's slots
  EXPECT_STREQ(KDBdataget(client_, 99), "last");
  EXPECT_STREQ(KDBdataget(client_, 0), "first");

  // Slot numbers outside 0..99 are refused.
  KDBdataput(client_, 100, "x");
  KDBdataput(client_, -1, "x");
  EXPECT_STREQ(KDBdataget(client_, 100), "");
  EXPECT_STREQ(KDBdataget(client_, -1), "");

  // Only what KDBdataget can return is kept; a null text is "".
  KDBdataput(client_, 1, std::string(700, 'a').c_str());
  EXPECT_EQ(std::string(KDBdataget(client_, 1)), std::string(512, 'a'));
  KDBdataput(client_, 2, nullptr);
  EXPECT_TRUE(block_exists('d', 2));
  EXPECT_STREQ(KDBdataget(client_, 2), "");

  // KDBdatafree removes every block.
  KDBdataput(client_, 3, "gone");
  KDBdatafree(client_);
  EXPECT_FALSE(block_exists('d', 3));
  EXPECT_STREQ(KDBdataget(client_, 3), "");
}

TEST_F(Chain, FilesAreRestoredUnderTheirIdsAndReopenedOnFirstUse) {
  int table = client_ + 3, out = client_ + 6, in = client_ + 7;
  make_table(table);
  ASSERT_EQ(KDBfirstrec(table, 1), 0);
  ASSERT_EQ(KDBnextrec(table, -1), 0);  // on BAKER
  std::string out_path = dir_.path("out.txt"), in_path = dir_.path("in.txt");
  ASSERT_EQ(KDBopenmake(out_path.c_str(), "", "", out, 0, 0x8000), 0);
  ASSERT_EQ(KDBput("before", out, -1), 0);
  ASSERT_EQ(KDBwrite(out, 1, 0), 0);
  std::string lines;
  for (int i = 0; i < 60; ++i) lines += "line " + std::to_string(i) + "\n";
  access_test::write_file(in_path, lines);
  ASSERT_EQ(KDBopen(in_path.c_str(), "", "", in, 1, 0), 0);
  char field[64];
  int16_t len = 60;
  for (int i = 0; i < 30; ++i) {
    len = 60;
    ASSERT_EQ(KDBget(field, in, &len), 0);
    ASSERT_EQ(KDBread(in, 0), 0);
  }

  EXPECT_EQ(KDBchainbusy(client_), 0);
  ASSERT_EQ(KDBputfiles(client_), 0);
  EXPECT_EQ(KDBchainbusy(client_), 255);
  EXPECT_EQ(KDBerr(client_), 0);  // every file was handed over
  EXPECT_EQ(lumbra::open_files().count(), 0);
  EXPECT_TRUE(block_exists('f', 0));

  ASSERT_EQ(KDBgetfiles(client_, "SINGLE"), 0);
  const lumbra::FileTable &t = lumbra::open_files();
  ASSERT_EQ(t.count(), 3);
  EXPECT_EQ(t.at(0).id, table);
  EXPECT_EQ(t.at(1).id, out);
  EXPECT_EQ(t.at(2).id, in);
  EXPECT_FALSE(block_exists('f', 0));  // taken over
  EXPECT_EQ(KDBchainbusy(client_), 255);

  // Each file goes on where it was left.
  ASSERT_EQ(KDBnextrec(table, -1), 0);
  EXPECT_STREQ(KDBcopyfid("NAME", table), "CLARK   ");
  len = 60;
  ASSERT_EQ(KDBget(field, in, &len), 0);
  EXPECT_STREQ(field, "line 30");
  ASSERT_EQ(KDBput("after", out, -1), 0);
  ASSERT_EQ(KDBwrite(out, 1, 0), 0);
  ASSERT_EQ(KDBclose(out), 0);
  std::string written = access_test::read_file(out_path);
  EXPECT_EQ(written.substr(0, written.find('\n', 7) + 1), "before\nafter\n");

  KDBdatafree(client_);
  EXPECT_EQ(KDBchainbusy(client_), 0);
}

TEST_F(Chain, FilesNeverUsedAgainCloseQuietly) {
  make_table(client_ + 1);
  ASSERT_EQ(KDBputfiles(client_), 0);
  ASSERT_EQ(KDBgetfiles(client_, "SINGLE"), 0);
  EXPECT_EQ(KDBisopen(client_ + 1), 1);
  EXPECT_EQ(KDBcloseall(client_), 0);
  EXPECT_EQ(KDBisopen(client_ + 1), 0);
}

TEST_F(Chain, AHundredFilesAtMost) {
  std::string text = dir_.path("t.txt");
  access_test::write_file(text, "x\n");
  for (int n = 0; n < 103; ++n) ASSERT_EQ(KDBopen(text.c_str(), "", "", client_ + n, 1, 0), 0);
  ASSERT_EQ(KDBputfiles(client_), 0);
  EXPECT_EQ(KDBerr(client_), 3);  // not handed over
  EXPECT_EQ(lumbra::open_files().count(), 0);
  ASSERT_EQ(KDBgetfiles(client_, "SINGLE"), 0);
  EXPECT_EQ(lumbra::open_files().count(), 100);
  EXPECT_EQ(KDBisopen(client_ + 99), 1);
  EXPECT_EQ(KDBisopen(client_ + 100), 0);
}

TEST_F(Chain, DamagedOrDuplicateSavedFilesAreDropped) {
  make_table(client_ + 1);
  KDBopen(dir_.path("T.Dat").c_str(), "", "", client_ + 2, 3, 0);
  ASSERT_EQ(KDBputfiles(client_), 0);
  // The first saved file loses its tail; the second comes back.
  std::string name = block('f', 0);
  int fd = shm_open(name.c_str(), O_RDWR, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 40), 0);
  close(fd);
  ASSERT_EQ(KDBgetfiles(client_, "SINGLE"), 0);
  EXPECT_EQ(KDBisopen(client_ + 1), 0);
  EXPECT_EQ(KDBisopen(client_ + 2), 1);
  EXPECT_FALSE(block_exists('f', 0));
  ASSERT_EQ(KDBfirstrec(client_ + 2, 1), 0);
  EXPECT_STREQ(KDBcopyfid("NAME", client_ + 2), "ADAMS   ");

  // A saved id that is open here already is dropped too.
  ASSERT_EQ(KDBputfiles(client_), 0);
  KDBinit(0);  // the engine again, for the open
  make_table(client_ + 2);
  ASSERT_EQ(KDBgetfiles(client_, "SINGLE"), 0);
  EXPECT_EQ(lumbra::open_files().count(), 1);
  EXPECT_FALSE(block_exists('f', 0));
}

TEST_F(Chain, AFileThatCannotBeOpenedAgainIsNotOpen) {
  make_table(client_ + 1);
  ASSERT_EQ(KDBputfiles(client_), 0);
  // The description changed in between: the record no longer fits.
  access_test::write_fid("length 30\nitem NAME C 0 8\nkey NAME\n", dir_.path("T.fid"));
  ASSERT_EQ(KDBgetfiles(client_, "SINGLE"), 0);
  EXPECT_EQ(KDBfirstrec(client_ + 1, 1), 7);
  EXPECT_NE(KDBerr(client_), 0);
  EXPECT_EQ(KDBcloseall(client_), 0);
}

TEST_F(Chain, AChainNobodyTookUpEndsWhenItsNumberStartsAgain) {
  KDBdataput(client_, 5, "forgotten");
  ASSERT_EQ(KDBputfiles(client_), 0);
  // The client numbers come round again after 127 starts.
  for (int i = 0; i < 126; ++i) KDBinit(KDBinit(0));
  int again = KDBinit(0);
  ASSERT_EQ(again, client_);
  EXPECT_EQ(KDBchainbusy(client_), 0);
  EXPECT_FALSE(block_exists('d', 5));
  EXPECT_STREQ(KDBdataget(client_, 5), "");
}

}  // namespace
