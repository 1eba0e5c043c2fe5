#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/hash/hashcode.h"
#include "engine/hash/hashfile.h"
#include "engine/ops/parking.h"
#include "tests/support/rfh_fixture.h"

using namespace corvex;

namespace {

// A table of 281 entries keyed by a 10-character item.
const char kDesc[] =
    "length 20\n"
    "hashed 281\n"
    "item KEY C 0 10\n"
    "item VAL C 10 10\n"
    "key KEY\n";

uint32_t le32(const std::string &bytes, size_t at) {
  return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
         static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

std::string padded(const std::string &key) { return key + std::string(10 - key.size(), ' '); }

TEST(HashCode, SizesTableAndChoice) {
  EXPECT_EQ(hash_size_index(0), 0);
  EXPECT_EQ(hash_size_index(281), 0);
  EXPECT_EQ(hash_size_index(282), 1);
  EXPECT_EQ(hash_size_index(288359), 10);
  EXPECT_EQ(hash_size_index(1000000), 10);
  for (uint8_t k = 0; k < HASH_NSIZES; k++) {
    EXPECT_EQ(hash_size_index(kHashSizes[k]), k);
    // Every hash of this size index is a valid slot.
    EXPECT_GT(kHashSizes[k], 1u << (8 + k));
  }
  EXPECT_EQ(kHashSizes[HASH_NSIZES - 1], 288359u);
}

TEST(HashCode, KnownValuesAndBounds) {
  // "A" in the smallest table: h = 65, sum 65, step (281 - 65 + 65) mod 281
  // = 0, taken as 1.
  HashProbe a = hash_probe("A", 0);
  EXPECT_EQ(a.slot, 65u);
  EXPECT_EQ(a.step, 1u);
  // "AB" with k = 1: 65 << 1 = 130, then ^ (~(601 mod 66) & 255) = 130 ^ 248.
  HashProbe ab = hash_probe("AB", 1);
  EXPECT_EQ(ab.slot, 122u);
  EXPECT_EQ(ab.step, (601u - 122 + 131) % 601);
  // Only the bytes before the first zero byte count.
  EXPECT_EQ(hash_probe("AB\0C", 1).slot, ab.slot);

  std::mt19937 rng(7);
  for (uint8_t k = 0; k < HASH_NSIZES; k++) {
    for (int i = 0; i < 2000; i++) {
      char key[40];
      int len = 1 + static_cast<int>(rng() % 39);
      for (int c = 0; c < len; c++) key[c] = static_cast<char>(1 + rng() % 255);
      key[len] = 0;
      HashProbe p = hash_probe(key, k);
      ASSERT_LT(p.slot, kHashSizes[k]);
      ASSERT_GE(p.step, 1u);
      ASSERT_LT(p.step, kHashSizes[k]);
    }
  }
  EXPECT_EQ(hash_next_slot(10, 3, 281), 7u);
  EXPECT_EQ(hash_next_slot(2, 3, 281), 280u);
}

// A probe visits every slot once: the stepped sequence first, in its order,
// then, when the step shares a factor with the size, the slots it missed from
// the first slot downwards.
TEST(HashCode, ProbeWalkVisitsEverySlotOnce) {
  struct Case {
    uint32_t size, slot, step;
  };
  for (Case c : {Case{281, 65, 1}, Case{281, 10, 3}, Case{1501, 700, 19}, Case{1501, 5, 79 * 3},
                 Case{1501, 1500, 1501 - 19}, Case{1501, 0, 2}}) {
    SCOPED_TRACE(c.size * 10000 + c.step);
    std::vector<uint32_t> order;
    for (HashProbeWalk w(HashProbe{c.slot, c.step}, c.size);;) {
      order.push_back(w.slot());
      if (!w.next()) break;
    }
    ASSERT_EQ(order.size(), c.size);
    EXPECT_EQ(std::set<uint32_t>(order.begin(), order.end()).size(), c.size);
    // The stepped part is the plain sequence until it would come back.
    uint32_t slot = c.slot;
    size_t stepped = 0;
    do {
      ASSERT_EQ(order[stepped++], slot);
      slot = hash_next_slot(slot, c.step, c.size);
    } while (slot != c.slot);
    if (stepped < c.size) {
      EXPECT_EQ(order[stepped], c.slot == 0 ? c.size - 1 : c.slot - 1);
    }
  }
}

class HashFileTest : public EngineTest {
 protected:
  // Writes G's data and hash files over H's in place, as a program outside
  // the engine would, behind the back of a block that has H parked.
  void overwriteHWithG() {
    for (const char *ext : {".dat", ".hsh"}) {
      std::string bytes = contents(std::string("G") + ext);
      int fd = open(path(std::string("H") + ext).c_str(), O_WRONLY | O_TRUNC);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
      close(fd);
    }
  }

  // Writes a record with `key` through the open block.
  int put(const std::string &key, const std::string &val) {
    fill(&block_, {{"KEY", key.c_str()}, {"VAL", val.c_str()}});
    return _rfhwrite(&block_, 0);
  }
  // Positions on `key`; true when a record was found.
  bool find(const std::string &key) {
    set_key(&block_, key, 10);
    EXPECT_EQ(_rfhposn(&block_, 0), 0) << "status " << +block_.status;
    return (block_.state & ST_POSITIONED) != 0;
  }
  uint32_t slot_value(uint32_t slot) { return le32(contents("H.hsh"), HASH_HEADERSIZE + 4 * slot); }

  fhrequest block_ = {};
  fhrequest other_ = {};
};

TEST_F(HashFileTest, MakeWritesHeaderAndZeroTable) {
  make(&block_, "H", kDesc);
  EXPECT_EQ(+block_.hashsize, 281u);
  EXPECT_EQ(+block_.hashidx, 0);
  std::string bytes = contents("H.hsh");
  ASSERT_EQ(bytes.size(), 16u + 4 * 288);
  EXPECT_EQ(bytes.substr(0, 4), std::string("QZT\0", 4));
  EXPECT_EQ(le32(bytes, 4) & 0xFFFF, 1376u);
  EXPECT_EQ(le32(bytes, 4) >> 16, 10u);
  EXPECT_EQ(le32(bytes, 8), 281u);
  EXPECT_EQ(le32(bytes, 12), 0u);
  EXPECT_EQ(bytes.find_first_not_of('\0', 16), std::string::npos);

  std::string desc = kDesc;
  desc.replace(desc.find("281"), 3, "282");
  make(&other_, "B", desc);
  EXPECT_EQ(+other_.hashsize, 601u);
  EXPECT_EQ(+other_.hashidx, 1);
  EXPECT_EQ(contents("B.hsh").size(), 16u + 4 * 608);
  EXPECT_EQ(_rfhclose(&other_), 0);

  // The largest table is written in several pieces, the last one short.
  desc.replace(desc.find("282"), 3, "288359");
  make(&other_, "L", desc);
  bytes = contents("L.hsh");
  ASSERT_EQ(bytes.size(), 16u + 4 * 288384);
  EXPECT_EQ(le32(bytes, 8), 288359u);
  EXPECT_EQ(bytes.find_first_not_of('\0', 16), std::string::npos);
  EXPECT_EQ(_rfhclose(&other_), 0);
}

TEST_F(HashFileTest, OpenChecksHeaderAgainstDescription) {
  make(&block_, "H", kDesc);
  ASSERT_EQ(_rfhclose(&block_), 0);

  // A request that maps to another table size.
  std::string desc = kDesc;
  desc.replace(desc.find("281"), 3, "600");
  describe(&block_, "H", desc);
  EXPECT_EQ(_rfhopen(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_HASHFIDMISMATCH);

  // Any request that maps to the same size opens.
  desc = kDesc;
  desc.replace(desc.find("281"), 3, "100");
  describe(&block_, "H", desc);
  ASSERT_EQ(_rfhopen(&block_), 0) << +block_.status;
  EXPECT_EQ(+block_.hashsize, 281u);
  ASSERT_EQ(_rfhclose(&block_), 0);

  std::string good = contents("H.hsh");
  auto damaged = [&](size_t at, char c, int expected) {
    std::string bytes = good;
    bytes[at] = c;
    int fd = open(path("H.hsh").c_str(), O_WRONLY | O_TRUNC);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    describe(&block_, "H", kDesc);
    EXPECT_EQ(_rfhopen(&block_), -1);
    EXPECT_EQ(+block_.status, expected) << "byte " << at;
  };
  damaged(0, 'X', FHS_HASHVERSION);
  damaged(4, 0x61, FHS_HASHVERSION);
  damaged(6, 11, FHS_HASHFIDMISMATCH);
  damaged(8, 0x1A, FHS_HASHFIDMISMATCH);
  ASSERT_EQ(truncate(path("H.hsh").c_str(), 10), 0);
  describe(&block_, "H", kDesc);
  EXPECT_EQ(_rfhopen(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_READHASH);
}

TEST_F(HashFileTest, WriteFindAndRewrite) {
  make(&block_, "H", kDesc);
  ASSERT_EQ(put("ALPHA", "one"), 0);
  ASSERT_EQ(put("BETA", "two"), 0);
  EXPECT_EQ(+block_.nrecs, 3u);
  EXPECT_EQ(+block_.recpos, 2 * block_.reclen);

  ASSERT_TRUE(find("ALPHA"));
  EXPECT_EQ(+block_.recpos, block_.reclen);
  EXPECT_EQ(item(&block_, "VAL"), "one       ");
  // The positioning loaded the record; a read answers at once.
  EXPECT_EQ(_rfhread(&block_, 0), 0);
  EXPECT_EQ(item(&block_, "KEY"), "ALPHA     ");
  // Keys compare without regard to case, as the key rules say.
  EXPECT_FALSE(find("GAMMA"));

  // A rewrite replaces the record in place.
  ASSERT_EQ(put("BETA", "changed"), 0);
  EXPECT_EQ(+block_.nrecs, 3u);
  ASSERT_TRUE(find("BETA"));
  EXPECT_EQ(item(&block_, "VAL"), "changed   ");
  uint32_t slot = hash_probe(padded("BETA").c_str(), 0).slot;
  ASSERT_EQ(_rfhclose(&block_), 0);
  EXPECT_EQ(slot_value(slot), 2u * 22);

  // Everything is there after opening again.
  describe(&block_, "H", kDesc);
  ASSERT_EQ(_rfhopen(&block_), 0);
  EXPECT_EQ(+block_.nrecs, 3u);
  ASSERT_TRUE(find("ALPHA"));
  EXPECT_EQ(item(&block_, "VAL"), "one       ");
}

TEST_F(HashFileTest, CollidingKeyLandsStepSlotsLower) {
  // Two keys whose probes start at the same slot.
  std::string first, second;
  std::map<uint32_t, std::string> seen;
  for (int i = 0; second.empty(); i++) {
    std::string key = padded("K" + std::to_string(i));
    uint32_t slot = hash_probe(key.c_str(), 0).slot;
    auto [it, fresh] = seen.emplace(slot, key);
    if (!fresh) {
      first = it->second;
      second = key;
    }
  }
  HashProbe p1 = hash_probe(first.c_str(), 0);
  HashProbe p2 = hash_probe(second.c_str(), 0);
  ASSERT_EQ(p1.slot, p2.slot);

  make(&block_, "H", kDesc);
  ASSERT_EQ(put(first, "first"), 0);
  ASSERT_EQ(put(second, "second"), 0);
  ASSERT_EQ(_rfhsecure(&block_), 0);
  uint32_t lower = (p2.slot + 281 - p2.step) % 281;
  EXPECT_EQ(slot_value(p1.slot), 22u);
  EXPECT_EQ(slot_value(lower), 44u);
  ASSERT_TRUE(find(second));
  EXPECT_EQ(item(&block_, "VAL"), "second    ");
  ASSERT_TRUE(find(first));
  EXPECT_EQ(item(&block_, "VAL"), "first     ");
}

TEST_F(HashFileTest, DeletedKeyIsRevivedInPlace) {
  make(&block_, "H", kDesc);
  ASSERT_EQ(put("ALPHA", "one"), 0);
  ASSERT_EQ(put("BETA", "two"), 0);
  fill(&block_, {{"KEY", "ALPHA"}});
  ASSERT_EQ(_rfhdelete(&block_), 0);
  EXPECT_EQ(contents("H.dat")[22], 'D');
  // Deleting it again finds nothing to delete.
  EXPECT_EQ(_rfhdelete(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_NORECORD);
  fill(&block_, {{"KEY", "NOSUCH"}});
  EXPECT_EQ(_rfhdelete(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_NORECORD);

  // Positioning on the deleted key finds no record; its slot stays taken.
  EXPECT_FALSE(find("ALPHA"));
  uint32_t slot = hash_probe(padded("ALPHA").c_str(), 0).slot;
  ASSERT_EQ(_rfhsecure(&block_), 0);
  EXPECT_EQ(slot_value(slot), 22u);

  ASSERT_EQ(put("ALPHA", "again"), 0);
  EXPECT_EQ(+block_.nrecs, 3u);
  EXPECT_EQ(+block_.recpos, 22);
  ASSERT_TRUE(find("ALPHA"));
  EXPECT_EQ(item(&block_, "VAL"), "again     ");
  EXPECT_EQ(contents("H.dat")[22], ' ');
}

TEST_F(HashFileTest, FullTableReportsHashFullAndWritesNothing) {
  make(&block_, "H", kDesc);
  for (int i = 0; i < 281; i++) ASSERT_EQ(put("K" + std::to_string(i), "v"), 0) << i;
  ASSERT_EQ(_rfhsecure(&block_), 0);
  std::string dat = contents("H.dat");
  std::string hsh = contents("H.hsh");
  EXPECT_EQ(put("EXTRA", "v"), -1);
  EXPECT_EQ(+block_.status, FHS_HASHFULL);
  EXPECT_EQ(+block_.nrecs, 282u);
  ASSERT_EQ(_rfhsecure(&block_), 0);
  EXPECT_EQ(contents("H.dat"), dat);
  EXPECT_EQ(contents("H.hsh"), hsh);
  // Absent keys are simply not found; present ones still are.
  EXPECT_FALSE(find("EXTRA"));
  EXPECT_TRUE(find("K280"));
  EXPECT_EQ(put("K7", "rewritten"), 0);
}

// 1501 is 19 x 79: keys whose step shares a factor with it still find every
// free slot, and the table is full only when all 1501 are taken.
TEST_F(HashFileTest, TableOfACompositeSizeFillsEverySlot) {
  std::string desc = kDesc;
  desc.replace(desc.find("281"), 3, "1501");
  make(&block_, "H", desc);
  ASSERT_EQ(+block_.hashsize, 1501u);
  int shared_factor = 0;
  for (int i = 0; i < 1501; i++) {
    std::string key = "K" + std::to_string(i);
    if (hash_probe(padded(key).c_str(), 2).step % 19 == 0) shared_factor++;
    ASSERT_EQ(put(key, "v"), 0) << i << " status " << +block_.status;
  }
  EXPECT_GT(shared_factor, 0);
  EXPECT_EQ(put("EXTRA", "v"), -1);
  EXPECT_EQ(+block_.status, FHS_HASHFULL);
  for (int i = 0; i < 1501; i += 50) EXPECT_TRUE(find("K" + std::to_string(i))) << i;
  EXPECT_TRUE(find("K1500"));
}

TEST_F(HashFileTest, SharedModeGoesToTheFilesEachTime) {
  char name[] = "MSNET";
  control_.keybuf = name;
  ASSERT_EQ(call(&control_, FHOP_NETMODE), 0);
  make(&block_, "H", kDesc);
  ASSERT_EQ(put("ALPHA", "one"), 0);
  // The header is written at once in a shared mode.
  EXPECT_EQ(contents("H.dat").substr(1, 8), "00000002");
  // A change made behind the engine's back is seen at the next lookup.
  std::string dat = contents("H.dat");
  dat.replace(22 + 11, 3, "two");
  int fd = open(path("H.dat").c_str(), O_WRONLY);
  ASSERT_EQ(pwrite(fd, dat.data(), dat.size(), 0), static_cast<ssize_t>(dat.size()));
  close(fd);
  ASSERT_TRUE(find("ALPHA"));
  EXPECT_EQ(item(&block_, "VAL"), "two       ");
  fill(&block_, {{"KEY", "ALPHA"}});
  ASSERT_EQ(_rfhdelete(&block_), 0);
  EXPECT_FALSE(find("ALPHA"));
  ASSERT_EQ(put("ALPHA", "three"), 0);
  EXPECT_EQ(+block_.nrecs, 2u);
  ASSERT_TRUE(find("ALPHA"));
  char single[] = "SINGLE";
  control_.keybuf = single;
  ASSERT_EQ(call(&control_, FHOP_NETMODE), 0);
  control_.keybuf = nullptr;
}

// Lookups through one handle see what another handle of the process writes
// at once, in the single-user mode with and without FH_EXCLUSIVE on either:
// new keys, rewritten and deleted records, and keys colliding with ones just
// written.
TEST_F(HashFileTest, SecondHandleSeesEveryWriteAtOnce) {
  for (int modes = 0; modes < 4; modes++) {
    SCOPED_TRACE(modes);
    const uint16_t reader_mode = (modes & 1) ? FH_EXCLUSIVE : 0, writer_mode = (modes & 2) ? FH_EXCLUSIVE : 0;
    make(&block_, "H", kDesc);
    ASSERT_EQ(put("ALPHA", "one"), 0);
    ASSERT_EQ(_rfhclose(&block_), 0);
    fhrequest &writer = other_;
    describe(&block_, "H", kDesc);
    block_.mode = reader_mode;
    ASSERT_EQ(_rfhopen(&block_), 0);
    describe(&writer, "H", kDesc);
    writer.mode = writer_mode;
    ASSERT_EQ(_rfhopen(&writer), 0);
    auto write = [&](const std::string &key, const char *val) {
      fill(&writer, {{"KEY", key.c_str()}, {"VAL", val}});
      return _rfhwrite(&writer, 0);
    };
    // The reader has looked at the table and at ALPHA before each change.
    ASSERT_TRUE(find("ALPHA"));
    EXPECT_FALSE(find("BETA"));
    ASSERT_EQ(write("BETA", "two"), 0);
    ASSERT_TRUE(find("BETA"));
    EXPECT_EQ(item(&block_, "VAL"), "two       ");
    ASSERT_EQ(write("ALPHA", "changed"), 0);
    ASSERT_TRUE(find("ALPHA"));
    EXPECT_EQ(item(&block_, "VAL"), "changed   ");
    fill(&writer, {{"KEY", "ALPHA"}});
    ASSERT_EQ(_rfhdelete(&writer), 0);
    EXPECT_FALSE(find("ALPHA"));
    // Keys whose probes start at one slot, each stored a step further.
    std::map<uint32_t, std::vector<std::string>> by_start;
    std::vector<std::string> colliding;
    for (int i = 0; colliding.empty(); i++) {
      std::string key = "C" + std::to_string(i);
      auto &same = by_start[hash_probe(padded(key).c_str(), 0).slot];
      same.push_back(key);
      if (same.size() == 3) colliding = same;
    }
    for (const std::string &key : colliding) {
      EXPECT_FALSE(find(key));
      ASSERT_EQ(write(key, key.c_str()), 0);
      ASSERT_TRUE(find(key)) << key;
      EXPECT_EQ(item(&block_, "VAL"), padded(key));
    }
    ASSERT_TRUE(find("BETA"));
    ASSERT_EQ(_rfhclose(&writer), 0);
    ASSERT_EQ(_rfhclose(&block_), 0);
  }
}

// An exclusive block passes over candidates by their slot tags; every
// lookup must still end as reading each candidate would: the same status,
// position and record buffer as a plain block on the same files, for keys
// present, absent and differing in letter case, before and after the tags
// are known, also for keys that have no tags (numeric) and when the last
// candidate of a miss was passed over.
TEST_F(HashFileTest, ExclusiveLookupsEndAsReadingEveryCandidate) {
  std::string numeric = kDesc;
  numeric.replace(numeric.find("key KEY"), 7, "key KEY/n");
  for (const std::string &desc : {std::string(kDesc), numeric}) {
    SCOPED_TRACE(desc);
    make(&block_, "H", desc);
    for (int i = 0; i < 250; i++) ASSERT_EQ(put(std::to_string(i * 7) + "x", "v" + std::to_string(i)), 0) << i;
    fill(&block_, {{"KEY", "14x"}});
    ASSERT_EQ(_rfhdelete(&block_), 0);
    ASSERT_EQ(_rfhclose(&block_), 0);
    describe(&block_, "H", desc);
    block_.mode = FH_EXCLUSIVE;
    ASSERT_EQ(_rfhopen(&block_), 0);
    describe(&other_, "H", desc);
    ASSERT_EQ(_rfhopen(&other_), 0);
    for (int round = 0; round < 2; round++) {
      for (int i = 0; i < 300; i += 3) {
        for (const std::string &key : {std::to_string(i * 7) + "x", std::to_string(i * 7) + "X", std::to_string(i)}) {
          memset(block_.recbuf, '?', block_.reclen);
          memset(other_.recbuf, '?', other_.reclen);
          block_.recpos = other_.recpos = 1;
          set_key(&block_, key, 10);
          set_key(&other_, key, 10);
          ASSERT_EQ(_rfhposn(&block_, 0), _rfhposn(&other_, 0)) << key;
          ASSERT_EQ(+block_.status, +other_.status) << key;
          EXPECT_EQ(block_.state & ST_POSITIONED, other_.state & ST_POSITIONED) << key;
          EXPECT_EQ(+block_.recpos, +other_.recpos) << key;
          EXPECT_EQ(std::string(block_.recbuf, block_.reclen), std::string(other_.recbuf, other_.reclen)) << key;
        }
      }
    }
    ASSERT_EQ(_rfhclose(&other_), 0);
    ASSERT_EQ(_rfhclose(&block_), 0);
  }
}

// An exclusive block keeps its copy of the table while parked and takes it
// up again only when both files are unchanged: files rewritten in place
// while it was parked are read afresh.
TEST_F(HashFileTest, ParkedCopyServesOnlyUnchangedFiles) {
  describe(&block_, "H", kDesc);
  block_.mode = FH_EXCLUSIVE;
  ASSERT_EQ(_rfhmake(&block_), 0);
  for (int i = 0; i < 50; i++) ASSERT_EQ(put("K" + std::to_string(i), "k" + std::to_string(i)), 0);
  ASSERT_EQ(_rfhsecure(&block_), 0);
  ASSERT_TRUE(find("K10"));
  EXPECT_EQ(item(&block_, "VAL"), padded("k10"));
  EXPECT_FALSE(find("J5"));
  ASSERT_EQ(_rfhlimbo(&block_), 0);

  make(&other_, "G", kDesc);
  for (int i = 0; i < 60; i++) {
    fill(&other_, {{"KEY", ("J" + std::to_string(i)).c_str()}, {"VAL", ("j" + std::to_string(i)).c_str()}});
    ASSERT_EQ(_rfhwrite(&other_, 0), 0);
  }
  ASSERT_EQ(_rfhclose(&other_), 0);
  overwriteHWithG();
  ASSERT_TRUE(find("J5"));
  EXPECT_EQ(item(&block_, "VAL"), padded("j5"));
  EXPECT_FALSE(find("K10"));
}

// Exclusive blocks of one file share one copy of the table. A block parked
// while another keeps the copy takes it up again with every change made
// meanwhile; once no open block keeps it, files changed behind the engine's
// back while it was parked are read afresh.
TEST_F(HashFileTest, ParkedBlockTakesUpTheCopyAnotherBlockKept) {
  make(&block_, "H", kDesc);
  for (int i = 0; i < 50; i++) ASSERT_EQ(put("K" + std::to_string(i), "k" + std::to_string(i)), 0);
  ASSERT_EQ(_rfhclose(&block_), 0);
  for (fhrequest *b : {&block_, &other_}) {
    describe(b, "H", kDesc);
    b->mode = FH_EXCLUSIVE;
    ASSERT_EQ(_rfhopen(b), 0);
  }
  auto found_by = [&](fhrequest *b, const std::string &key) {
    set_key(b, key, 10);
    EXPECT_EQ(_rfhposn(b, 0), 0) << "status " << +b->status;
    return (b->state & ST_POSITIONED) != 0;
  };
  ASSERT_TRUE(find("K1"));
  ASSERT_TRUE(found_by(&other_, "K2"));
  ASSERT_EQ(_rfhlimbo(&block_), 0);
  fill(&other_, {{"KEY", "NEW"}, {"VAL", "fresh"}});
  ASSERT_EQ(_rfhwrite(&other_, 0), 0);
  fill(&other_, {{"KEY", "K1"}, {"VAL", "changed"}});
  ASSERT_EQ(_rfhwrite(&other_, 0), 0);
  fill(&other_, {{"KEY", "K2"}});
  ASSERT_EQ(_rfhdelete(&other_), 0);
  ASSERT_TRUE(find("NEW"));
  EXPECT_EQ(item(&block_, "VAL"), padded("fresh"));
  ASSERT_TRUE(find("K1"));
  EXPECT_EQ(item(&block_, "VAL"), padded("changed"));
  EXPECT_FALSE(find("K2"));

  ASSERT_EQ(_rfhclose(&other_), 0);
  ASSERT_EQ(_rfhlimbo(&block_), 0);
  make(&other_, "G", kDesc);
  fill(&other_, {{"KEY", "J5"}, {"VAL", "j5"}});
  ASSERT_EQ(_rfhwrite(&other_, 0), 0);
  ASSERT_EQ(_rfhclose(&other_), 0);
  overwriteHWithG();
  ASSERT_TRUE(find("J5"));
  EXPECT_EQ(item(&block_, "VAL"), padded("j5"));
  EXPECT_FALSE(find("NEW"));
}

// Slots that lead nowhere (a position inside a record, one far past the
// end of the file) are answered alike by an exclusive block, which keeps no
// copy of such a table, and by a plain block reading the file.
TEST_F(HashFileTest, DamagedSlotsAnswerAsTheFileDoes) {
  for (int damage = 0; damage < 2; damage++) {
    SCOPED_TRACE(damage);
    make(&block_, "H", kDesc);
    for (int i = 0; i < 40; i++) ASSERT_EQ(put("K" + std::to_string(i), "k" + std::to_string(i)), 0);
    const uint32_t reclen = block_.reclen;
    ASSERT_EQ(_rfhclose(&block_), 0);
    const uint32_t slot = hash_probe(padded("K3").c_str(), 0).slot;
    const uint32_t value = damage == 0 ? slot_value(slot) + 1 : reclen << 20;
    unsigned char raw[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    int fd = open(path("H.hsh").c_str(), O_WRONLY);
    ASSERT_EQ(pwrite(fd, raw, 4, HASH_HEADERSIZE + 4 * slot), 4);
    close(fd);
    describe(&block_, "H", kDesc);
    block_.mode = FH_EXCLUSIVE;
    ASSERT_EQ(_rfhopen(&block_), 0);
    describe(&other_, "H", kDesc);
    ASSERT_EQ(_rfhopen(&other_), 0);
    int failed = 0;
    for (int i = 0; i < 60; i++) {
      const std::string key = "K" + std::to_string(i);
      set_key(&block_, key, 10);
      set_key(&other_, key, 10);
      ASSERT_EQ(_rfhposn(&block_, 0), _rfhposn(&other_, 0)) << key;
      ASSERT_EQ(+block_.status, +other_.status) << key;
      EXPECT_EQ(block_.state & ST_POSITIONED, other_.state & ST_POSITIONED) << key;
      failed += block_.status != FHS_OK;
    }
    EXPECT_GE(failed, 1);
    ASSERT_EQ(_rfhclose(&other_), 0);
    ASSERT_EQ(_rfhclose(&block_), 0);
  }
}

TEST_F(HashFileTest, PhysicalOrderWithKeyZeroOff) {
  make(&block_, "H", kDesc);
  const char *keys[] = {"C", "A", "B"};
  for (const char *k : keys) ASSERT_EQ(put(k, k), 0);
  ASSERT_EQ(_rfhsetkey(&block_, 0), 0);
  char *shared = block_.keybuf;
  uint32_t first = 0;
  block_.keybuf = reinterpret_cast<char *>(&first);
  ASSERT_EQ(_rfhposn(&block_, 0), 0);
  for (const char *k : keys) {
    ASSERT_EQ(_rfhread(&block_, 0), 0);
    EXPECT_EQ(item(&block_, "KEY"), padded(k));
  }
  EXPECT_EQ(_rfhread(&block_, 0), -1);
  EXPECT_EQ(+block_.status, FHS_NORECORD);

  // Key 1 is the hash's key: hashed access comes back. There is no key 2.
  block_.keybuf = shared;
  EXPECT_EQ(_rfhsetkey(&block_, 2), -1);
  EXPECT_EQ(+block_.status, FHS_BADKEY);
  ASSERT_EQ(_rfhsetkey(&block_, 1), 0);
  EXPECT_EQ(block_.mode & FH_NOKEY, 0);
  EXPECT_EQ(+block_.curkey, 0);
  ASSERT_TRUE(find("B"));
  ASSERT_EQ(_rfhread(&block_, 1), 0);
  EXPECT_EQ(item(&block_, "VAL"), padded("B"));
  EXPECT_FALSE(find("D"));
}

TEST_F(HashFileTest, HashedFilesRefuseIndexOnlyMoves) {
  make(&block_, "H", kDesc);
  EXPECT_EQ(_rfhbacksp(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_NOTSUPPORTED);
  block_.opcode = FHOP_END;
  EXPECT_EQ(_filehandler(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_NOTSUPPORTED);
}

}  // namespace
