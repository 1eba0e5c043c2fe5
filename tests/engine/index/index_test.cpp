// Index files driven directly: format, splits, removal, lists, damage, and a
// randomized run against std::multimap.
#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "tests/support/index_fixture.h"

using namespace corvex;

namespace {

std::vector<fhkeydef> text_key(int length) { return make_keys({{{0, static_cast<uint8_t>(length), 0}}}); }

uint32_t u32at(const std::string &b, size_t at) {
  uint32_t v;
  memcpy(&v, b.data() + at, 4);
  return v;
}
uint16_t u16at(const std::string &b, size_t at) {
  uint16_t v;
  memcpy(&v, b.data() + at, 2);
  return v;
}

std::string numbered(int i) {
  char text[16];
  snprintf(text, sizeof text, "K%08d", i);
  return text;
}

TEST(IndexFormat, NewFileHeaderAndFirstLeaf) {
  IndexFile f(make_keys({{{0, 10, 0}}, {{20, 5, 0}}}));
  f.create();
  // Largest key: key 1, 5 + 10 appended = 15: (15 * 24 + 228) & ~127 = 512.
  EXPECT_EQ(f.nodesize(), 512);
  std::string head = f.raw(0);
  EXPECT_EQ(head.substr(0, 4), std::string("QZT\0", 4));
  EXPECT_EQ(u16at(head, 4), 865);
  EXPECT_EQ(u32at(head, 8), 1u);
  EXPECT_EQ(u32at(head, 12), 0u);
  EXPECT_EQ(u32at(head, 16), 0u);
  EXPECT_EQ(u32at(head, 20), 0u);
  EXPECT_EQ(u16at(head, 92), 2);
  EXPECT_EQ(u16at(head, 94), 512);
  EXPECT_EQ(head[96], 10);
  EXPECT_EQ(head[97], 15);
  EXPECT_EQ(head.find_first_not_of('\0', 98), std::string::npos);

  ASSERT_EQ(f.insert("ALPHA", 1000), FHS_OK);
  f.shut();
  ASSERT_EQ(f.open(), FHS_OK);
  head = f.raw(0);
  EXPECT_EQ(u32at(head, 8), 2u);
  EXPECT_EQ(u32at(head, 20), 1u);
  std::string leaf = f.raw(1);
  int cap = (512 - 4) / 14;
  EXPECT_EQ(leaf[0], 2);
  EXPECT_EQ(leaf[1], 1);
  EXPECT_EQ(leaf[2], 0);
  EXPECT_EQ(u32at(leaf, 4), 1000u);
  EXPECT_EQ(leaf.substr(4 + 4 * cap, 10), "ALPHA     ");
}

TEST(IndexFormat, OpenRefusesBadHeaders) {
  IndexFile f(text_key(10));
  f.create();
  f.shut();
  auto reopen_with = [&](int at, const std::string &bytes) {
    int fd = ::open(f.block.idxname, O_RDWR);
    std::string saved(bytes.size(), '\0');
    EXPECT_EQ(pread(fd, saved.data(), saved.size(), at), static_cast<ssize_t>(saved.size()));
    EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), at), static_cast<ssize_t>(bytes.size()));
    int status = f.open();
    f.shut();
    EXPECT_EQ(pwrite(fd, saved.data(), saved.size(), at), static_cast<ssize_t>(saved.size()));
    ::close(fd);
    return status;
  };
  EXPECT_EQ(reopen_with(4, std::string("\x60\x03", 2)), FHS_OLDINDEX);  // 864
  EXPECT_EQ(reopen_with(4, std::string("\x62\x03", 2)), FHS_INDEXVERSION);
  EXPECT_EQ(reopen_with(92, std::string("\x02\x00", 2)), FHS_IDXFIDMISMATCH);
  EXPECT_EQ(reopen_with(96, std::string("\x0b", 1)), FHS_IDXFIDMISMATCH);
  EXPECT_EQ(reopen_with(94, std::string("\x00\x00", 2)), FHS_CORRUPTINDEX);
  EXPECT_EQ(reopen_with(94, std::string("\x80\x00", 2)), FHS_CORRUPTINDEX);  // capacity 8
  ASSERT_EQ(f.open(), FHS_OK);
  f.shut();
  ASSERT_EQ(truncate(f.block.idxname, 50), 0);
  EXPECT_EQ(f.open(), FHS_READINDEX);
  EXPECT_EQ(f.block.idxctx, nullptr);
}

