#include "engine/data/datacache.h"

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "engine/core/engine.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr size_t kPageBytes = size_t{32} << 10;
constexpr size_t kBytesMax = size_t{128} << 20;

struct Page {
  std::unique_ptr<char[]> bytes;
  size_t valid = 0;  // bytes of the page that the file holds
};

struct Pages {
  int datfd = -1;  // the handle the pages were loaded from
  dev_t dev = 0;
  ino_t ino = 0;
  size_t held = 0;
  std::vector<std::unique_ptr<Page>> pages;  // page i covers bytes from i * kPageBytes
};

std::unordered_map<const fhrequest *, std::unique_ptr<Pages>> &caches() {
  static std::unordered_map<const fhrequest *, std::unique_ptr<Pages>> map;
  return map;
}

// Only a block opened for itself alone is cached: without FH_EXCLUSIVE,
// even in network mode 0, a change another handle makes to the file must
// show at the next read.
bool cacheable(const fhrequest *block) {
  return (block->mode & FH_EXCLUSIVE) && !block_is_shared(block) && block->datfd >= 0;
}

// The block's pages, made on first use; null for a block that is not
// cached (whose pages, if any, are dropped) or when memory fails.
Pages *pages_of(const fhrequest *block) {
  auto &map = caches();
  bool wanted = cacheable(block);
  if (!wanted && map.empty()) return nullptr;
  auto it = map.find(block);
  if (!wanted) {
    if (it != map.end()) map.erase(it);
    return nullptr;
  }
  if (it != map.end() && it->second->datfd == block->datfd) return it->second.get();
  struct stat st;
  if (fstat(block->datfd, &st) != 0) return nullptr;
  std::unique_ptr<Pages> fresh(new (std::nothrow) Pages);
  if (!fresh) return nullptr;
  fresh->datfd = block->datfd;
  fresh->dev = st.st_dev;
  fresh->ino = st.st_ino;
  Pages *raw = fresh.get();
  try {
    map[block] = std::move(fresh);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  return raw;
}

// Reads page i from the file, whole or up to the end of the file.
bool load(Pages *p, Page *page, size_t i) {
  ssize_t got = pread_full(p->datfd, page->bytes.get(), kPageBytes, static_cast<off_t>(i * kPageBytes));
  if (got < 0) return false;
  page->valid = static_cast<size_t>(got);
  return true;
}

// Page i, loaded from the file when it is not held yet (or when it ends
// before byte `need` of it: the file may have grown); null when it cannot
// be had.
Page *page_at(Pages *p, size_t i, size_t need) {
  if (i >= p->pages.size()) {
    try {
      p->pages.resize(i + 1);
    } catch (const std::bad_alloc &) {
      return nullptr;
    }
  }
  std::unique_ptr<Page> &slot = p->pages[i];
  if (slot && slot->valid >= need) return slot.get();
  if (!slot) {
    if (p->held + kPageBytes > kBytesMax) return nullptr;
    std::unique_ptr<Page> page(new (std::nothrow) Page);
    if (!page) return nullptr;
    page->bytes.reset(new (std::nothrow) char[kPageBytes]);
    if (!page->bytes) return nullptr;
    slot = std::move(page);
    p->held += kPageBytes;
  }
  if (!load(p, slot.get(), i)) {
    slot.reset();
    p->held -= kPageBytes;
    return nullptr;
  }
  return slot.get();
}

// Carries a write into the held pages of one cache.
void follow(Pages *p, uint32_t pos, const char *data, size_t len) {
  size_t end = static_cast<size_t>(pos) + len;
  for (size_t i = pos / kPageBytes; i < p->pages.size() && i * kPageBytes < end; i++) {
    Page *page = p->pages[i].get();
    if (!page) continue;
    size_t base = i * kPageBytes;
    size_t from = pos > base ? pos - base : 0;
    size_t to = end - base < kPageBytes ? end - base : kPageBytes;
    if (from > page->valid) {
      // A write past the page's end leaves a gap the page does not know.
      p->held -= kPageBytes;
      p->pages[i].reset();
      continue;
    }
    memcpy(page->bytes.get() + from, data + (base + from - pos), to - from);
    if (to > page->valid) page->valid = to;
  }
}

}  // namespace

ssize_t datacache_read(const fhrequest *block, uint32_t pos, char *out, size_t len) {
  Pages *p = pages_of(block);
  if (!p) return -1;
  size_t got = 0;
  while (got < len) {
    size_t at = static_cast<size_t>(pos) + got;
    size_t i = at / kPageBytes, off = at % kPageBytes;
    size_t want = len - got < kPageBytes - off ? len - got : kPageBytes - off;
    Page *page = page_at(p, i, off + want);
    if (!page) return -1;
    size_t have = page->valid > off ? page->valid - off : 0;
    size_t n = have < want ? have : want;
    memcpy(out + got, page->bytes.get() + off, n);
    got += n;
    if (n < want) break;  // the end of the file
  }
  return static_cast<ssize_t>(got);
}

void datacache_wrote(const fhrequest *block, uint32_t pos, const char *data, size_t len) {
  auto &map = caches();
  auto own = map.find(block);
  if (map.empty() || len == 0) return;
  if (map.size() == 1 && own != map.end()) {
    follow(own->second.get(), pos, data, len);
    return;
  }
  // Other blocks of the process may have the same file open. The block's
  // own pages name the file without asking the system, which would also
  // make the next write stamp the file's times afresh.
  dev_t dev;
  ino_t ino;
  if (own != map.end() && own->second->datfd == block->datfd) {
    dev = own->second->dev;
    ino = own->second->ino;
  } else {
    struct stat st;
    if (fstat(block->datfd, &st) != 0) {
      map.clear();
      return;
    }
    dev = st.st_dev;
    ino = st.st_ino;
  }
  for (auto &entry : map) {
    Pages *p = entry.second.get();
    if (p->dev == dev && p->ino == ino) follow(p, pos, data, len);
  }
}

void datacache_release(const fhrequest *block) { caches().erase(block); }

void datacache_drop_file(const fhrequest *block) {
  auto &map = caches();
  struct stat st;
  if (map.empty()) return;
  if (fstat(block->datfd, &st) != 0) {
    map.clear();
    return;
  }
  for (auto it = map.begin(); it != map.end();) {
    const Pages *p = it->second.get();
    it = p->dev == st.st_dev && p->ino == st.st_ino ? map.erase(it) : std::next(it);
  }
}

size_t datacache_bytes(const fhrequest *block) {
  auto &map = caches();
  auto it = map.find(block);
  return it == map.end() ? 0 : it->second->held;
}

}  // namespace corvex
