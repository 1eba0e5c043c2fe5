#include "engine/words/chain.h"

#include <algorithm>

namespace corvex {

bool Chain::contains(uint32_t doc) const {
  if (empty()) return false;
  if (doc == last_doc) return true;
  if (ascending && doc > last_doc) return false;
  if (ascending) return std::binary_search(docs.begin(), docs.end(), doc);
  return std::find(docs.begin(), docs.end(), doc) != docs.end();
}

void Chain::add(uint32_t pos, uint32_t doc) {
  if (empty()) first = pos;
  if (!empty() && doc <= last_doc) ascending = false;
  if (listed) docs.push_back(doc);
  last = pos;
  last_doc = doc;
}

}  // namespace corvex