TEST(IndexSplit, AscendingKeepsSevenEighthsLeft) {
  IndexFile f(text_key(10));
  f.create();
  ASSERT_EQ(f.nodesize(), 384);  // capacity 27
  for (int i = 0; i < 27; i++) ASSERT_EQ(f.insert(numbered(i), 100 + i), FHS_OK);
  std::string head = f.raw(0);
  EXPECT_EQ(u32at(head, 20), 3u);  // leaf 1, its new right sibling 2, root 3
  EXPECT_EQ(f.raw(1)[1], 24);
  EXPECT_EQ(f.raw(2)[1], 3);
  std::string root = f.raw(3);
  EXPECT_EQ(root[0], 1);
  EXPECT_EQ(root[1], 2);
  EXPECT_EQ(u32at(root, 4), 1u);
  EXPECT_EQ(u32at(root, 8), 2u);
  EXPECT_EQ(root.substr(4 + 4 * 27, 10), f.pad(numbered(23)));
  f.check();
}

TEST(IndexSplit, MiddleInsertSplitsInHalf) {
  IndexFile f(text_key(10));
  f.create();
  for (int i = 0; i < 26; i++) ASSERT_EQ(f.insert(numbered(2 * i), i + 1), FHS_OK);
  ASSERT_EQ(f.insert(numbered(3), 99), FHS_OK);  // lands at entry 2
  EXPECT_EQ(f.raw(1)[1], 13);
  EXPECT_EQ(f.raw(2)[1], 14);
  f.check();
}

TEST(IndexSplit, InsertAtTheSplitPointMovesItLeft) {
  IndexFile f(text_key(10));
  f.create();
  for (int i = 0; i < 26; i++) ASSERT_EQ(f.insert(numbered(2 * i), i + 1), FHS_OK);
  ASSERT_EQ(f.insert(numbered(25), 99), FHS_OK);  // entry 13 = C / 2
  EXPECT_EQ(f.raw(1)[1], 14);
  EXPECT_EQ(f.raw(2)[1], 13);
  Entries e = f.check()[0];
  EXPECT_EQ(e[13].second, 99u);
}

TEST(IndexSplit, EqualKeysKeepInsertionOrderAcrossLeaves) {
  IndexFile f(text_key(10));
  f.create();
  for (uint32_t i = 1; i <= 200; i++) ASSERT_EQ(f.insert(i % 2 ? "SAME" : "OTHER", i), FHS_OK);
  Entries e = f.check()[0];
  ASSERT_EQ(e.size(), 200u);
  for (size_t i = 0; i < 100; i++) EXPECT_EQ(e[i].second, 2 * i + 2);
  for (size_t i = 0; i < 100; i++) EXPECT_EQ(e[100 + i].second, 2 * i + 1);
  EXPECT_EQ(f.search(IDX_EXACT, "SAME"), 1u);
  EXPECT_EQ(f.search(IDX_LE, "SAME"), 199u);
  EXPECT_EQ(f.remove("SAME", 3), FHS_INDEX);  // the first SAME is position 1
  EXPECT_EQ(f.remove("SAME", 1), FHS_OK);
  EXPECT_EQ(f.search(IDX_EXACT, "SAME"), 3u);
}

