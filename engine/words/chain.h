// A word's chain of postings as the engine keeps it in memory.
#ifndef CORVEX_ENGINE_WORDS_CHAIN_H
#define CORVEX_ENGINE_WORDS_CHAIN_H

#include <stdint.h>

#include <vector>

namespace corvex {

// Where a chain starts and ends, its last document, and, once listed, all
// its documents in order of addition. A chain that adds made is not listed:
// most adds bring the last document again or one above it, whose presence
// the ends tell without the list, and keeping lists would cost every add a
// store far from the rest. It is listed, from the postings, when its ends
// do not suffice.
struct Chain {
  uint32_t first = 0;
  uint32_t last = 0;  // 0 while the chain is empty
  uint32_t last_doc = 0;
  bool ascending = true;  // each document above the one before
  bool listed = true;     // docs holds every document
  std::vector<uint32_t> docs;

  bool empty() const { return last == 0; }

  // Whether the chain's ends tell if `doc` is in it: it is the last
  // document, or above the last of an ascending chain.
  bool known_by_ends(uint32_t doc) const { return empty() || doc == last_doc || (ascending && doc > last_doc); }

  // Whether `doc` is in the chain: needs the list unless known_by_ends.
  bool contains(uint32_t doc) const;

  // The posting at `pos` of `doc` is the chain's new last.
  void add(uint32_t pos, uint32_t doc);
};

}  // namespace corvex

#endif
