// Record files through the KDB functions: clients, opening and closing,
// items, navigation, positioning, writing and securing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "access/file_table.h"
#include "access/kdb.h"
#include "access/kdb_file.h"
#include "tests/support/access_fixture.h"


namespace {

const auto *const g_env = ::testing::AddGlobalTestEnvironment(new access_test::PrivateState);

// NAME is the unique key 1, CALL (three occurrences) key 2; LINK carries the
// thread of the records whose AMT is above 10; LONG is longer than any text
// the layer returns.
const char kDesc[] =
    "length 640\n"
    "item CALL C 0 6 3\n"
    "item NAME C 18 10\n"
    "item AMT N 28 5 1 R\n"
    "item LINK C 33 4\n"
    "item MEMO Z 37 2\n"
    "item LONG C 40 600\n"
    "key NAME\n"
    "key CALL\n"
    "thread LINK AMT > 10\n";

class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    client_ = KDBinit(0);
    ASSERT_NE(client_, 0);
    id_ = client_ + 1;
    access_test::write_fid(kDesc, dir_.path("T.fid"));
    ASSERT_EQ(KDBmake(dat().c_str(), "", "", id_, 3, 0), 0);
  }
  void TearDown() override { EXPECT_EQ(KDBinit(client_), 0); }

  std::string dat() const { return dir_.path("T.Dat"); }
  int add(const char *name, const char *call, const char *amt) {
    KDBrclear(id_);
    KDBcopyfput(name, "NAME", id_);
    KDBcopyfput(call, "CALL", id_);
    KDBcopyfput(amt, "AMT", id_);
    return KDBwrite(id_, 0, 0);
  }
  std::string name() const { return KDBcopyfid("NAME", id_); }
  // The names met walking from the first record with next (or from the last
  // with previous).
  std::vector<std::string> walk(int keyno, bool forward) {
    std::vector<std::string> names;
    int rc = forward ? KDBfirstrec(id_, keyno) : KDBlastrec(id_, keyno);
    while (rc == 0 && names.size() < 20) {
      names.push_back(name());
      rc = forward ? KDBnextrec(id_, -1) : KDBprevrec(id_, -1);
    }
    EXPECT_EQ(rc, 11);
    return names;
  }

  Scratch dir_;
  int client_ = 0;
  int id_ = 0;
};

using Names = std::vector<std::string>;

TEST_F(Records, OpenMakeAndOpenmake) {
  ASSERT_EQ(add("ADAMS", "K1AA", "5"), 0);
  ASSERT_EQ(KDBclose(id_), 0);
  EXPECT_EQ(KDBisopen(id_), 0);

  // A missing data file cannot be opened: 6, with the raw status kept.
  std::string missing = dir_.path("None.Dat");
  EXPECT_EQ(KDBopen(missing.c_str(), dir_.path("T.fid").c_str(), "", id_, 3, 0), 6);
  EXPECT_EQ(KDBerr(id_), 1);
  EXPECT_EQ(KDBisopen(id_), 0);

  // openmake creates the missing file; on an existing one it only opens.
  ASSERT_EQ(KDBopenmake(missing.c_str(), dir_.path("T.fid").c_str(), "", id_, 3, 0), 0);
  EXPECT_EQ(KDBerr(id_), 0);
  EXPECT_EQ(KDBfirstrec(id_, -1), 11);
  ASSERT_EQ(KDBclose(id_), 0);
  ASSERT_EQ(KDBopenmake(dat().c_str(), "", "", id_, 3, 0), 0);
  ASSERT_EQ(KDBfirstrec(id_, 1), 0);
  EXPECT_EQ(name(), "ADAMS     ");

  // An id that is open already is refused and the open file stays as it was.
  EXPECT_EQ(KDBopen(missing.c_str(), "", "", id_, 3, 0), 116);
  EXPECT_EQ(name(), "ADAMS     ");
  double info[6] = {};
  ASSERT_EQ(KDBfiletype(id_, info), 0);
  EXPECT_EQ(info[0], 3);
  EXPECT_EQ(info[1], 2);   // keys
  EXPECT_EQ(info[2], 1);   // current key number
  EXPECT_EQ(info[3], 642);  // record length
  EXPECT_EQ(info[4], 2);   // slots, the header included
  EXPECT_EQ(info[5], 1);
  EXPECT_EQ(KDBfiletype(id_ + 99, info), 7);
}

