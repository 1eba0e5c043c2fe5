// The chains of a postings file kept in memory, by word: an open-addressing
// table whose words lie side by side in one growing buffer, so that finding
// a word costs no allocation and few cache misses.
#ifndef CORVEX_ENGINE_WORDS_WORD_TABLE_H
#define CORVEX_ENGINE_WORDS_WORD_TABLE_H

#include <stdint.h>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace corvex {

// A word's chain as walked: where it starts and ends, and its documents in
// order of addition.
struct Chain {
  uint32_t first = 0;
  uint32_t last = 0;
  std::vector<uint32_t> docs;
  bool ascending = true;  // docs is strictly increasing

  bool contains(uint32_t doc) const;
  void add(uint32_t pos, uint32_t doc);
};

class WordTable {
 public:
  // The chain kept under `word`, or null.
  Chain *find(std::string_view word);

  // The chain kept under `word`, made empty when there is none. A chain
  // stays at its address until the table is cleared.
  Chain &insert(std::string_view word);

  void clear();

 private:
  struct Slot {
    uint32_t tag = 0;  // high bits of the word's hash, never 0; 0 = free
    uint32_t chain = 0;
    uint32_t word_at = 0;  // in words_
    uint32_t word_size = 0;
  };

  Slot *slot_for(std::string_view word, uint64_t hash);
  void grow();

  std::vector<Slot> slots_;  // a power of two, at most half taken
  std::string words_;
  std::deque<Chain> chains_;
};

}  // namespace corvex

#endif
