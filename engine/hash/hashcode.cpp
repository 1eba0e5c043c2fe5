#include "engine/hash/hashcode.h"

namespace corvex {

constexpr uint32_t kHashSizes[HASH_NSIZES] = {281, 601, 1501, 2801, 5003, 9001, 18013, 35023, 72089, 144203, 288359};

uint8_t hash_size_index(uint32_t requested) {
  for (uint8_t k = 0; k < HASH_NSIZES; k++) {
    if (kHashSizes[k] >= requested) return k;
  }
  return HASH_NSIZES - 1;
}

namespace {

// N mod c for every table size N and byte c (0 for c = 0, never used): the
// hash takes it for half the bytes of a key.
struct SizeRemainders {
  uint8_t of[HASH_NSIZES][256];
  constexpr SizeRemainders() : of() {
    for (int k = 0; k < HASH_NSIZES; k++) {
      for (uint32_t c = 1; c < 256; c++) of[k][c] = static_cast<uint8_t>(kHashSizes[k] % c);
    }
  }
};

constexpr SizeRemainders kRemainders;

}  // namespace

HashProbe hash_probe(const char *key, uint8_t k) {
  const uint32_t n = kHashSizes[k];
  const uint8_t *rem = kRemainders.of[k];
  uint32_t h = 0, sum = 0;
  // Six mixing steps in turn, one a byte: shifted byte, inverted and plain
  // remainders of the size, the plain byte, the shifted inverted byte.
  const auto *p = reinterpret_cast<const unsigned char *>(key);
  for (;; p += 6) {
    uint32_t c;
    if ((c = p[0]) == 0) break;
    sum += c;
    h ^= c << k;
    if ((c = p[1]) == 0) break;
    sum += c;
    h ^= ~static_cast<uint32_t>(rem[c]) & 0xFF;
    if ((c = p[2]) == 0) break;
    sum += c;
    h ^= static_cast<uint32_t>(rem[c]) << k;
    if ((c = p[3]) == 0) break;
    sum += c;
    h ^= c;
    if ((c = p[4]) == 0) break;
    sum += c;
    h ^= (~c & 0xFF) << k;
    if ((c = p[5]) == 0) break;
    sum += c;
    h ^= rem[c];
  }
  // The byte sum is taken modulo 2^16.
  uint32_t step = (n - h + (sum & 0xFFFF)) % n;
  return HashProbe{h, step == 0 ? 1 : step};
}

bool HashProbeWalk::next_downwards() {
  // One at a time from the first slot, where the stepped sequence came back
  // to, passing over the slots it visited: those whose distance below the
  // first slot is a multiple of the gcd.
  do {
    slot_ = slot_ == 0 ? size_ - 1 : slot_ - 1;
  } while ((first_ + size_ - slot_) % size_ % gcd_ == 0);
  visited_++;
  return true;
}

}  // namespace corvex
