#include "engine/hashcode.h"

namespace corvex {

const uint32_t kHashSizes[HASH_NSIZES] = {281, 601, 1501, 2801, 5003, 9001, 18013, 35023, 72089, 144203, 288359};

uint8_t hash_size_index(uint32_t requested) {
  for (uint8_t k = 0; k < HASH_NSIZES; k++) {
    if (kHashSizes[k] >= requested) return k;
  }
  return HASH_NSIZES - 1;
}

HashProbe hash_probe(const char *key, uint8_t k) {
  const uint32_t n = kHashSizes[k];
  uint32_t h = 0;
  uint16_t sum = 0;
  int j = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(key); *p; p++) {
    const uint32_t c = *p;
    sum = static_cast<uint16_t>(sum + c);
    // Six mixing steps in turn: shifted byte, inverted and plain remainders
    // of the size, the plain byte, the shifted inverted byte.
    switch (j) {
      case 0: h ^= c << k; break;
      case 1: h ^= ~(n % c) & 0xFF; break;
      case 2: h ^= (n % c) << k; break;
      case 3: h ^= c; break;
      case 4: h ^= (~c & 0xFF) << k; break;
      default: h ^= n % c; break;
    }
    j = j == 5 ? 0 : j + 1;
  }
  uint32_t step = (n - h + sum) % n;
  return HashProbe{h, step == 0 ? 1 : step};
}

HashProbeWalk::HashProbeWalk(HashProbe probe, uint32_t size)
    : first_(probe.slot), step_(probe.step), size_(size), visited_(1), slot_(probe.slot) {
  uint32_t a = size, b = probe.step % size;
  while (b != 0) {
    uint32_t r = a % b;
    a = b;
    b = r;
  }
  cycle_ = size / a;
}

bool HashProbeWalk::next() {
  if (visited_ >= size_) return false;
  if (visited_ < cycle_) {
    slot_ = hash_next_slot(slot_, step_, size_);
  } else {
    // One at a time from where the stepped sequence left off (the first slot
    // at the turn), passing over the slots it visited: those whose distance
    // below the first slot is a multiple of the gcd.
    const uint32_t gcd = size_ / cycle_;
    if (visited_ == cycle_) slot_ = first_;
    do {
      slot_ = slot_ == 0 ? size_ - 1 : slot_ - 1;
    } while ((first_ + size_ - slot_) % size_ % gcd == 0);
  }
  visited_++;
  return true;
}

}  // namespace corvex
