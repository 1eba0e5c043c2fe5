// Keyed operations through _filehandler: set key, positioning by key, the
// temporary index and the shared-mode header.
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/index/index.h"
#include "engine/index/nodecache.h"
#include "tests/support/data_fixture.h"
#include "tests/support/scratch.h"

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

// Reads every record of the walk along the current key from where the
// block is positioned: "NAME/CITY" of each.
std::vector<std::string> walk_names(Table &t) {
  std::vector<std::string> seen;
  while (t.positioned()) {
    if (t.op(FHOP_READ) != FHS_OK) {
      ADD_FAILURE() << "read " << +t.block.status;
      break;
    }
    seen.push_back(t.get(1, 5) + "/" + t.get(6, 8));
  }
  return seen;
}

TEST_F(People, WalksReadEveryRecordInKeyOrderBothWays) {
  std::vector<std::string> by_name, by_city;
  for (int i = 0; i < 300; i++) {
    int n = i * 7 % 300;  // on file out of key order
    char name[8], city[12];
    snprintf(name, sizeof name, "N%04d", n);
    snprintf(city, sizeof city, "CITY%04d", n % 40);  // equal cities, told apart by NAME
    add(name, city);
    by_name.push_back(std::string(name) + "/" + city);
    by_city.push_back(std::string(city) + " " + name);
  }
  std::sort(by_name.begin(), by_name.end());
  std::sort(by_city.begin(), by_city.end());
  std::vector<std::string> city_order;
  for (const std::string &s : by_city) city_order.push_back(s.substr(9, 5) + "/" + s.substr(0, 8));
  for (int key : {1, 2}) {
    SCOPED_TRACE(key);
    const std::vector<std::string> &want = key == 1 ? by_name : city_order;
    ASSERT_EQ(t.setkey(key), FHS_OK);
    ASSERT_EQ(t.position_key(""), FHS_OK);
    EXPECT_EQ(walk_names(t), want);
    t.block.mode |= FH_REVERSE;
    ASSERT_EQ(t.position_key("~~~~~~~~"), FHS_OK);
    std::vector<std::string> back = walk_names(t);
    t.block.mode &= static_cast<uint16_t>(~FH_REVERSE);
    EXPECT_EQ(back, std::vector<std::string>(want.rbegin(), want.rend()));
  }
}

// Removals answered from a key's cursor (a delete has just found key 0) stay
// right while other keys' trees split, lose nodes and change their bounds:
// deletes and adds interleaved with steps along either key, then both keys
// walked whole.
TEST_F(People, DeletesAndAddsBetweenStepsKeepEveryKeyWhole) {
  std::set<int> live;
  auto name_of = [](int n) {
    char name[8];
    snprintf(name, sizeof name, "N%04d", n);
    return std::string(name);
  };
  auto city_of = [](int n) {
    char city[12];
    snprintf(city, sizeof city, "CITY%04d", n % 40);
    return std::string(city);
  };
  for (int i = 0; i < 300; i++) {
    int n = i * 7 % 300;
    add(name_of(n), city_of(n));
    live.insert(n);
  }
  for (int round = 0; round < 300; round++) {
    int n = round * 13 % 300;
    // A step along one key leaves its cursor current before the change.
    ASSERT_EQ(t.setkey(1 + round % 2), FHS_OK);
    ASSERT_EQ(t.position_key(round % 2 ? city_of(n) : name_of(n)), FHS_OK);
    if (t.positioned()) {
      ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
    }
    if (live.count(n) && round % 3 != 2) {
      t.clear();
      t.put(1, name_of(n));
      ASSERT_EQ(t.op(FHOP_DELETE), FHS_OK) << n;
      live.erase(n);
    } else {
      add(name_of(n + 1000), city_of(n));
      live.insert(n + 1000);
    }
  }
  std::vector<std::string> by_name, by_city;
  for (int n : live) {
    by_name.push_back(name_of(n) + "/" + city_of(n));
    by_city.push_back(city_of(n) + " " + name_of(n));
  }
  std::sort(by_city.begin(), by_city.end());
  std::vector<std::string> city_order;
  for (const std::string &c : by_city) city_order.push_back(c.substr(9, 5) + "/" + c.substr(0, 8));
  for (int key : {1, 2}) {
    ASSERT_EQ(t.setkey(key), FHS_OK);
    ASSERT_EQ(t.position_key(""), FHS_OK);
    EXPECT_EQ(walk_names(t), key == 1 ? by_name : city_order) << key;
  }
}

// In the shared mode another handle's inserts and deletes between two
// steps of a walk show at the next step. A read has moved on to the next
// entry already; the changes are made just beyond it.
TEST(IndexOps, SharedWalkSeesAnotherHandlesChangesAtTheNextStep) {
  Scratch dir;
  EngineSession session("MSNET");
  write_fid(dir.path("people.fid"), kPeople);
  Table a, b;
  ASSERT_EQ(a.make(dir.path("people.dat")), FHS_OK);
  ASSERT_EQ(b.open(dir.path("people.dat")), FHS_OK);
  a.block.mode |= FH_STAY;
  auto put = [&](int n, int op) {
    a.clear();
    a.put(1, "N" + field(n, 4));
    a.put(6, "CITY    ");
    return a.op(op);
  };
  std::set<int> model;
  for (int n = 0; n < 6000; n += 100) {
    ASSERT_EQ(put(n, FHOP_WRITE), FHS_OK);
    model.insert(n);
  }
  ASSERT_EQ(b.position_key(""), FHS_OK);
  std::vector<int> seen, want;
  int changes = 0;
  while (b.positioned()) {
    ASSERT_EQ(b.op(FHOP_READ), FHS_OK);
    int at = std::stoi(b.get(2, 4));
    seen.push_back(at);
    auto next = model.upper_bound(at);
    if (at % 100 != 0 || next == model.end() || *next % 100 != 0) continue;
    // Right after the entry the walk is at an insert; beyond that, every
    // other time, a delete.
    int added = *next + 1;
    ASSERT_EQ(put(added, FHOP_WRITE), FHS_OK);
    model.insert(added);
    auto gone = model.upper_bound(added);
    if (gone != model.end() && ++changes % 2 == 0) {
      ASSERT_EQ(put(*gone, FHOP_DELETE), FHS_OK);
      model.erase(gone);
    }
  }
  // Every record still there when the walk passed it was read.
  for (int n : model) {
    if (n <= seen.back()) want.push_back(n);
  }
  EXPECT_EQ(seen, want);
  auto inserted = std::count_if(seen.begin(), seen.end(), [](int n) { return n % 100 != 0; });
  EXPECT_GT(inserted, 20);
  EXPECT_LT(seen.size() - inserted, 50u);  // of 60 at first
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