TEST(IndexSearch, ModesOnSmallTree) {
  IndexFile f(text_key(6));
  f.create();
  EXPECT_EQ(f.search(IDX_FIRST), 0u);
  EXPECT_EQ(f.search(IDX_EXACT, "B"), 0u);
  for (char c : std::string("BDFH")) ASSERT_EQ(f.insert(std::string(1, c), static_cast<uint32_t>(c)), FHS_OK);
  EXPECT_EQ(f.search(IDX_EXACT, "D"), 'D');
  EXPECT_EQ(f.search(IDX_EXACT, "d"), 'D');  // text keys ignore letter case
  EXPECT_EQ(f.search(IDX_EXACT, "E"), 0u);
  EXPECT_EQ(f.search(IDX_GE, "E"), 'F');
  EXPECT_EQ(f.search(IDX_GE, "I"), 0u);
  EXPECT_EQ(f.search(IDX_LE, "E"), 'D');
  EXPECT_EQ(f.search(IDX_LE, "A"), 0u);
  EXPECT_EQ(f.search(IDX_NEXT, "D"), 'F');
  EXPECT_EQ(f.search(IDX_PREV, "D"), 'B');
  EXPECT_EQ(f.search(IDX_FIRST), 'B');
  EXPECT_EQ(f.current(), f.pad("B"));
  EXPECT_EQ(f.search(IDX_LAST), 'H');
  // Null text: from the current key text.
  uint32_t pos;
  ASSERT_EQ(index_search(&f.block, 0, IDX_PREV, nullptr, &pos), FHS_OK);
  EXPECT_EQ(pos, 'F');
  ASSERT_EQ(index_search(&f.block, 0, IDX_NEXT, nullptr, &pos), FHS_OK);
  EXPECT_EQ(pos, 'H');
  ASSERT_EQ(index_search(&f.block, 0, IDX_NEXT, nullptr, &pos), FHS_OK);
  EXPECT_EQ(pos, 0u);
  EXPECT_EQ(f.current(), f.pad("H"));  // nothing found leaves the text
  EXPECT_EQ(index_search(&f.block, 1, IDX_FIRST, nullptr, &pos), FHS_NOTSUPPORTED);
}

TEST(IndexSearch, FirstAndLastReachEveryByte) {
  IndexFile f(make_keys({{{0, 4, SEG_BINARY}}}));
  f.create();
  ASSERT_EQ(f.insert(std::string(4, '\0'), 1), FHS_OK);
  ASSERT_EQ(f.insert("\xff\xff\xff\xff", 2), FHS_OK);
  ASSERT_EQ(f.insert("MID!", 3), FHS_OK);
  EXPECT_EQ(f.search(IDX_FIRST), 1u);
  EXPECT_EQ(f.search(IDX_LAST), 2u);
}

// Walks by index_step in both directions while entries are inserted next to
// the cursor (splitting its leaf) and the next entries removed between the
// steps: every step answers what the model's next entry is, and at the
// ends of the tree nothing.
TEST(IndexSearch, StepsFollowChangesMadeBetweenThem) {
  for (bool back : {false, true}) {
    SCOPED_TRACE(back ? "backwards" : "forwards");
    IndexFile f(text_key(10));
    f.create();
    std::set<int> model;
    for (int i = 0; i < 300; i++) {
      ASSERT_EQ(f.insert(numbered(i * 100), 1 + i * 100), FHS_OK);
      model.insert(i * 100);
    }
    int mode = back ? IDX_PREV : IDX_NEXT;
    uint32_t pos = f.search(back ? IDX_LAST : IDX_FIRST);
    int at = back ? *model.rbegin() : *model.begin();
    for (int step = 1;; step++) {
      ASSERT_EQ(pos, static_cast<uint32_t>(1 + at));
      ASSERT_EQ(f.current(), f.pad(numbered(at)));
      if (at % 300 == 0) {
        // Enough entries right beside the cursor to split its leaf, all
        // before the next entry of the first 300.
        for (int j = 1; j <= 40; j++) {
          int key = back ? at - j : at + j;
          if (key < 0) continue;
          ASSERT_EQ(f.insert(numbered(key), 1 + key), FHS_OK);
          model.insert(key);
        }
      } else if (step % 5 == 0) {
        auto next = back ? model.find(at) : model.upper_bound(at);
        if (back && next != model.begin()) next = std::prev(next);
        if (next != model.end() && *next != at) {
          ASSERT_EQ(f.remove(numbered(*next), 1 + *next), FHS_OK);
          model.erase(next);
        }
      }
      ASSERT_EQ(index_step(&f.block, mode, &pos), FHS_OK);
      auto it = model.find(at);
      if (back ? it == model.begin() : std::next(it) == model.end()) break;
      at = back ? *std::prev(it) : *std::next(it);
    }
    EXPECT_EQ(pos, 0u);
    // Once more at the end: still nothing, and the key text stays.
    ASSERT_EQ(index_step(&f.block, mode, &pos), FHS_OK);
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(f.current(), f.pad(numbered(back ? *model.begin() : *model.rbegin())));
  }
}

