// The node cache: index nodes kept in memory across operations, shared by
// every index file of the process.
//
// Entries are keyed by (file handle, node number). Every lookup makes the
// entry it finds the youngest and ages every other entry by one; when the
// cache is full a new node takes the place of the oldest entry, which is
// written back first if it is dirty. Ages are kept as one ordered list (the
// youngest first), which is the order that ageing every entry on every
// lookup produces, without touching every entry.
//
// The cache does not know about trees: it moves whole nodes of the size the
// caller gives. A handle's entries must be flushed before the handle is
// closed, since a handle number may be reused by another file.
#ifndef CORVEX_ENGINE_INDEX_NODECACHE_H
#define CORVEX_ENGINE_INDEX_NODECACHE_H

#include <stdint.h>

namespace corvex {

class NodeCache {
 public:
  explicit NodeCache(int capacity);
  ~NodeCache();
  NodeCache(const NodeCache &) = delete;
  NodeCache &operator=(const NodeCache &) = delete;

  // Copies node `node` (`size` bytes at node * size of `fd`) into `out`,
  // from the cache or from the file; a node read from the file is cached
  // clean. When the caller has the node's current contents at `clean`, a
  // miss takes them from there instead of the file, with the same effect
  // on the cache. Returns 0, 23 when the file read is short, or 24 when an
  // evicted dirty entry cannot be written back (the node is then still read).
  int read(int fd, uint32_t node, uint16_t size, uint8_t *out, const uint8_t *clean = nullptr);

  // Puts a copy of `in` into the cache, marked dirty; writes it to the file
  // at once only when no entry can be had. Returns 0 or 24.
  int write(int fd, uint32_t node, uint16_t size, const uint8_t *in);

  // Writes `in` to the file at once and keeps a clean copy of it, so that
  // the file sees the node writes in the order they were made. Returns 0 or
  // 24 (the cached copy is dropped then).
  int write_through(int fd, uint32_t node, uint16_t size, const uint8_t *in);

  // Writes back the dirty entries of `fd` and drops all its entries. Returns
  // 0, or 24 when a write-back is short (the rest are still written).
  int flush(int fd);

  // Entries in use.
  int in_use() const { return used_; }

  // True when (fd, node) is cached; *dirty tells whether it is unwritten.
  // Does not count as a lookup.
  bool holds(int fd, uint32_t node, bool *dirty) const;

 private:
  struct Entry;
  int find(int fd, uint32_t node) const;
  int take_entry(int fd, uint32_t node, uint16_t size, int *status);
  void touch(int entry);
  void make_youngest(int entry);
  void unlink_age(int entry);
  void unlink_hash(int entry);
  void release(int entry);
  static unsigned bucket(int fd, uint32_t node);

  Entry *entries_;
  int capacity_;
  int used_ = 0;
  int youngest_ = -1;
  int oldest_ = -1;
  int freelist_ = -1;
  int16_t *buckets_;
};

// The engine's cache of 128 entries: set up at the first init, freed at
// shut-down. Returns 0 or 9.
int nodecache_setup();
void nodecache_shutdown();

// The engine's cache, or null before set-up. Index files work without one:
// their nodes then go straight to the file.
NodeCache *nodecache();

}  // namespace corvex

#endif