// Names are cut to 64 characters; a make whose companion name then no longer
// fits is refused and leaves nothing on disk, neither the cut data file nor
// an index.
TEST_F(Records, RefusedMakeLeavesNoFiles) {
  std::string dir = dir_.path("");
  std::string name = dir + std::string(65 - dir.size() - 4, 'N') + ".Dat";
  ASSERT_EQ(name.size(), 65u);
  std::string fid = dir_.path("T.fid");
  EXPECT_EQ(KDBmake(name.c_str(), fid.c_str(), "", id_ + 1, 3, 0), 20);
  EXPECT_EQ(KDBisopen(id_ + 1), 0);
  std::vector<std::string> files;
  for (const auto &e : std::filesystem::directory_iterator(dir)) files.push_back(e.path().filename());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"T.Dat", "T.fid", "T.idx"}));
}

// A hashed table answers key 1, its hash's key, also after record number
// order.
TEST_F(Records, HashedTableByKeyOne) {
  access_test::write_fid("length 20\nhashed 281\nitem CALL C 0 8\nitem NOTE C 8 10\nkey CALL\n",
                         dir_.path("H.fid"));
  std::string hashed = dir_.path("H.Dat");
  int id = id_ + 1;
  ASSERT_EQ(KDBmake(hashed.c_str(), "", "", id, 3, 0), 0);
  for (const char *call : {"K1AA", "W2BB"}) {
    KDBrclear(id);
    KDBcopyfput(call, "CALL", id);
    KDBcopyfput(call, "NOTE", id);
    ASSERT_EQ(KDBwrite(id, 0, 0), 0) << call;
  }
  ASSERT_EQ(KDBkey(id, 0, 0), 0);
  ASSERT_EQ(KDBkey(id, 1, 0), 0);
  ASSERT_EQ(KDBposn(id, "W2BB", 1, "", 0), 0);
  ASSERT_EQ(KDBread(id, 1), 0);
  EXPECT_EQ(std::string(KDBcopyfid("NOTE", id)), "W2BB      ");
  EXPECT_EQ(KDBkey(id, 2, 0), 20);
  EXPECT_EQ(KDBclose(id), 0);
}

TEST_F(Records, AnOpenAfterAnUnfinishedUpdateSaysSoAndOpens) {
  ASSERT_EQ(add("ADAMS", "K1AA", "5"), 0);
  ASSERT_EQ(add("BAKER", "K1BB", "5"), 0);
  ASSERT_EQ(KDBclose(id_), 0);
  // A program killed before it wrote the header counts one record less.
  std::string bytes = access_test::read_file(dat());
  bytes.replace(1, 8, "00000002");
  access_test::write_file(dat(), bytes);
  EXPECT_EQ(KDBopen(dat().c_str(), "", "", id_, 3, 0), 117);
  EXPECT_EQ(KDBisopen(id_), 1);
  EXPECT_EQ(walk(1, true), (std::vector<std::string>{"ADAMS     ", "BAKER     "}));
  ASSERT_EQ(add("CLARK", "K1CC", "5"), 0);
  EXPECT_EQ(walk(1, true), (std::vector<std::string>{"ADAMS     ", "BAKER     ", "CLARK     "}));
}

TEST_F(Records, FiveHundredFilesAndCloseOrder) {
  std::string text = dir_.path("in.txt");
  access_test::write_file(text, "line\n");
  int opened = 1;  // the table file of the fixture
  for (int n = 2; opened < lumbra::FileTable::kCapacity; ++n, ++opened)
    ASSERT_EQ(KDBopen(text.c_str(), "", "", client_ + n, 1, 0), 0) << n;
  EXPECT_EQ(KDBopen(text.c_str(), "", "", 0x7F00, 1, 0), 115);
  // Closing a middle one keeps the others findable, in their order.
  const lumbra::FileTable &t = lumbra::open_files();
  uint16_t before = t.at(1).id, middle = t.at(2).id, after = t.at(3).id;
  ASSERT_EQ(KDBclose(middle), 0);
  EXPECT_EQ(t.at(1).id, before);
  EXPECT_EQ(t.at(2).id, after);
  EXPECT_EQ(KDBisopen(middle), 0);
  EXPECT_EQ(KDBclose(middle), 7);
  // closeall takes the client value, not a file id.
  EXPECT_EQ(KDBcloseall(id_), 0);
  EXPECT_EQ(KDBisopen(id_), 1);
  for (int hi = 0; hi < 3; ++hi) KDBcloseall(client_ + 256 * hi);
  EXPECT_EQ(t.count(), 0);
}

