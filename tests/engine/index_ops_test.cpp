// Keyed operations through _filehandler: set key, positioning by key, the
// temporary index and the shared-mode header.
#include <string.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/index.h"
#include "engine/nodecache.h"
#include "tests/engine/data_fixture.h"
#include "tests/engine/scratch.h"

namespace {

// NAME at raw offset 1 (5 characters), CITY at 6 (8), key 0 NAME, key 1 CITY.
const char kPeople[] =
    "length 20\n"
    "item NAME C 0 5\n"
    "item CITY C 5 8\n"
    "item NOTE C 13 7\n"
    "key NAME\n"
    "key CITY\n";

class People : public ::testing::Test {
 protected:
  void SetUp() override {
    write_fid(dir.path("people.fid"), kPeople);
    ASSERT_EQ(t.make(dir.path("people.dat")), FHS_OK);
  }
  void add(const std::string &name, const std::string &city) {
    t.clear();
    t.put(1, (name + "     ").substr(0, 5));
    t.put(6, (city + "        ").substr(0, 8));
    ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  }
  std::string name_at_recpos() {
    std::vector<char> rec(t.block.reclen);
    EXPECT_EQ(pread(t.block.datfd, rec.data(), rec.size(), +t.block.recpos), static_cast<ssize_t>(rec.size()));
    return std::string(rec.data() + 1, 5);
  }
  Scratch dir;
  EngineSession session;
  Table t;
};

TEST_F(People, PositionByKeyPrefixAndExact) {
  add("SMITH", "LEEDS");
  add("JONES", "YORK");
  ASSERT_EQ(t.position_key("SMI  "), FHS_OK);
  EXPECT_TRUE(t.positioned());
  EXPECT_EQ(name_at_recpos(), "SMITH");
  t.block.mode |= FH_EXACT;
  ASSERT_EQ(t.position_key("SMI  "), FHS_OK);
  EXPECT_FALSE(t.positioned());
  ASSERT_EQ(t.position_key("JONES"), FHS_OK);
  EXPECT_TRUE(t.positioned());
  EXPECT_EQ(name_at_recpos(), "JONES");
  ASSERT_EQ(t.position_key("ZZZ"), FHS_OK);
  EXPECT_FALSE(t.positioned());
}

TEST_F(People, ContainsAndReverse) {
  add("SMITH", "LEEDS");
  add("ADAMS", "LEEDS");
  add("JONES", "YORK");
  t.block.state |= ST_CONTAINS;
  ASSERT_EQ(t.position_key("ONE"), FHS_OK);
  EXPECT_EQ(name_at_recpos(), "JONES");
  t.block.state &= static_cast<uint16_t>(~ST_CONTAINS);
  // Key 1 (CITY) in reverse: the last LEEDS entry, whatever key 0 follows.
  ASSERT_EQ(t.setkey(2), FHS_OK);
  t.block.mode |= FH_REVERSE;
  ASSERT_EQ(t.position_key("LEEDS"), FHS_OK);
  EXPECT_EQ(name_at_recpos(), "SMITH");
  t.block.mode &= static_cast<uint16_t>(~FH_REVERSE);
  ASSERT_EQ(t.position_key("LEEDS"), FHS_OK);
  EXPECT_EQ(name_at_recpos(), "ADAMS");
}

TEST_F(People, SetKey) {
  add("SMITH", "LEEDS");
  t.block.keyarg = 3;
  EXPECT_EQ(t.op(FHOP_SETKEY), FHS_BADKEY);
  ASSERT_EQ(t.setkey(0), FHS_OK);
  EXPECT_TRUE(t.block.mode & FH_NOKEY);
  ASSERT_EQ(t.setkey(2), FHS_OK);
  EXPECT_FALSE(t.block.mode & FH_NOKEY);
  EXPECT_EQ(+t.block.curkey, 1);
  // The current key text is the record's key 1 with its last character raised.
  std::string want = std::string("LEEDS   SMIT") + static_cast<char>('H' + 1);
  EXPECT_EQ(std::string(corvex::index_keytext(&t.block), 13), want);
}

TEST(IndexOps, SetKeyWithoutIndexContextChangesNothing) {
  Scratch dir;
  EngineSession session;
  write_fid(dir.path("people.fid"), kPeople);
  {
    Table made;
    ASSERT_EQ(made.make(dir.path("people.dat")), FHS_OK);
  }
  Table t;
  ASSERT_EQ(t.open(dir.path("people.dat"), FH_NOKEY), FHS_OK);
  ASSERT_EQ(static_cast<void *>(t.block.idxctx), nullptr);
  uint16_t mode = t.block.mode;
  EXPECT_EQ(t.setkey(1), FHS_NOTSUPPORTED);
  EXPECT_EQ(+t.block.mode, +mode);
  EXPECT_EQ(+t.block.curkey, 0);

  write_fid(dir.path("plain.fid"), "length 10\nitem A C 0 10\n");
  Table plain;
  ASSERT_EQ(plain.make(dir.path("plain.dat")), FHS_OK);
  EXPECT_EQ(plain.setkey(1), FHS_NOTSUPPORTED);
}

TEST(IndexOps, TemporaryIndex) {
  Scratch dir;
  EngineSession session;
  write_fid(dir.path("people.fid"), kPeople);
  std::vector<uint32_t> positions;
  {
    Table made;
    ASSERT_EQ(made.make(dir.path("people.dat")), FHS_OK);
    const char *rows[][2] = {{"SMITH", "LEEDS"}, {"ADAMS", "YORK"}, {"JONES", "BATH"}};
    for (auto &r : rows) {
      made.clear();
      made.put(1, r[0]);
      made.put(6, (std::string(r[1]) + "        ").substr(0, 8));
      made.block.mode |= FH_STAY;
      ASSERT_EQ(made.op(FHOP_WRITE), FHS_OK);
      positions.push_back(static_cast<uint32_t>(made.block.recpos));
    }
  }
  for (int round = 0; round < 2; round++) {
    Table tmp;
    tmp.block = fhrequest();
    strncpy(tmp.block.datname, dir.path("people.dat").c_str(), FH_NAMESIZE - 1);
    char expr[] = "CITY";
    tmp.block.keybuf = expr;
    ASSERT_EQ(tmp.op(FHOP_TEMPINDEX), FHS_OK);
    EXPECT_EQ(+tmp.block.nkeys, 1);
    EXPECT_EQ(+tmp.block.keydefs[0].keylen, 12);
    EXPECT_EQ(strcmp(tmp.block.idxname + strlen(tmp.block.idxname) - 4, ".itx"), 0);
    EXPECT_EQ((tmp.block.state & ST_TIDXEXISTED) != 0, round == 1);
    EXPECT_EQ(+tmp.block.recpos, +tmp.block.reclen);
    tmp.buffer.assign(tmp.block.reclen + 8u, ' ');
    tmp.block.recbuf = tmp.buffer.data();
    if (round == 0) {
      const char *cities[] = {"LEEDS   ", "YORK    ", "BATH    "};
      for (int i = 0; i < 3; i++) {
        tmp.clear();
        tmp.put(6, cities[i]);
        tmp.block.recpos = static_cast<int32_t>(positions[i]);
        ASSERT_EQ(tmp.op(FHOP_WRITE), FHS_OK);
      }
    }
    ASSERT_EQ(tmp.position_key("C"), FHS_OK);  // the first city from C on: LEEDS
    EXPECT_EQ(static_cast<uint32_t>(tmp.block.recpos), positions[0]);
    ASSERT_EQ(tmp.position_key("A"), FHS_OK);
    EXPECT_EQ(static_cast<uint32_t>(tmp.block.recpos), positions[2]);
    EXPECT_EQ(tmp.close(), FHS_OK);
  }
  Table bad;
  bad.block = fhrequest();
  strncpy(bad.block.datname, dir.path("people.dat").c_str(), FH_NAMESIZE - 1);
  char expr[] = "NOSUCH";
  bad.block.keybuf = expr;
  EXPECT_EQ(bad.op(FHOP_TEMPINDEX), FHS_BADTEMPEXPR);
  EXPECT_EQ(static_cast<void *>(bad.block.keydefs), nullptr);
}

TEST(IndexOps, SharedModeSeesAnotherBlocksChanges) {
  Scratch dir;
  EngineSession session("MULTI");
  write_fid(dir.path("people.fid"), kPeople);
  Table a, b;
  ASSERT_EQ(a.make(dir.path("people.dat")), FHS_OK);
  ASSERT_EQ(b.open(dir.path("people.dat")), FHS_OK);
  for (int i = 0; i < 200; i++) {
    char name[8];
    snprintf(name, sizeof name, "N%04d", i);
    a.clear();
    a.put(1, name);
    ASSERT_EQ(a.op(FHOP_WRITE), FHS_OK);
    if (i % 40 == 0 || i == 199) {
      ASSERT_EQ(b.position_key(name), FHS_OK);
      EXPECT_TRUE(b.positioned()) << name;
      EXPECT_EQ(+b.block.recpos, +a.block.reclen * (i + 1));
    }
  }
  EXPECT_EQ(corvex::nodecache()->in_use(), 0);  // flushed after every operation
}

}  // namespace
