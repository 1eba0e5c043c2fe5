#include "engine/words/word_table.h"

#include <string.h>

#include <algorithm>

namespace corvex {

namespace {

constexpr size_t kFirstSlots = 1024;

uint32_t tag_of(uint64_t hash) { return static_cast<uint32_t>(hash >> 32) | 1; }

}  // namespace

WordTable::Slot *WordTable::slot_for(const WordKey &key, uint64_t hash) {
  const uint32_t tag = tag_of(hash);
  const size_t size = key.size();
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot &s = slots_[i];
    if (s.tag == 0) return &s;
    if (s.tag != tag) continue;
    const Kept &k = kept_[s.kept];
    if (k.word_size == size && memcmp(k.head, key.groups(), WordKey::kHeadSize) == 0 &&
        (size <= WordKey::kHeadSize || memcmp(words_.data() + k.word_at + WordKey::kHeadSize,
                                              key.groups() + WordKey::kHeadSize, size - WordKey::kHeadSize) == 0))
      return &s;
  }
}

Chain *WordTable::find(const WordKey &key) {
  if (slots_.empty()) return nullptr;
  Slot *s = slot_for(key, key.hash());
  return s->tag == 0 ? nullptr : &kept_[s->kept].chain;
}

Chain &WordTable::insert(const WordKey &key) {
  if ((kept_.size() + 1) * 2 > slots_.size()) grow();
  const uint64_t hash = key.hash();
  Slot *s = slot_for(key, hash);
  if (s->tag != 0) return kept_[s->kept].chain;
  s->tag = tag_of(hash);
  s->kept = static_cast<uint32_t>(kept_.size());
  Kept &k = kept_.emplace_back();
  k.word_at = static_cast<uint32_t>(words_.size());
  k.word_size = static_cast<uint32_t>(key.size());
  memcpy(k.head, key.groups(), WordKey::kHeadSize);
  words_.append(key.groups(), (key.size() + WordKey::kGroup - 1) / WordKey::kGroup * WordKey::kGroup);
  return k.chain;
}

void WordTable::prefetch_slot(const WordKey &key) const {
  if (!slots_.empty()) __builtin_prefetch(&slots_[key.hash() & (slots_.size() - 1)]);
}

void WordTable::prefetch_chain(const WordKey &key) const {
  if (slots_.empty()) return;
  const Slot &s = slots_[key.hash() & (slots_.size() - 1)];
  if (s.tag == tag_of(key.hash())) __builtin_prefetch(&kept_[s.kept]);
}

void WordTable::grow() {
  std::vector<Slot> old(std::max(kFirstSlots, slots_.size() * 2));
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const Slot &s : old) {
    if (s.tag == 0) continue;
    const Kept &k = kept_[s.kept];
    size_t i = WordKey::hash_groups(words_.data() + k.word_at, k.word_size) & mask;
    while (slots_[i].tag != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void WordTable::clear() {
  std::vector<Slot>().swap(slots_);
  std::string().swap(words_);
  std::deque<Kept>().swap(kept_);
}

}  // namespace corvex
