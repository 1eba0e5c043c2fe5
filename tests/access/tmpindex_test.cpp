// Temporary indexes over the station log table: the selection pass, the
// order of the walk afterwards, and the reuse of an existing index.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access/kdb.h"
#include "tests/support/access_fixture.h"


namespace {

const auto *const g_env = ::testing::AddGlobalTestEnvironment(new access_test::PrivateState);

using Keys = std::vector<std::string>;

class TempIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    client_ = KDBinit(0);
    log_ = client_ + 3;
    access_test::write_fid(access_test::read_file(TESSALY_DATA_DIR "/Log.desc"), dir_.path("Log.fid"));
    ASSERT_EQ(KDBmake(dat().c_str(), "", "", log_, 3, 0), 0);
    // UNIKEY, FRQ, MODE, NET: the net entries are the selection.
    const char *entries[][4] = {{"2612080001", "14250.00", "USB", "Y"}, {"2612080002", "7074.00", "FSK", "N"},
                                {"2612080003", "3573.00", "FSK", "Y"},  {"2612080004", "14074.00", "FSK", "Y"},
                                {"2612080005", "7150.00", "LSB", "Y"},  {"2612080006", "3700.00", "LSB", "N"}};
    for (const auto &e : entries) {
      KDBrclear(log_);
      KDBcopyfput(e[0], "UNIKEY", log_);
      KDBcopyfput(e[1], "FRQ", log_);
      KDBcopyfput(e[2], "MODE", log_);
      KDBcopyfput(e[3], "NET", log_);
      ASSERT_EQ(KDBwrite(log_, 0, 0), 0);
    }
    // A deleted record in the middle is passed over by the pass.
    ASSERT_EQ(KDBposn(log_, "2612080002", -1, "", 0x0100), 0);
    ASSERT_EQ(KDBread(log_, 1), 0);
    ASSERT_EQ(KDBfree(log_), 0);
    ASSERT_EQ(KDBclose(log_), 0);
  }
  void TearDown() override { EXPECT_EQ(KDBinit(client_), 0); }

  std::string dat() const { return dir_.path("Log.Dat"); }
  std::string unikey() const { return KDBcopyfid("UNIKEY", log_); }
  // The keys met walking the file from its first record.
  Keys walk() {
    Keys keys;
    for (int rc = KDBfirstrec(log_, -1); rc == 0 && keys.size() < 10; rc = KDBnextrec(log_, -1))
      keys.push_back(unikey().substr(0, 10));
    return keys;
  }

  Scratch dir_;
  int client_ = 0;
  int log_ = 0;
};

TEST_F(TempIndex, SelectionPassThenWalkInTheSelectionsOrder) {
  int16_t pass = -1;
  ASSERT_EQ(KDBtmpidx(dat().c_str(), "", "", log_, 3, 0, "MODE+-FRQ", &pass), 0);
  EXPECT_EQ(pass, 1);
  Keys read;
  int rc;
  while ((rc = KDBtmpread(log_)) == 7) {
    read.push_back(unikey().substr(0, 10));
    if (KDBcopyfid("NET", log_) == std::string("Y")) {
      ASSERT_EQ(KDBtmpwrite(log_), 0);
    }
  }
  EXPECT_EQ(rc, 0);
  // Physical order, without the deleted record.
  EXPECT_EQ(read, (Keys{"2612080001", "2612080003", "2612080004", "2612080005", "2612080006"}));

  // MODE ascending, then FRQ descending as text: only the net entries.
  const Keys selected{"2612080003", "2612080004", "2612080005", "2612080001"};
  EXPECT_EQ(walk(), selected);
  // Backwards from the last entry too.
  Keys back;
  for (rc = KDBlastrec(log_, -1); rc == 0 && back.size() < 10; rc = KDBprevrec(log_, -1))
    back.push_back(unikey().substr(0, 10));
  EXPECT_EQ(back, (Keys{selected.rbegin(), selected.rend()}));
  // The file is read-only now.
  EXPECT_EQ(KDBwrite(log_, 0, 0), 28);
  ASSERT_EQ(KDBclose(log_), 0);

  // The index file stays: the next open reads through it at once.
  ASSERT_EQ(KDBtmpidx(dat().c_str(), "", "", log_, 3, 0, "MODE+-FRQ", &pass), 0);
  EXPECT_EQ(pass, 0);
  EXPECT_EQ(walk(), selected);
  EXPECT_EQ(KDBwrite(log_, 0, 0), 28);
  ASSERT_EQ(KDBclose(log_), 0);

  // The data file itself is untouched and keeps its own index.
  ASSERT_EQ(KDBopen(dat().c_str(), "", "", log_, 3, 0), 0);
  EXPECT_EQ(walk().size(), 5u);
}

TEST_F(TempIndex, BadSelectionsAndIdsThatAreNotOpen) {
  int16_t pass = -1;
  EXPECT_EQ(KDBtmpidx(dat().c_str(), "", "", log_, 3, 0, "NOSUCHITEM", &pass), 22);
  EXPECT_EQ(KDBerr(log_), 112);
  EXPECT_EQ(KDBisopen(log_), 0);
  EXPECT_EQ(KDBtmpidx(dat().c_str(), "", "", log_, 3, 0, "", nullptr), 22);
  EXPECT_EQ(KDBtmpread(log_), 7);
  EXPECT_EQ(KDBtmpwrite(log_), 7);

  // An empty selection pass: the index walks nothing.
  ASSERT_EQ(KDBtmpidx(dat().c_str(), "", dir_.path("none.itx").c_str(), log_, 3, 0, "MODE", nullptr), 0);
  while (KDBtmpread(log_) == 7) {
  }
  EXPECT_EQ(KDBfirstrec(log_, -1), 11);
}

}  // namespace
