#include "engine/maintenance/key_order.h"

#include <string.h>

#include <algorithm>
#include <new>

#include "engine/index/index.h"
#include "engine/index/keys.h"

namespace corvex {

KeyOrder::KeyOrder(fhrequest *block, int keynum)
    : block_(block), keynum_(keynum), keylen_(index_keylen(block, keynum)) {}

bool KeyOrder::note(char *image, uint32_t pos, uint32_t len) {
  if (keylen_ <= 0 || keylen_ >= KEYTEXT_MAX || notes_.size() >= UINT32_MAX) return false;
  char text[KEYTEXT_MAX];
  build_key_of(block_, keynum_, image, text);
  try {
    keys_.insert(keys_.end(), text, text + keylen_);
    notes_.push_back({pos, len, static_cast<uint32_t>(notes_.size())});
  } catch (const std::bad_alloc &) {
    return false;
  }
  return true;
}

void KeyOrder::sort() {
  const char *keys = keys_.data();
  const size_t keylen = static_cast<size_t>(keylen_);
  // Equal keys are told apart by the order they were noted in, which makes
  // an unstable sort (one that needs no buffer) keep that order.
  std::sort(notes_.begin(), notes_.end(), [&](const Note &a, const Note &b) {
    int c = key_compare(block_, keynum_, keys + a.key * keylen, keys + b.key * keylen);
    return c != 0 ? c < 0 : a.key < b.key;
  });
}

}  // namespace corvex
