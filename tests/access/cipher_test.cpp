// Field encryption: records read back as written, their non-key bytes
// enciphered on disk by the documented rule, their key items in clear.
#include <gtest/gtest.h>

#include <string>

#include "access/kdb.h"
#include "tests/support/access_fixture.h"


namespace {

const auto *const g_env = ::testing::AddGlobalTestEnvironment(new access_test::PrivateState);

// Key 1 is NAME, key 2 CALL followed by DATE; NOTE has two occurrences. The
// record is 1 status byte, 40 data bytes and a line feed.
const char kDesc[] =
    "length 40\n"
    "item CALL C 0 6\n"
    "item NAME C 6 8\n"
    "item NOTE C 14 5 2\n"
    "item DATE C 24 6\n"
    "item QTH C 30 10\n"
    "key NAME\n"
    "key CALL DATE\n";
constexpr int kReclen = 42;

class Cipher : public ::testing::Test {
 protected:
  void SetUp() override {
    client_ = KDBinit(0);
    id_ = client_ + 1;
    access_test::write_fid(kDesc, dir_.path("C.fid"));
    ASSERT_EQ(KDBmake(dat().c_str(), "", "", id_, 3, 0), 0);
  }
  void TearDown() override { EXPECT_EQ(KDBinit(client_), 0); }

  std::string dat() const { return dir_.path("C.Dat"); }
  int add(const char *name, const char *qth) {
    KDBrclear(id_);
    KDBcopyfput("K1ABC", "CALL", id_);
    KDBcopyfput(name, "NAME", id_);
    KDBcopyfput("hello", "NOTE(0)", id_);
    KDBcopyfput("world", "NOTE(1)", id_);
    KDBcopyfput("261208", "DATE", id_);
    KDBcopyfput(qth, "QTH", id_);
    return KDBwrite(id_, 0, 0);
  }
  // The bytes of record slot n (1 is the first record) as they are on disk.
  std::string on_disk(int n) {
    KDBsecure(id_);
    return access_test::read_file(dat()).substr(n * kReclen, kReclen);
  }
  std::string field(const char *item) const { return KDBcopyfid(item, id_); }

  Scratch dir_;
  int client_ = 0;
  int id_ = 0;
};

TEST_F(Cipher, RecordsReadBackWhileTheFileHoldsThemEnciphered) {
  const std::string key = "k3y";
  ASSERT_EQ(KDBencrypt(id_, key.c_str()), 0);
  ASSERT_EQ(add("ADAMS", "Boston"), 0);
  // The buffer stays in clear after the write.
  EXPECT_EQ(field("QTH"), "Boston    ");

  std::string stored = on_disk(1);
  EXPECT_EQ(stored[0], ' ');
  EXPECT_EQ(stored.substr(1, 6), "K1ABC ");        // key 2's first segment
  EXPECT_EQ(stored.substr(7, 8), "ADAMS   ");      // key 1
  EXPECT_EQ(stored.substr(25, 6), "261208");       // key 2's second segment
  EXPECT_EQ(stored[kReclen - 1], '\n');
  // Every other item byte moved by the key's character sum plus its length
  // times the byte's record offset.
  unsigned sum = 'k' + '3' + 'y';
  std::string clear = " K1ABC ADAMS   helloworld261208Boston    \n";
  for (int at : {15, 19, 20, 24, 31, 40}) {
    auto expected = static_cast<uint8_t>(clear[at] + sum + 3 * at);
    EXPECT_EQ(static_cast<uint8_t>(stored[at]), expected) << at;
  }

  KDBrclear(id_);
  ASSERT_EQ(KDBfirstrec(id_, 1), 0);
  EXPECT_EQ(field("NOTE(1)"), "world");
  EXPECT_EQ(field("QTH"), "Boston    ");
  // The key items serve the index as usual.
  ASSERT_EQ(add("BAKER", "Albany"), 0);
  ASSERT_EQ(KDBposn(id_, "BAKER", 1, "", 0x0100), 0);
  ASSERT_EQ(KDBread(id_, 1), 0);
  EXPECT_EQ(field("QTH"), "Albany    ");
  ASSERT_EQ(KDBprevrec(id_, -1), 0);
  EXPECT_EQ(field("QTH"), "Boston    ");
  // A rewrite keeps the record readable.
  ASSERT_EQ(KDBcopyfput("Salem", "QTH", id_), 0);
  ASSERT_EQ(KDBwrite(id_, 0, 1), 0);
  ASSERT_EQ(KDBlastrec(id_, 1), 0);
  ASSERT_EQ(KDBfirstrec(id_, -1), 0);
  EXPECT_EQ(field("QTH"), "Salem     ");

  // Without the key, or with another, the file gives the enciphered bytes.
  ASSERT_EQ(KDBclose(id_), 0);
  ASSERT_EQ(KDBopen(dat().c_str(), "", "", id_, 3, 0), 0);
  ASSERT_EQ(KDBfirstrec(id_, 1), 0);
  EXPECT_EQ(field("NAME"), "ADAMS   ");
  EXPECT_NE(field("QTH"), "Salem     ");
  ASSERT_EQ(KDBencrypt(id_, "other"), 0);
  ASSERT_EQ(KDBfirstrec(id_, 1), 0);
  EXPECT_NE(field("QTH"), "Salem     ");
  ASSERT_EQ(KDBencrypt(id_, key.c_str()), 0);
  ASSERT_EQ(KDBfirstrec(id_, 1), 0);
  EXPECT_EQ(field("QTH"), "Salem     ");
  // The key itself never reaches the files.
  for (const char *ext : {"Dat", "idx", "fid"})
    EXPECT_EQ(access_test::read_file(dir_.path(std::string("C.") + ext)).find(key), std::string::npos) << ext;
}

TEST_F(Cipher, EmptyKeyStoresInClearAndLongKeysAreCut) {
  ASSERT_EQ(KDBencrypt(id_, ""), 0);
  ASSERT_EQ(add("ADAMS", "Boston"), 0);
  EXPECT_EQ(on_disk(1), " K1ABC ADAMS   helloworld261208Boston    \n");
  ASSERT_EQ(KDBencrypt(id_, "k3y"), 0);
  ASSERT_EQ(KDBencrypt(id_, nullptr), 0);  // off again
  ASSERT_EQ(add("BAKER", "Albany"), 0);
  EXPECT_EQ(on_disk(2).substr(31, 10), "Albany    ");

  // Only the first 16 characters of a key count.
  ASSERT_EQ(KDBencrypt(id_, "0123456789abcdefXYZ"), 0);
  ASSERT_EQ(add("CLARK", "Salem"), 0);
  ASSERT_EQ(KDBencrypt(id_, "0123456789abcdef"), 0);
  ASSERT_EQ(KDBlastrec(id_, 1), 0);
  EXPECT_EQ(field("QTH"), "Salem     ");

  EXPECT_EQ(KDBencrypt(id_ + 7, "k3y"), 7);
}

}  // namespace
