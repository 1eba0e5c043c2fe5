#include "engine/words/word_table.h"

#include <string.h>

#include <algorithm>

namespace corvex {

namespace {

constexpr size_t kFirstSlots = 1024;

uint32_t tag_of(uint64_t hash) { return static_cast<uint32_t>(hash >> 32) | 1; }

}  // namespace

bool Chain::contains(uint32_t doc) const {
  if (docs.empty() || (ascending && doc > last_doc)) return false;
  if (ascending) return std::binary_search(docs.begin(), docs.end(), doc);
  return std::find(docs.begin(), docs.end(), doc) != docs.end();
}

void Chain::add(uint32_t pos, uint32_t doc) {
  if (docs.empty()) first = pos;
  if (!docs.empty() && doc <= last_doc) ascending = false;
  docs.push_back(doc);
  last = pos;
  last_doc = doc;
}

WordTable::Slot *WordTable::slot_for(const WordKey &key, uint64_t hash) {
  const uint32_t tag = tag_of(hash);
  const size_t size = key.size();
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot &s = slots_[i];
    if (s.tag == 0) return &s;
    if (s.tag == tag && s.word_size == size && memcmp(s.head, key.groups(), WordKey::kHeadSize) == 0 &&
        (size <= WordKey::kHeadSize || memcmp(words_.data() + s.word_at + WordKey::kHeadSize,
                                              key.groups() + WordKey::kHeadSize, size - WordKey::kHeadSize) == 0))
      return &s;
  }
}

Chain *WordTable::find(const WordKey &key) {
  if (slots_.empty()) return nullptr;
  Slot *s = slot_for(key, key.hash());
  return s->tag == 0 ? nullptr : &chains_[s->chain];
}

Chain &WordTable::insert(const WordKey &key) {
  if ((chains_.size() + 1) * 2 > slots_.size()) grow();
  const uint64_t hash = key.hash();
  Slot *s = slot_for(key, hash);
  if (s->tag != 0) return chains_[s->chain];
  s->tag = tag_of(hash);
  s->chain = static_cast<uint32_t>(chains_.size());
  s->word_at = static_cast<uint32_t>(words_.size());
  s->word_size = static_cast<uint32_t>(key.size());
  memcpy(s->head, key.groups(), WordKey::kHeadSize);
  words_.append(key.groups(), (key.size() + WordKey::kGroup - 1) / WordKey::kGroup * WordKey::kGroup);
  return chains_.emplace_back();
}

void WordTable::grow() {
  std::vector<Slot> old(std::max(kFirstSlots, slots_.size() * 2));
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const Slot &s : old) {
    if (s.tag == 0) continue;
    size_t i = WordKey::hash_groups(words_.data() + s.word_at, s.word_size) & mask;
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
