// Clean copies of an index file's nodes, kept per open index beneath the
// node cache.
//
// The node cache holds few nodes, far fewer than the inner levels of a
// large tree, so most searches would read the file. A block that no other
// process writes to (a single-user setting) keeps a copy of every node it
// has read or written here instead: a node the node cache misses is then
// copied from memory. The node cache itself is unchanged, with its ageing,
// eviction and write-back; the mirror only replaces the file reads of its
// misses. The owner keeps each copy equal to the node's current contents
// (put on every node write) and clears the mirror whenever the file may
// change behind it.
//
// Copies are kept up to a bound on the memory used; past it the file
// serves. Running out of memory is not an error: the node is then simply
// not kept.
#ifndef CORVEX_ENGINE_INDEX_NODEMIRROR_H
#define CORVEX_ENGINE_INDEX_NODEMIRROR_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

namespace corvex {

class NodeMirror {
 public:
  // Nodes of `nodesize` bytes, at most `limit` bytes of copies.
  NodeMirror(uint16_t nodesize, size_t limit);
  ~NodeMirror();
  NodeMirror(const NodeMirror &) = delete;
  NodeMirror &operator=(const NodeMirror &) = delete;

  // The copy of node `node`, or null when it is not kept.
  const uint8_t *find(uint32_t node) const;

  // Keeps (or replaces) the copy of node `node`: `nodesize` bytes at `image`.
  void put(uint32_t node, const uint8_t *image);

  // Drops every copy and frees their memory.
  void clear();

  // Bytes of copies held.
  size_t bytes() const { return chunks_held_ * chunk_bytes(); }

 private:
  struct Chunk;
  size_t chunk_bytes() const;

  uint16_t nodesize_;
  size_t limit_;
  size_t chunks_held_ = 0;
  std::vector<std::unique_ptr<Chunk>> chunks_;  // chunk i holds nodes i * kNodes ..
};

}  // namespace corvex

#endif
