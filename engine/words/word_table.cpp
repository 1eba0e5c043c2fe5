#include "engine/words/word_table.h"

#include <string.h>

#include <algorithm>

namespace corvex {

namespace {

constexpr size_t kFirstSlots = 1024;

// Eight bytes at a time, each step mixed by a multiply; words are short.
uint64_t hash_word(std::string_view word) {
  uint64_t h = 0x9e3779b97f4a7c15ull ^ word.size();
  size_t i = 0;
  for (; i + 8 <= word.size(); i += 8) {
    uint64_t v;
    memcpy(&v, word.data() + i, 8);
    h = (h ^ v) * 0xff51afd7ed558ccdull;
    h ^= h >> 32;
  }
  uint64_t tail = 0;
  memcpy(&tail, word.data() + i, word.size() - i);
  h = (h ^ tail) * 0xc4ceb9fe1a85ec53ull;
  return h ^ (h >> 29);
}

uint32_t tag_of(uint64_t hash) { return static_cast<uint32_t>(hash >> 32) | 1; }

}  // namespace

bool Chain::contains(uint32_t doc) const {
  if (docs.empty()) return false;
  if (ascending) return doc <= docs.back() && std::binary_search(docs.begin(), docs.end(), doc);
  return std::find(docs.begin(), docs.end(), doc) != docs.end();
}

void Chain::add(uint32_t pos, uint32_t doc) {
  if (docs.empty()) first = pos;
  if (!docs.empty() && doc <= docs.back()) ascending = false;
  docs.push_back(doc);
  last = pos;
}

WordTable::Slot *WordTable::slot_for(std::string_view word, uint64_t hash) {
  const uint32_t tag = tag_of(hash);
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot &s = slots_[i];
    if (s.tag == 0) return &s;
    if (s.tag == tag && s.word_size == word.size() && memcmp(words_.data() + s.word_at, word.data(), word.size()) == 0)
      return &s;
  }
}

Chain *WordTable::find(std::string_view word) {
  if (slots_.empty()) return nullptr;
  Slot *s = slot_for(word, hash_word(word));
  return s->tag == 0 ? nullptr : &chains_[s->chain];
}

Chain &WordTable::insert(std::string_view word) {
  if ((chains_.size() + 1) * 2 > slots_.size()) grow();
  const uint64_t hash = hash_word(word);
  Slot *s = slot_for(word, hash);
  if (s->tag != 0) return chains_[s->chain];
  s->tag = tag_of(hash);
  s->chain = static_cast<uint32_t>(chains_.size());
  s->word_at = static_cast<uint32_t>(words_.size());
  s->word_size = static_cast<uint32_t>(word.size());
  words_.append(word);
  return chains_.emplace_back();
}

void WordTable::grow() {
  std::vector<Slot> old(std::max(kFirstSlots, slots_.size() * 2));
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const Slot &s : old) {
    if (s.tag == 0) continue;
    size_t i = hash_word(std::string_view(words_).substr(s.word_at, s.word_size)) & mask;
    while (slots_[i].tag != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void WordTable::clear() {
  std::vector<Slot>().swap(slots_);
  std::string().swap(words_);
  std::deque<Chain>().swap(chains_);
}

}  // namespace corvex