// The read-ahead of a walk names the entries after the current one, on
// into the neighbouring leaf, in either direction.
TEST(IndexSearch, ReadAheadNamesTheNextEntries) {
  IndexFile f(text_key(10));
  f.create();
  constexpr int kEntries = 200, kAhead = 12;
  for (int i = 0; i < kEntries; i++) ASSERT_EQ(f.insert(numbered(i), 1 + i), FHS_OK);
  for (bool back : {false, true}) {
    SCOPED_TRACE(back ? "backwards" : "forwards");
    uint32_t pos = f.search(back ? IDX_LAST : IDX_FIRST);
    ASSERT_EQ(index_step(&f.block, back ? IDX_PREV : IDX_NEXT, &pos), FHS_OK);
    int leaf_starts = 0;
    for (int i = back ? kEntries - 2 : 1; pos != 0; i += back ? -1 : 1) {
      ASSERT_EQ(pos, static_cast<uint32_t>(1 + i));
      uint32_t ahead[kAhead];
      int into = -1;
      int n = index_ahead(&f.block, 1, ahead, kAhead, &into);
      int left = back ? i : kEntries - 1 - i;
      // Every leaf but the last holds more entries than are read ahead.
      ASSERT_EQ(n, std::min(kAhead, left));
      for (int j = 0; j < n; j++) EXPECT_EQ(ahead[j], static_cast<uint32_t>(1 + i + (back ? -1 - j : 1 + j)));
      leaf_starts += into == 0;
      ASSERT_EQ(index_step(&f.block, back ? IDX_PREV : IDX_NEXT, &pos), FHS_OK);
    }
    EXPECT_GT(leaf_starts, 3);
  }
  // A change of the tree leaves the cursor's leaf behind: nothing is named.
  ASSERT_NE(f.search(IDX_FIRST), 0u);
  ASSERT_EQ(f.insert(numbered(kEntries), 1 + kEntries), FHS_OK);
  uint32_t ahead[1];
  int into;
  EXPECT_EQ(index_ahead(&f.block, 1, ahead, 1, &into), 0);
}

TEST(IndexRemove, EmptyingTheTreeFreesEveryNodeForReuse) {
  IndexFile f(text_key(10));
  f.create();
  for (int i = 0; i < 300; i++) ASSERT_EQ(f.insert(numbered(i * 7 % 300), i + 1), FHS_OK);
  f.check();
  uint32_t next = f.ctx()->nextnode;
  for (int i = 0; i < 300; i++) {
    ASSERT_EQ(f.remove(numbered(i * 7 % 300), i + 1), FHS_OK) << i;
    if (i % 50 == 0) f.check();
  }
  EXPECT_EQ(f.ctx()->roots[0], 0u);
  f.check();  // every node is on the free list
  uint32_t head = f.ctx()->freehead;
  ASSERT_NE(head, 0u);
  ASSERT_EQ(f.insert("AGAIN", 1), FHS_OK);
  EXPECT_EQ(f.ctx()->roots[0], head);
  EXPECT_EQ(f.ctx()->nextnode, next);
  EXPECT_EQ(f.remove("AGAIN", 2), FHS_INDEX);
  EXPECT_EQ(f.remove("GONE", 1), FHS_INDEX);
}

TEST(IndexRemove, RemovingALastEntryRenewsTheBound) {
  IndexFile f(text_key(10));
  f.create();
  for (int i = 0; i < 27; i++) ASSERT_EQ(f.insert(numbered(i), 100 + i), FHS_OK);
  ASSERT_EQ(f.remove(numbered(23), 123), FHS_OK);  // highest of the left leaf
  EXPECT_EQ(f.raw(3).substr(4 + 4 * 27, 10), f.pad(numbered(22)));
  EXPECT_EQ(f.search(IDX_GE, numbered(23)), 124u);
  f.check();
}

