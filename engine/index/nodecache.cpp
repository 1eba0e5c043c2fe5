#include "engine/index/nodecache.h"

#include <string.h>
#include <unistd.h>

#include <new>

#include "engine/fhrequest.h"
#include "util/memory.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr int kBuckets = 256;  // a power of two, at least the capacity
constexpr int kEngineEntries = 128;

NodeCache *g_cache = nullptr;

int pwrite_node(int fd, uint32_t node, uint16_t size, const uint8_t *in) {
  off_t at = static_cast<off_t>(node) * size;
  return pwrite_full(fd, in, size, at) == size ? FHS_OK : FHS_WRITEINDEX;
}

}  // namespace

struct NodeCache::Entry {
  int fd = -1;
  uint32_t node = 0;
  uint8_t *buf = nullptr;
  uint16_t size = 0;     // bytes of the node held
  uint16_t bufsize = 0;  // bytes allocated
  bool used = false;
  bool dirty = false;
  int older = -1;     // age list, youngest to oldest; also the free list
  int younger = -1;
  int16_t hnext = -1;  // next entry of the same bucket
};

NodeCache::NodeCache(int capacity)
    : entries_(new Entry[capacity]), capacity_(capacity), buckets_(new int16_t[kBuckets]) {
  for (int i = 0; i < kBuckets; i++) buckets_[i] = -1;
  // Unused entries are handed out lowest first.
  for (int i = capacity - 1; i >= 0; i--) {
    entries_[i].older = freelist_;
    freelist_ = i;
  }
}

NodeCache::~NodeCache() {
  for (int i = 0; i < capacity_; i++) globalmfree(entries_[i].buf);
  delete[] entries_;
  delete[] buckets_;
}

unsigned NodeCache::bucket(int fd, uint32_t node) {
  uint32_t h = static_cast<uint32_t>(fd) * 0x9E3779B1u ^ node * 0x85EBCA77u;
  return (h ^ (h >> 15)) & (kBuckets - 1);
}

int NodeCache::find(int fd, uint32_t node) const {
  for (int e = buckets_[bucket(fd, node)]; e >= 0; e = entries_[e].hnext) {
    if (entries_[e].fd == fd && entries_[e].node == node) return e;
  }
  return -1;
}

bool NodeCache::holds(int fd, uint32_t node, bool *dirty) const {
  int e = find(fd, node);
  if (e < 0) return false;
  if (dirty) *dirty = entries_[e].dirty;
  return true;
}

void NodeCache::unlink_age(int entry) {
  Entry &x = entries_[entry];
  if (x.younger >= 0) entries_[x.younger].older = x.older; else youngest_ = x.older;
  if (x.older >= 0) entries_[x.older].younger = x.younger; else oldest_ = x.younger;
  x.older = x.younger = -1;
}

void NodeCache::touch(int entry) {
  if (youngest_ == entry) return;
  unlink_age(entry);
  make_youngest(entry);
}

void NodeCache::make_youngest(int entry) {
  Entry &x = entries_[entry];
  x.older = youngest_;
  if (youngest_ >= 0) entries_[youngest_].younger = entry;
  youngest_ = entry;
  if (oldest_ < 0) oldest_ = entry;
}

void NodeCache::unlink_hash(int entry) {
  int16_t *link = &buckets_[bucket(entries_[entry].fd, entries_[entry].node)];
  while (*link != entry) link = &entries_[*link].hnext;
  *link = entries_[entry].hnext;
  entries_[entry].hnext = -1;
}

void NodeCache::release(int entry) {
  unlink_hash(entry);
  unlink_age(entry);
  Entry &x = entries_[entry];
  x.used = false;
  x.dirty = false;
  x.fd = -1;
  x.older = freelist_;
  freelist_ = entry;
  used_--;
}