TEST_F(Records, ItemsByReferenceAndPosition) {
  ASSERT_EQ(KDBcopyfput("ONE", "CALL", id_), 0);
  ASSERT_EQ(KDBcopyfput("THREE", "CALL(2)", id_), 0);
  EXPECT_STREQ(KDBcopyfid("CALL(2)", id_), "THREE ");
  EXPECT_STREQ(KDBcopyfid("CALL[2]", id_), "THREE ");
  EXPECT_STREQ(KDBcopyfid("CALL", id_), "ONE   ");
  EXPECT_STREQ(KDBcopyfid("CALLXXXXXXXX", id_), "");  // cut to CALLXXXXXX: unknown
  EXPECT_STREQ(KDBcopyfid("CALL(3)", id_), "");
  EXPECT_EQ(KDBcopyfput("X", "CALL(3)", id_), -1);
  EXPECT_EQ(KDBcopyfput("X", "NOSUCH", id_), -1);
  EXPECT_EQ(KDBfput("X", "CALL", id_ + 99, 0, 0), 0);

  ASSERT_EQ(KDBfput("ABCDEF", "CALL", id_, 1, 0), 0);
  ASSERT_EQ(KDBfput("XY", "CALL", id_, 1, 3), 0);
  EXPECT_STREQ(KDBfiditemstub("CALL", id_, 1), "ABXYEF");
  ASSERT_EQ(KDBfput("12345", "CALL", id_, 1, 5), 0);  // beyond the item: dropped
  EXPECT_STREQ(KDBfiditemstub("CALL", id_, 1), "ABXY12");
  KDBfoput("Q", 0, id_, 1, 2);
  EXPECT_STREQ(KDBfid(id_, 0, 1), "AQXY12");

  ASSERT_EQ(KDBcopyfput("42", "AMT", id_), 0);
  EXPECT_STREQ(KDBfid(id_, 2, 0), "   42");
  EXPECT_STREQ(KDBfid(id_, 2, 1), "");
  EXPECT_STREQ(KDBfid(id_, 9, 0), "");
  EXPECT_EQ(KDBfidoffset("AMT", id_), 2);
  EXPECT_EQ(KDBfidoffset("ZZZ", id_), -1);
  EXPECT_EQ(KDBfidoffset("AMT", id_ + 99), -1);

  // Text longer than the result buffer comes back cut to 512 characters.
  ASSERT_EQ(KDBcopyfput(std::string(600, 'L').c_str(), "LONG", id_), 0);
  EXPECT_EQ(std::string(KDBcopyfid("LONG", id_)), std::string(512, 'L'));
  EXPECT_EQ(std::string(KDBfid(id_, 5, 0)), std::string(512, 'L'));
  ASSERT_EQ(KDBfput("MM", "LONG", id_, 0, 599), 0);
  EXPECT_EQ(std::string(KDBcopyfid("LONG", id_)).size(), 512u);
}

TEST_F(Records, MemoSearchClearAndCopy) {
  EXPECT_EQ(KDBismemo(id_), 0);
  KDBcopyfput("x", "MEMO", id_);
  EXPECT_EQ(KDBismemo(id_), 1);
  KDBcopyfput("ABC", "NAME", id_);
  EXPECT_EQ(KDBrsear(id_, "abc", 1), 0);
  EXPECT_EQ(KDBrsear(id_, "abc", 0), 5);
  EXPECT_EQ(KDBrsear(id_, "ABC", 0), 0);
  EXPECT_EQ(KDBrsear(id_, "\n", 0), 5);  // the last byte is not searched
  EXPECT_EQ(KDBrsear(id_, std::string(60, 'A').c_str(), 0), 5);
  EXPECT_EQ(KDBrsear(id_ + 99, "A", 0), 7);

  // A second file with some of the items takes them by name.
  access_test::write_fid("length 22\nitem NAME C 0 10\nitem CALL C 10 6 2\n",
                         dir_.path("U.fid"));
  int other = id_ + 1;
  ASSERT_EQ(KDBmake(dir_.path("U.Dat").c_str(), "", "", other, 2, 0), 0);
  KDBcopyfput("C0", "CALL(0)", id_);
  KDBcopyfput("C1", "CALL(1)", id_);
  KDBcopyfput("C2", "CALL(2)", id_);
  ASSERT_EQ(KDBcopy(id_, other), 0);
  EXPECT_STREQ(KDBcopyfid("NAME", other), "ABC       ");
  EXPECT_STREQ(KDBcopyfid("CALL(1)", other), "C1    ");
  EXPECT_EQ(KDBcopy(id_, other + 99), 7);

  ASSERT_EQ(KDBrclear(id_), 0);
  EXPECT_STREQ(KDBcopyfid("NAME", id_), "          ");
  EXPECT_EQ(KDBismemo(id_), 0);
}