TEST(IndexSlots, DeletedRecordList) {
  IndexFile f(text_key(10));
  f.create();
  uint32_t pos;
  ASSERT_EQ(index_take_slot(&f.block, 161, &pos), FHS_OK);
  EXPECT_EQ(pos, 0u);
  int cap = (384 - 6) / 6;  // 63
  for (int i = 0; i < cap + 2; i++) ASSERT_EQ(index_add_slot(&f.block, 1000 + i, 161), FHS_OK);
  f.check();
  // Two nodes: the newer one at the head holds 1063 and 1064.
  // Fixed-length records: only the first entry of the first node counts.
  ASSERT_EQ(index_take_slot(&f.block, 161, &pos), FHS_OK);
  EXPECT_EQ(pos, 1063u);
  ASSERT_EQ(index_take_slot(&f.block, 99, &pos), FHS_OK);
  EXPECT_EQ(pos, 0u);
  // Variable length: any entry of the right length.
  f.block.mode |= FH_VARLEN;
  ASSERT_EQ(index_add_slot(&f.block, 5000, 40), FHS_OK);
  ASSERT_EQ(index_take_slot(&f.block, 40, &pos), FHS_OK);
  EXPECT_EQ(pos, 5000u);
  uint32_t head = f.ctx()->delhead;
  EXPECT_EQ(f.ctx()->freehead, 0u);
  // Taking the head node's last entry unlinks it onto the free list.
  ASSERT_EQ(index_take_slot(&f.block, 161, &pos), FHS_OK);
  EXPECT_EQ(pos, 1064u);
  EXPECT_EQ(f.ctx()->freehead, head);
  ASSERT_EQ(index_take_slot(&f.block, 161, &pos), FHS_OK);
  EXPECT_EQ(pos, 1000u);
  f.check();
}

TEST(IndexDamage, ImpossibleNodesGiveCorruptIndex) {
  IndexFile f(text_key(10));
  f.create();
  for (int i = 0; i < 60; i++) ASSERT_EQ(f.insert(numbered(i), i + 1), FHS_OK);
  uint32_t root = f.ctx()->roots[0];
  std::string good = f.raw(1);
  auto damaged = [&](int at, const std::string &bytes, int mode) {
    f.poke(1, at, bytes);
    int status = 0;
    f.search(mode, numbered(0), 0, &status);
    f.poke(1, 0, good);
    return status;
  };
  EXPECT_EQ(damaged(0, "\x07", IDX_EXACT), FHS_CORRUPTINDEX);   // kind
  EXPECT_EQ(damaged(1, std::string(1, '\0'), IDX_GE), FHS_CORRUPTINDEX);  // empty
  EXPECT_EQ(damaged(1, "\xff", IDX_FIRST), FHS_CORRUPTINDEX);  // count beyond the capacity
  EXPECT_EQ(damaged(2, "\x01", IDX_EXACT), FHS_CORRUPTINDEX);  // another key
  EXPECT_EQ(damaged(1, "\x1c", IDX_GE), FHS_CORRUPTINDEX);     // 28 > capacity 27
  int status;
  f.search(IDX_EXACT, numbered(0), 0, &status);
  EXPECT_EQ(status, FHS_OK);
  // A child beyond the file's nodes, and a root that is its own child.
  std::string top = f.raw(root);
  f.poke(root, 4, std::string("\xff\xff\x00\x00", 4));
  f.search(IDX_EXACT, numbered(0), 0, &status);
  EXPECT_EQ(status, FHS_CORRUPTINDEX);
  uint32_t self = root;
  f.poke(root, 4, std::string(reinterpret_cast<char *>(&self), 4));
  f.search(IDX_FIRST, "", 0, &status);
  EXPECT_EQ(status, FHS_CORRUPTINDEX);
  EXPECT_EQ(f.insert("A", 1), FHS_CORRUPTINDEX);
  f.poke(root, 0, top);
  // A deleted-record list that loops.
  ASSERT_EQ(index_add_slot(&f.block, 500, 10), FHS_OK);
  uint32_t del = f.ctx()->delhead;
  f.poke(del, 0, std::string(reinterpret_cast<char *>(&del), 4));
  uint32_t pos;
  f.block.mode |= FH_VARLEN;
  EXPECT_EQ(index_take_slot(&f.block, 11, &pos), FHS_CORRUPTINDEX);
}