// Finds room for (fd, node): an unused entry, else the oldest one (written
// back first when dirty). Returns the entry, registered and youngest, or -1
// when no buffer can be had. *status reports a failed write-back.
int NodeCache::take_entry(int fd, uint32_t node, uint16_t size, int *status) {
  int e = freelist_;
  if (e >= 0) {
    freelist_ = entries_[e].older;
    entries_[e].older = -1;
  } else {
    e = oldest_;
    if (e < 0) return -1;
    Entry &victim = entries_[e];
    if (victim.dirty) *status = pwrite_node(victim.fd, victim.node, victim.size, victim.buf);
    unlink_hash(e);
    unlink_age(e);
    used_--;
  }
  Entry &x = entries_[e];
  if (x.bufsize < size) {
    globalmfree(x.buf);
    x.buf = static_cast<uint8_t *>(globalmalloc(size));
    x.bufsize = x.buf ? size : 0;
    if (!x.buf) {
      x.used = false;
      x.older = freelist_;
      freelist_ = e;
      return -1;
    }
  }
  x.fd = fd;
  x.node = node;
  x.size = size;
  x.used = true;
  x.dirty = false;
  unsigned b = bucket(fd, node);
  x.hnext = buckets_[b];
  buckets_[b] = static_cast<int16_t>(e);
  used_++;
  make_youngest(e);
  return e;
}

int NodeCache::read(int fd, uint32_t node, uint16_t size, uint8_t *out, const uint8_t *clean) {
  int e = find(fd, node);
  if (e >= 0 && entries_[e].size == size) {
    touch(e);
    memcpy(out, entries_[e].buf, size);
    return FHS_OK;
  }
  if (e >= 0) release(e);  // a stale entry of another node size
  if (clean) {
    memcpy(out, clean, size);
  } else if (pread_full(fd, out, size, static_cast<off_t>(node) * size) != size) {
    return FHS_READINDEX;
  }
  int status = FHS_OK;
  e = take_entry(fd, node, size, &status);
  if (e >= 0) memcpy(entries_[e].buf, out, size);
  return status;
}

int NodeCache::write(int fd, uint32_t node, uint16_t size, const uint8_t *in) {
  int e = find(fd, node);
  if (e >= 0 && entries_[e].size != size) {
    release(e);
    e = -1;
  }
  int status = FHS_OK;
  if (e >= 0) {
    touch(e);
  } else {
    e = take_entry(fd, node, size, &status);
    if (e < 0) return pwrite_node(fd, node, size, in);
  }
  memcpy(entries_[e].buf, in, size);
  entries_[e].dirty = true;
  return status;
}

int NodeCache::write_through(int fd, uint32_t node, uint16_t size, const uint8_t *in) {
  int status = pwrite_node(fd, node, size, in);
  int e = find(fd, node);
  if (status != FHS_OK || (e >= 0 && entries_[e].size != size)) {
    if (e >= 0) release(e);
    return status;
  }
  if (e >= 0) {
    touch(e);
  } else {
    int evicted = FHS_OK;
    e = take_entry(fd, node, size, &evicted);
    if (e < 0) return evicted;
    status = evicted;
  }
  memcpy(entries_[e].buf, in, size);
  entries_[e].dirty = false;
  return status;
}

int NodeCache::flush(int fd) {
  int status = FHS_OK;
  for (int e = 0; e < capacity_; e++) {
    Entry &x = entries_[e];
    if (!x.used || x.fd != fd) continue;
    if (x.dirty && pwrite_node(fd, x.node, x.size, x.buf) != FHS_OK) status = FHS_WRITEINDEX;
    release(e);
  }
  return status;
}

int nodecache_setup() {
  nodecache_shutdown();
  g_cache = new (std::nothrow) NodeCache(kEngineEntries);
  return g_cache ? FHS_OK : FHS_NOMEMORY;
}

void nodecache_shutdown() {
  delete g_cache;
  g_cache = nullptr;
}

NodeCache *nodecache() { return g_cache; }

}  // namespace corvex
