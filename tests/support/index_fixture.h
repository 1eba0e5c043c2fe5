// An index file driven directly through the index module, with a checker
// that reads the file back and verifies every tree invariant.
#ifndef TESSALY_TESTS_SUPPORT_INDEX_FIXTURE_H
#define TESSALY_TESTS_SUPPORT_INDEX_FIXTURE_H

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/index/index.h"
#include "engine/index/indexctx.h"
#include "engine/index/keys.h"
#include "engine/index/nodecache.h"
#include "tests/support/scratch.h"
#include "util/memory.h"

using Entries = std::vector<std::pair<std::string, uint32_t>>;

// Key descriptors over a record: key 0 first; every later key gets key 0's
// length added, as the description loader does.
inline std::vector<fhkeydef> make_keys(const std::vector<std::vector<fhsegment>> &segs) {
  std::vector<fhkeydef> keys(segs.size());
  for (size_t k = 0; k < segs.size(); k++) {
    memset(&keys[k], 0, sizeof keys[k]);
    int len = 0;
    for (size_t s = 0; s < segs[k].size(); s++) {
      keys[k].seg[s] = segs[k][s];
      len += segs[k][s].length;
    }
    keys[k].nsegs = static_cast<uint8_t>(segs[k].size());
    keys[k].keylen = static_cast<uint8_t>(len + (k > 0 ? keys[0].keylen : 0));
  }
  return keys;
}

class IndexFile {
 public:
  explicit IndexFile(const std::vector<fhkeydef> &keys, uint16_t reclen = 200, bool cache = true)
      : cache_(cache) {
    if (cache_) corvex::nodecache_setup();
    block.nkeys = static_cast<uint8_t>(keys.size());
    block.keydefs = static_cast<fhkeydef *>(globalcalloc(keys.size(), sizeof(fhkeydef)));
    memcpy(block.keydefs, keys.data(), keys.size() * sizeof(fhkeydef));
    block.reclen = reclen;
    record.assign(reclen + 1u, ' ');
    block.recbuf = record.data();
    strncpy(block.idxname, dir.path("t.idx").c_str(), FH_NAMESIZE - 1);
    block.idxfd = -1;
  }
  ~IndexFile() {
    shut();
    globalmfree(block.keydefs);
    if (cache_) corvex::nodecache_shutdown();
  }

  int make() { return corvex::index_make(&block); }
  int open() {
    block.idxfd = ::open(block.idxname, O_RDWR);
    if (block.idxfd < 0) return FHS_OPENINDEX;
    return corvex::index_open(&block);
  }
  void create() {
    ASSERT_EQ(make(), FHS_OK);
    ASSERT_EQ(open(), FHS_OK);
  }
  void shut() {
    corvex::index_close(&block);
    if (block.idxfd >= 0) ::close(block.idxfd);
    block.idxfd = -1;
  }

  int len(int k) const { return block.keydefs[k].keylen; }
  // `text` padded with spaces to key k's length.
  std::string pad(const std::string &text, int k = 0) const {
    std::string t = text;
    t.resize(len(k), ' ');
    return t;
  }
  int insert(const std::string &text, uint32_t pos, int k = 0) {
    return corvex::index_insert(&block, k, pad(text, k).c_str(), pos);
  }
  int remove(const std::string &text, uint32_t pos, int k = 0) {
    return corvex::index_remove(&block, k, pad(text, k).c_str(), pos);
  }
  // Searches and returns the position; *status gets the status.
  uint32_t search(int mode, const std::string &text = "", int k = 0, int *status = nullptr) {
    uint32_t pos = 99999;
    std::string t = pad(text, k);
    int s = corvex::index_search(&block, k, mode, t.c_str(), &pos);
    if (status) *status = s;
    return pos;
  }
  std::string current(int k = 0) { return std::string(corvex::index_keytext(&block), len(k)); }

  // Raw access after the cache is written back.
  std::string raw(uint32_t node) {
    corvex::index_write_header(&block);
    corvex::index_flush_nodes(&block);
    uint16_t n = nodesize();
    std::string b(n, '\0');
    EXPECT_EQ(pread(block.idxfd, b.data(), n, static_cast<off_t>(node) * n), n);
    return b;
  }
  void poke(uint32_t node, int at, const std::string &bytes) {
    corvex::index_flush_nodes(&block);
    off_t where = static_cast<off_t>(node) * nodesize() + at;
    ASSERT_EQ(pwrite(block.idxfd, bytes.data(), bytes.size(), where), static_cast<ssize_t>(bytes.size()));
  }
  uint16_t nodesize() const { return corvex::ctx_of(&block)->nodesize; }
  corvex::IndexCtx *ctx() const { return corvex::ctx_of(&block); }