TEST_F(Records, FieldsInARecordBuffer) {
  ASSERT_EQ(KDBrestart(id_, 18), 0);  // NAME's offset
  ASSERT_EQ(KDBput("SMITH", id_, 10), 0);
  EXPECT_STREQ(KDBcopyfid("NAME", id_), "SMITH     ");
  ASSERT_EQ(KDBrestart(id_, 630), 0);
  EXPECT_EQ(KDBput("ABCDEFGHIJKLMNOP", id_, -1), 8);
  ASSERT_EQ(KDBrestart(id_, 18), 0);
  char text[20];
  int16_t len = 5;
  ASSERT_EQ(KDBget(text, id_, &len), 0);
  EXPECT_STREQ(text, "SMITH");
}

TEST_F(Records, NavigationAtBothEnds) {
  KDBrclear(id_);
  KDBcopyfput("KEEP", "NAME", id_);
  EXPECT_EQ(KDBfirstrec(id_, -1), 11);
  EXPECT_EQ(name(), "KEEP      ");  // a failed read leaves the buffer
  EXPECT_EQ(KDBeof(id_), 1);
  ASSERT_EQ(add("CAROL", "K3", "30"), 0);
  ASSERT_EQ(add("ALICE", "K9", "5"), 0);
  ASSERT_EQ(add("BOB", "K1", "20"), 0);

  EXPECT_EQ(walk(1, true), (Names{"ALICE     ", "BOB       ", "CAROL     "}));
  EXPECT_EQ(walk(-1, false), (Names{"CAROL     ", "BOB       ", "ALICE     "}));
  EXPECT_EQ(walk(2, true), (Names{"BOB       ", "CAROL     ", "ALICE     "}));
  EXPECT_EQ(walk(0, true), (Names{"CAROL     ", "ALICE     ", "BOB       "}));
  EXPECT_EQ(walk(-1, false), (Names{"BOB       ", "ALICE     ", "CAROL     "}));
  ASSERT_EQ(KDBfirstrec(id_, 1), 0);
  EXPECT_EQ(KDBeof(id_), 0);
  EXPECT_EQ(KDBeof(id_ + 99), 7);
  EXPECT_EQ(KDBfirstrec(id_ + 99, 1), 7);
}

TEST_F(Records, PositionByKeyRecordNumberAndThread) {
  ASSERT_EQ(add("CAROL", "K3", "30"), 0);
  ASSERT_EQ(add("ALICE", "K9", "5"), 0);
  ASSERT_EQ(add("BOB", "K1", "20"), 0);

  ASSERT_EQ(KDBposn(id_, "BOBXXXXXXXXXXXXX", 1, "", 0), 0);  // cut to the key length
  ASSERT_EQ(KDBread(id_, 1), 0);
  EXPECT_EQ(name(), "CAROL     ");
  ASSERT_EQ(KDBposn(id_, "B", 1, "", 0), 0);
  ASSERT_EQ(KDBread(id_, 1), 0);
  EXPECT_EQ(name(), "BOB       ");
  ASSERT_EQ(KDBposn(id_, "B", 1, "", 0x0100), 0);  // exact: B differs from BOB
  EXPECT_EQ(KDBread(id_, 1), 11);
  ASSERT_EQ(KDBposn(id_, "K9", 2, "", 0), 0);
  ASSERT_EQ(KDBread(id_, 1), 0);
  EXPECT_EQ(name(), "ALICE     ");

  ASSERT_EQ(KDBposn(id_, " 2", 0, "", 0), 0);  // record number 2: the third record
  ASSERT_EQ(KDBread(id_, 1), 0);
  EXPECT_EQ(name(), "BOB       ");

  // The thread of AMT > 10 holds BOB and CAROL, newest first.
  ASSERT_EQ(KDBposn(id_, "", -1, "LINK", 0), 0);
  ASSERT_EQ(KDBread(id_, 0), 0);
  EXPECT_EQ(name(), "BOB       ");
  ASSERT_EQ(KDBread(id_, 0), 0);
  EXPECT_EQ(name(), "CAROL     ");
  EXPECT_EQ(KDBread(id_, 0), 11);
  EXPECT_EQ(KDBposn(id_, "", -1, "NAME", 0), 22);  // no thread on NAME
  EXPECT_EQ(KDBposn(id_, "", -1, "NOSUCH", 0), 22);
}

