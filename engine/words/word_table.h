// The chains of a postings file kept in memory, by keyword: an
// open-addressing table whose keywords lie side by side in one growing
// buffer, so that finding one costs no allocation and few cache misses.
#ifndef CORVEX_ENGINE_WORDS_WORD_TABLE_H
#define CORVEX_ENGINE_WORDS_WORD_TABLE_H

#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/words/word_key.h"

namespace corvex {

// A word's chain as walked: where it starts and ends, and its documents in
// order of addition.
struct Chain {
  uint32_t first = 0;
  uint32_t last = 0;
  uint32_t last_doc = 0;  // the last of docs, where the chain's ends are:
  bool ascending = true;  // docs is strictly increasing; with last_doc this
                          // answers most adds without reading docs
  std::vector<uint32_t> docs;

  bool contains(uint32_t doc) const;
  void add(uint32_t pos, uint32_t doc);
};

class WordTable {
 public:
  // The chain kept under `key`, or null.
  Chain *find(const WordKey &key);

  // The chain kept under `key`, made empty when there is none. A chain
  // stays at its address until the table is cleared.
  Chain &insert(const WordKey &key);

  void clear();

 private:
  // A keyword's first groups are kept in its slot, so that most keywords
  // are told apart without reading words_.
  struct alignas(32) Slot {
    uint32_t tag = 0;  // high bits of the keyword's hash, never 0; 0 = free
    uint32_t chain = 0;
    uint32_t word_at = 0;  // in words_, with its zeros to whole groups
    uint32_t word_size = 0;
    char head[WordKey::kHeadSize] = {};
  };

  Slot *slot_for(const WordKey &key, uint64_t hash);
  void grow();

  std::vector<Slot> slots_;  // a power of two, at most half taken
  std::string words_;
  std::deque<Chain> chains_;
};

}  // namespace corvex

#endif
