// The copies that spare reads: clean index nodes beneath the node cache and
// the data file pages of exclusive blocks. Each must show what the file
// holds whenever another handle may have changed it.
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/datacache.h"
#include "engine/index/nodemirror.h"
#include "tests/support/data_fixture.h"
#include "tests/support/index_fixture.h"
#include "tests/support/scratch.h"

using namespace corvex;

namespace {

std::vector<uint8_t> image(uint16_t size, uint8_t fill) { return std::vector<uint8_t>(size, fill); }

TEST(NodeMirror, KeepsReplacesAndForgets) {
  corvex::NodeMirror m(128, size_t{1} << 20);
  EXPECT_EQ(m.find(7), nullptr);
  m.put(7, image(128, 1).data());
  m.put(300, image(128, 2).data());  // another chunk
  ASSERT_NE(m.find(7), nullptr);
  EXPECT_EQ(m.find(7)[127], 1);
  EXPECT_EQ(m.find(300)[0], 2);
  EXPECT_EQ(m.find(8), nullptr);  // same chunk, never put
  m.put(7, image(128, 3).data());
  EXPECT_EQ(m.find(7)[0], 3);
  m.clear();
  EXPECT_EQ(m.find(7), nullptr);
  EXPECT_EQ(m.bytes(), 0u);
}

TEST(NodeMirror, StaysWithinItsBound) {
  // Room for one chunk of 256 nodes of 64 bytes: nodes of a second chunk
  // are not kept.
  corvex::NodeMirror m(64, 256 * 64);
  m.put(1, image(64, 9).data());
  m.put(1000, image(64, 9).data());
  EXPECT_NE(m.find(1), nullptr);
  EXPECT_EQ(m.find(1000), nullptr);
  EXPECT_LE(m.bytes(), 256u * 64);
}

std::vector<fhkeydef> code_key() { return make_keys({{fhsegment{0, 8, 0}}}); }

std::string code(int i) {
  char text[16];
  snprintf(text, sizeof text, "K%07d", i);
  return text;
}

// Two handles on one index, as two processes would have them.
TEST(IndexMirror, ChangesOfAnotherHandleShowAfterAFlush) {
  IndexFile a(code_key());
  a.create();
  for (int i = 0; i < 400; i++) ASSERT_EQ(corvex::index_insert(&a.block, 0, code(i).c_str(), 100 + i), FHS_OK);
  ASSERT_EQ(corvex::index_flush_nodes(&a.block), FHS_OK);
  ASSERT_EQ(corvex::index_write_header(&a.block), FHS_OK);
  uint32_t pos = 0;
  for (int i = 0; i < 400; i++) ASSERT_EQ(corvex::index_search(&a.block, 0, IDX_EXACT, code(i).c_str(), &pos), FHS_OK);
  EXPECT_GT(corvex::ctx_of(&a.block)->mirror->bytes(), 0u);

  // The other handle removes a key (the roots stay) and writes its nodes.
  fhrequest b = a.block;
  b.idxctx = nullptr;
  b.idxfd = ::open(a.block.idxname, O_RDWR);
  ASSERT_EQ(corvex::index_open(&b), FHS_OK);
  ASSERT_EQ(corvex::index_remove(&b, 0, code(200).c_str(), 300), FHS_OK);
  ASSERT_EQ(corvex::index_close(&b), FHS_OK);
  ::close(b.idxfd);

  // Once the first handle has flushed (as park and secure do) it reads the
  // file again.
  ASSERT_EQ(corvex::index_flush_nodes(&a.block), FHS_OK);
  EXPECT_EQ(corvex::ctx_of(&a.block)->mirror->bytes(), 0u);
  ASSERT_EQ(corvex::index_search(&a.block, 0, IDX_EXACT, code(200).c_str(), &pos), FHS_OK);
  EXPECT_EQ(pos, 0u);
  ASSERT_EQ(corvex::index_search(&a.block, 0, IDX_EXACT, code(201).c_str(), &pos), FHS_OK);
  EXPECT_EQ(pos, 301u);
}

TEST(IndexMirror, WritesKeepTheCopiesCurrentPastTheNodeCache) {
  // Far more leaves than the node cache holds: later searches meet copies
  // of nodes the cache has evicted, which must carry every write.
  IndexFile f(code_key());
  f.create();
  for (int i = 0; i < 6000; i += 2) ASSERT_EQ(corvex::index_insert(&f.block, 0, code(i).c_str(), 1 + i), FHS_OK);
  uint32_t pos = 0;
  for (int i = 0; i < 6000; i += 2) ASSERT_EQ(corvex::index_search(&f.block, 0, IDX_EXACT, code(i).c_str(), &pos), FHS_OK);
  for (int i = 1; i < 6000; i += 2) ASSERT_EQ(corvex::index_insert(&f.block, 0, code(i).c_str(), 1 + i), FHS_OK);
  for (int i = 0; i < 6000; i += 3) ASSERT_EQ(corvex::index_remove(&f.block, 0, code(i).c_str(), 1 + i), FHS_OK);
  for (int i = 0; i < 6000; i++) {
    ASSERT_EQ(corvex::index_search(&f.block, 0, IDX_EXACT, code(i).c_str(), &pos), FHS_OK);
    ASSERT_EQ(pos, i % 3 == 0 ? 0u : 1u + i) << i;
  }
  // A walk meets every key in order, stepping from leaf to leaf.
  int seen = 0, last = -1;
  for (corvex::index_search(&f.block, 0, IDX_FIRST, nullptr, &pos); pos != 0;
       corvex::index_search(&f.block, 0, IDX_NEXT, nullptr, &pos)) {
    ASSERT_GT(static_cast<int>(pos) - 1, last);
    last = static_cast<int>(pos) - 1;
    seen++;
  }
  EXPECT_EQ(seen, 4000);
}

TEST(IndexMirror, SharedBlocksKeepNoCopies) {
  EngineSession session("MSNET");
  IndexFile f(code_key(), 200, false);
  f.create();
  uint32_t pos = 0;
  for (int i = 0; i < 300; i++) ASSERT_EQ(corvex::index_insert(&f.block, 0, code(i).c_str(), 1 + i), FHS_OK);
  ASSERT_EQ(corvex::index_search(&f.block, 0, IDX_EXACT, code(5).c_str(), &pos), FHS_OK);
  EXPECT_EQ(pos, 6u);
  EXPECT_EQ(corvex::ctx_of(&f.block)->mirror->bytes(), 0u);
}

const char kCodes[] =
    "length 20\n"
    "item CODE C 0 8\n"
    "item TEXT C 8 10\n"
    "key CODE\n";

class DataPages : public ::testing::Test {
 protected:
  std::string dat() const { return scratch_.path("P.dat"); }
  void SetUp() override { write_fid(scratch_.path("P.fid"), kCodes); }
  int add(Table &t, const std::string &key, const std::string &text) {
    t.clear();
    t.put(1, key);
    t.put(9, text);
    return t.op(FHOP_WRITE);
  }
  std::string read(Table &t, const std::string &key) {
    t.block.mode |= FH_STAY;
    if (t.position_key(key) != FHS_OK || !t.positioned() || t.op(FHOP_READ) != FHS_OK) return "?";
    return t.get(9, 10);
  }
  EngineSession session_;
  Scratch scratch_;
};

TEST_F(DataPages, ExclusiveBlocksReadWhatEveryHandleWrote) {
  Table a, b;
  ASSERT_EQ(a.make(dat(), FH_EXCLUSIVE), FHS_OK);
  ASSERT_EQ(add(a, "A0000001", "first     "), FHS_OK);
  ASSERT_EQ(add(a, "A0000002", "second    "), FHS_OK);
  EXPECT_EQ(read(a, "A0000001"), "first     ");
  EXPECT_GT(corvex::datacache_bytes(&a.block), 0u);
  // Its own rewrite, and a record appended past the loaded end.
  ASSERT_EQ(add(a, "A0000001", "rewritten "), FHS_OK);
  ASSERT_EQ(add(a, "A0000003", "third     "), FHS_OK);
  EXPECT_EQ(read(a, "A0000001"), "rewritten ");
  EXPECT_EQ(read(a, "A0000003"), "third     ");
  // Another handle of the process on the same file.
  ASSERT_EQ(a.op(FHOP_SECURE), FHS_OK);
  ASSERT_EQ(b.open(dat(), FH_EXCLUSIVE), FHS_OK);
  ASSERT_EQ(add(b, "A0000002", "by b      "), FHS_OK);
  ASSERT_EQ(b.close(), FHS_OK);
  EXPECT_EQ(read(a, "A0000002"), "by b      ");
  ASSERT_EQ(a.close(), FHS_OK);
  EXPECT_EQ(corvex::datacache_bytes(&a.block), 0u);
}

TEST_F(DataPages, OtherBlocksReadTheFileEachTime) {
  Table t;
  ASSERT_EQ(t.make(dat()), FHS_OK);
  ASSERT_EQ(add(t, "A0000001", "first     "), FHS_OK);
  EXPECT_EQ(read(t, "A0000001"), "first     ");
  EXPECT_EQ(corvex::datacache_bytes(&t.block), 0u);
  // A change from outside shows at once.
  int fd = ::open(dat().c_str(), O_RDWR);
  ASSERT_EQ(pwrite(fd, "outside", 7, t.block.reclen + 9), 7);
  ::close(fd);
  EXPECT_EQ(read(t, "A0000001"), "outside   ");
}

}  // namespace
