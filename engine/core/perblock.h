// State the engine keeps beside a request block, whose layout belongs to
// the callers: a map from block to T that remembers its last answer, since
// most questions of one engine call are about one block.
//
// Entries stay where they are until erased, so a pointer to one is good
// until its block's entry (or the whole map) goes.
#ifndef CORVEX_ENGINE_CORE_PERBLOCK_H
#define CORVEX_ENGINE_CORE_PERBLOCK_H

#include <new>
#include <unordered_map>

#include "engine/fhrequest.h"

namespace corvex {

template <class T>
class PerBlock {
 public:
  // The block's entry, or null when it has none.
  T *find(const fhrequest *block) {
    if (block == last_block_) return last_;
    auto it = map_.find(block);
    if (it == map_.end()) return nullptr;
    return remember(block, &it->second);
  }

  // The block's entry, made (default-constructed) when it has none; null
  // when memory for it cannot be had.
  T *get(const fhrequest *block) {
    if (T *found = find(block)) return found;
    try {
      return remember(block, &map_.try_emplace(block).first->second);
    } catch (const std::bad_alloc &) {
      return nullptr;
    }
  }

  void erase(const fhrequest *block) {
    forget();
    map_.erase(block);
  }

  void clear() {
    forget();
    map_.clear();
  }

  template <class F>
  void for_each(F f) {
    for (auto &entry : map_) f(entry.second);
  }

 private:
  T *remember(const fhrequest *block, T *entry) {
    last_block_ = block;
    last_ = entry;
    return entry;
  }
  void forget() {
    last_block_ = nullptr;
    last_ = nullptr;
  }

  std::unordered_map<const fhrequest *, T> map_;
  const fhrequest *last_block_ = nullptr;
  T *last_ = nullptr;
};

}  // namespace corvex

#endif