TEST(IndexCache, NodesStayDirtyUntilFlushed) {
  IndexFile f(text_key(10));
  f.create();
  ASSERT_EQ(f.insert("CACHED", 7), FHS_OK);
  bool dirty = false;
  ASSERT_TRUE(nodecache()->holds(f.block.idxfd, 1, &dirty));
  EXPECT_TRUE(dirty);
  // Not yet in the file: node 1 is the zero-filled mark of unwritten changes.
  std::string before(384, 'x');
  EXPECT_EQ(pread(f.block.idxfd, before.data(), 384, 384), 384);
  EXPECT_EQ(before, std::string(384, '\0'));
  EXPECT_EQ(index_flush_nodes(&f.block), FHS_OK);
  EXPECT_FALSE(nodecache()->holds(f.block.idxfd, 1, nullptr));
  EXPECT_EQ(f.search(IDX_EXACT, "CACHED"), 7u);
}

// Random inserts, removals and searches against std::multimap.
void randomized(bool cache) {
  IndexFile f(text_key(10), 200, cache);
  f.create();
  std::multimap<std::string, uint32_t> model;
  std::mt19937 rng(cache ? 7 : 11);
  std::vector<std::string> pool;
  for (int i = 0; i < 1500; i++) {
    std::string t;
    for (int j = 0; j < 10; j++) t += "ABCDEFGHIJ"[rng() % (j < 3 ? 10 : 2)];
    pool.push_back(t);
  }
  uint32_t nextpos = 1;
  auto expect_found = [&](int mode, const std::string &t, std::multimap<std::string, uint32_t>::iterator it) {
    uint32_t want = it == model.end() ? 0 : it->second;
    int status;
    ASSERT_EQ(f.search(mode, t, 0, &status), want) << "mode " << mode << " text " << t;
    ASSERT_EQ(status, FHS_OK);
    if (want) {
      ASSERT_EQ(f.current(), it->first);
    }
  };
  for (int batch = 0; batch < 24; batch++) {
    for (int op = 0; op < 250; op++) {
      int r = rng() % 100;
      const std::string &t = pool[rng() % pool.size()];
      int grow = batch < 16 ? 60 : 25;  // grow first, then shrink
      if (r < grow) {
        ASSERT_EQ(f.insert(t, nextpos), FHS_OK);
        model.emplace(t, nextpos++);
      } else if (r < 80) {
        auto it = model.lower_bound(t);
        bool present = it != model.end() && it->first == t;
        uint32_t pos = present && rng() % 8 ? it->second : nextpos + 1;
        ASSERT_EQ(f.remove(t, pos), present && pos == it->second ? FHS_OK : FHS_INDEX);
        if (present && pos == it->second) model.erase(it);
      } else {
        switch (rng() % 6) {
          case 0: {
            auto it = model.lower_bound(t);
            expect_found(IDX_EXACT, t, it != model.end() && it->first == t ? it : model.end());
            break;
          }
          case 1:
            expect_found(IDX_GE, t, model.lower_bound(t));
            break;
          case 2:
            expect_found(IDX_NEXT, t, model.upper_bound(t));
            break;
          case 3: {
            auto it = model.upper_bound(t);
            expect_found(IDX_LE, t, it == model.begin() ? model.end() : std::prev(it));
            break;
          }
          case 4: {
            auto it = model.lower_bound(t);
            expect_found(IDX_PREV, t, it == model.begin() ? model.end() : std::prev(it));
            break;
          }
          default:
            expect_found(IDX_FIRST, "", model.begin());
            expect_found(IDX_LAST, "", model.empty() ? model.end() : std::prev(model.end()));
        }
      }
    }
    Entries e = f.check()[0];
    ASSERT_EQ(e.size(), model.size()) << "batch " << batch;
    size_t i = 0;
    for (const auto &[key, pos] : model) {
      ASSERT_EQ(e[i].first, key);
      ASSERT_EQ(e[i].second, pos);
      i++;
    }
    // A walk in key order visits the first entry of every distinct key.
    uint32_t pos = f.search(IDX_FIRST);
    for (auto it = model.begin(); it != model.end(); it = model.upper_bound(it->first)) {
      ASSERT_EQ(pos, it->second);
      ASSERT_EQ(index_search(&f.block, 0, IDX_NEXT, nullptr, &pos), FHS_OK);
    }
    ASSERT_EQ(pos, 0u);
  }
  ASSERT_GT(model.size(), 100u);
}

TEST(IndexRandomized, AgainstMultimapWithCache) { randomized(true); }
TEST(IndexRandomized, AgainstMultimapWithoutCache) { randomized(false); }

}  // namespace