  // Reads the whole file back and checks every invariant; returns the
  // entries of each key in tree order.
  std::vector<Entries> check() {
    corvex::index_write_header(&block);
    std::string head = raw(0);
    auto u32 = [](const std::string &b, size_t at) {
      uint32_t v;
      memcpy(&v, b.data() + at, 4);
      return v;
    };
    uint32_t next = u32(head, 8);
    std::vector<int> seen(next, 0);
    std::vector<Entries> out(block.nkeys);
    for (int k = 0; k < block.nkeys; k++) {
      uint32_t root = u32(head, 20 + 4 * k);
      if (root == 0) continue;
      int leafdepth = -1;
      std::string top;
      walk(k, root, 0, &leafdepth, &seen, &out[k], &top);
      for (size_t i = 1; i < out[k].size(); i++) {
        EXPECT_LE(corvex::key_compare(&block, k, out[k][i - 1].first.c_str(), out[k][i].first.c_str()), 0)
            << "order at entry " << i;
      }
    }
    uint32_t steps = 0;
    for (uint32_t n = u32(head, 12); n != 0 && steps <= next; steps++) {
      EXPECT_LT(n, next);
      if (n >= next) break;
      seen[n]++;
      std::string b = raw(n);
      EXPECT_EQ(b.find_first_not_of('\0', 4), std::string::npos) << "free node " << n << " not zeroed";
      n = u32(b, 0);
    }
    steps = 0;
    for (uint32_t n = u32(head, 16); n != 0 && steps <= next; steps++) {
      EXPECT_LT(n, next);
      if (n >= next) break;
      seen[n]++;
      std::string b = raw(n);
      uint16_t count;
      memcpy(&count, b.data() + 4, 2);
      EXPECT_GE(count, 1);
      EXPECT_LE(count, (nodesize() - 6) / 6);
      n = u32(b, 0);
    }
    for (uint32_t n = 1; n < next; n++) EXPECT_EQ(seen[n], 1) << "node " << n << " owned " << seen[n] << " times";
    return out;
  }

  Scratch dir;
  fhrequest block = {};
  std::string record;

 private:
  // Walks the subtree of node n; *top is its highest key.
  void walk(int k, uint32_t n, int depth, int *leafdepth, std::vector<int> *seen, Entries *out, std::string *top) {
    ASSERT_LT(n, seen->size());
    ASSERT_LT(depth, 16);
    (*seen)[n]++;
    std::string b = raw(n);
    int l = len(k);
    int cap = (nodesize() - 4) / (l + 4);
    int count = static_cast<unsigned char>(b[1]);
    ASSERT_TRUE(b[0] == 1 || b[0] == 2) << "kind of node " << n;
    ASSERT_EQ(b[2], k) << "key number of node " << n;
    ASSERT_GE(count, 1) << "node " << n;
    ASSERT_LT(count, cap < 255 ? cap : 255) << "node " << n;
    auto ptr = [&](int i) {
      uint32_t v;
      memcpy(&v, b.data() + 4 + 4 * i, 4);
      return v;
    };
    auto key = [&](int i) { return b.substr(4 + 4 * cap + static_cast<size_t>(i) * l, l); };
    for (int i = count; i < cap; i++) {
      EXPECT_EQ(ptr(i), 0u) << "unused pointer " << i << " of node " << n;
      EXPECT_EQ(key(i), std::string(l, '\0')) << "unused key " << i << " of node " << n;
    }
    if (b[0] == 2) {
      if (*leafdepth < 0) *leafdepth = depth;
      EXPECT_EQ(*leafdepth, depth) << "leaf " << n << " at another depth";
      for (int i = 0; i < count; i++) out->emplace_back(key(i), ptr(i));
      *top = key(count - 1);
      return;
    }
    for (int i = 0; i < count; i++) {
      std::string sub;
      walk(k, ptr(i), depth + 1, leafdepth, seen, out, &sub);
      if (i < count - 1) {
        EXPECT_EQ(sub, key(i)) << "bound " << i << " of node " << n;
      }
      *top = sub;
    }
  }

  bool cache_;
};

#endif
