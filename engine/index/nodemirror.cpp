#include "engine/index/nodemirror.h"

#include <string.h>

#include <new>

namespace corvex {

namespace {

constexpr uint32_t kNodes = 256;  // nodes per chunk: a tree's neighbours share chunks

}  // namespace

struct NodeMirror::Chunk {
  std::unique_ptr<uint8_t[]> images;  // node i of the chunk at i * nodesize
  uint64_t present[kNodes / 64] = {};
};

NodeMirror::NodeMirror(uint16_t nodesize, size_t limit) : nodesize_(nodesize), limit_(limit) {}

NodeMirror::~NodeMirror() = default;

size_t NodeMirror::chunk_bytes() const { return static_cast<size_t>(kNodes) * nodesize_; }

const uint8_t *NodeMirror::find(uint32_t node) const {
  uint32_t c = node / kNodes, i = node % kNodes;
  if (c >= chunks_.size() || !chunks_[c]) return nullptr;
  const Chunk &chunk = *chunks_[c];
  if (!(chunk.present[i / 64] >> (i % 64) & 1)) return nullptr;
  return chunk.images.get() + static_cast<size_t>(i) * nodesize_;
}

void NodeMirror::put(uint32_t node, const uint8_t *image) {
  uint32_t c = node / kNodes, i = node % kNodes;
  if (c >= chunks_.size() || !chunks_[c]) {
    if ((chunks_held_ + 1) * chunk_bytes() > limit_) return;
    if (c >= chunks_.size()) {
      // vector growth may throw; a node that cannot be kept is read from the file.
      try {
        chunks_.resize(static_cast<size_t>(c) + 1);
      } catch (const std::bad_alloc &) {
        return;
      }
    }
    std::unique_ptr<Chunk> chunk(new (std::nothrow) Chunk);
    if (!chunk) return;
    chunk->images.reset(new (std::nothrow) uint8_t[chunk_bytes()]);
    if (!chunk->images) return;
    chunks_[c] = std::move(chunk);
    chunks_held_++;
  }
  Chunk &chunk = *chunks_[c];
  memcpy(chunk.images.get() + static_cast<size_t>(i) * nodesize_, image, nodesize_);
  chunk.present[i / 64] |= uint64_t{1} << (i % 64);
}

void NodeMirror::clear() {
  chunks_.clear();
  chunks_.shrink_to_fit();
  chunks_held_ = 0;
}

}  // namespace corvex
