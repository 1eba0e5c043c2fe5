// The chains of a postings file kept in memory, by keyword: an
// open-addressing table of small slots that lead to the chains, each chain
// on one cache line with the first groups of its keyword, so that most
// look-ups read two lines and allocate nothing.
#ifndef CORVEX_ENGINE_WORDS_WORD_TABLE_H
#define CORVEX_ENGINE_WORDS_WORD_TABLE_H

#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/words/chain.h"
#include "engine/words/word_key.h"

namespace corvex {

class WordTable {
 public:
  // The chain kept under `key`, or null.
  Chain *find(const WordKey &key);

  // The chain kept under `key`, made empty when there is none. A chain
  // stays at its address until the table is cleared.
  Chain &insert(const WordKey &key);

  // Hints for a look-up of `key` to come: the slot it starts at, and
  // (reading that slot) the chain the slot leads to.
  void prefetch_slot(const WordKey &key) const;
  void prefetch_chain(const WordKey &key) const;

  void clear();

 private:
  struct alignas(64) Kept {
    Chain chain;
    uint32_t word_at = 0;  // in words_, with its zeros to whole groups
    uint32_t word_size = 0;
    char head[WordKey::kHeadSize] = {};  // the keyword's first groups
  };
  struct Slot {
    uint32_t tag = 0;  // high bits of the keyword's hash, never 0; 0 = free
    uint32_t kept = 0;
  };

  Slot *slot_for(const WordKey &key, uint64_t hash);
  void grow();

  std::vector<Slot> slots_;  // a power of two, at most half taken
  std::string words_;
  std::deque<Kept> kept_;
};

}  // namespace corvex

#endif