TEST_F(Records, ReadWriteDeleteAndKeys) {
  ASSERT_EQ(add("CAROL", "K3", "30"), 0);
  ASSERT_EQ(add("ALICE", "K9", "5"), 0);
  ASSERT_EQ(KDBfirstrec(id_, 1), 0);
  KDBcopyfput("K7", "CALL", id_);
  ASSERT_EQ(KDBwrite(id_, 0, 1), 0);  // same key: replaces
  ASSERT_EQ(KDBfree(id_), 0);
  EXPECT_EQ(walk(1, true), (Names{"CAROL     "}));
  ASSERT_EQ(KDBkey(id_, 2, 0), 0);
  ASSERT_EQ(add("DAVE", "K4", "1"), 0);
  EXPECT_EQ(walk(-1, true), (Names{"CAROL     ", "DAVE      "}));
  EXPECT_EQ(KDBkey(id_, 9, 0), 20);
  EXPECT_EQ(KDBerr(id_), 20);
  EXPECT_EQ(KDBposn(id_, "x", 9, "", 0), 20);
  EXPECT_EQ(KDBbackspace(id_ + 99), 7);
}

TEST_F(Records, AutosecureEveryThirdWrite) {
  ASSERT_EQ(KDBautosecure(3), 3);
  // The header on disk counts the record slots (8 hexadecimal digits after
  // the first byte); without network sharing it changes only when secured.
  auto slots_on_disk = [&] { return access_test::read_file(dat()).substr(1, 8); };
  ASSERT_EQ(add("A", "1", "1"), 0);
  ASSERT_EQ(add("B", "1", "1"), 0);
  EXPECT_EQ(slots_on_disk(), "00000001");
  ASSERT_EQ(add("C", "1", "1"), 0);
  EXPECT_EQ(slots_on_disk(), "00000004");
  ASSERT_EQ(add("D", "1", "1"), 0);
  ASSERT_EQ(add("E", "1", "1"), 0);
  EXPECT_EQ(slots_on_disk(), "00000004");
  ASSERT_EQ(add("F", "1", "1"), 0);
  EXPECT_EQ(slots_on_disk(), "00000007");
  EXPECT_EQ(KDBautosecure(0), 0);
  ASSERT_EQ(KDBsecure(id_), 0);
  EXPECT_EQ(KDBsecure(id_ + 99), 7);
}

TEST_F(Records, LockTriesReachOnlyLaterOpens) {
  auto tries = [](int id) {
    const lumbra::kdb_file *f = lumbra::open_files().find(static_cast<uint16_t>(id));
    return std::pair<int, int>(f->req.hdrtries, f->req.rectries);
  };
  EXPECT_EQ(tries(id_), std::make_pair(100, 100));
  ASSERT_EQ(KDBlretry(5, 0), 0);
  EXPECT_EQ(tries(id_), std::make_pair(100, 100));
  ASSERT_EQ(KDBopen(dat().c_str(), "", "", id_ + 1, 3, 0), 0);
  EXPECT_EQ(tries(id_ + 1), std::make_pair(5, 100));
  ASSERT_EQ(KDBlretry(7, 9), 0);
  ASSERT_EQ(KDBopen(dat().c_str(), "", "", id_ + 2, 3, 0), 0);
  EXPECT_EQ(tries(id_ + 2), std::make_pair(7, 9));
  KDBlretry(100, 100);
}

TEST_F(Records, NetworkModeAndChooser) {
  EXPECT_EQ(KDBhost(id_, "nosuchmode"), 27);
  EXPECT_EQ(KDBerr(id_), 106);
  EXPECT_EQ(KDBhost(id_, "SINGLE  "), 0);
  EXPECT_EQ(KDBerr(id_), 0);
  EXPECT_STREQ(KDBfselect("/tmp", "*.Dat", "Open"), "");
  KDBsetfselecthook([](const char *dir, const char *pattern, const char *) -> const char * {
    static std::string chosen;
    chosen = std::string(dir) + "/" + pattern + std::string(600, 'x');
    return chosen.c_str();
  });
  std::string got = KDBfselect("/d", "*.Dat_and_a_very_long_pattern", "Open");
  EXPECT_EQ(got.size(), 512u);
  EXPECT_EQ(got.substr(0, 24), "/d/*.Dat_and_a_very_lonx");  // pattern cut to 20
  KDBsetfselecthook(nullptr);
}

}  // namespace
