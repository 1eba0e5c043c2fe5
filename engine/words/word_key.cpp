#include "engine/words/word_key.h"

#include <string.h>

#include <algorithm>
#include <bit>

namespace corvex {

static_assert(std::endian::native == std::endian::little, "groups are read as little-endian numbers");

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Each byte of `v` from 'A' to 'Z' made lower case, all others kept.
uint64_t lower_group(uint64_t v) {
  const uint64_t low7 = v & ~kHighBits;
  const uint64_t from_a = low7 + (0x80 - 'A') * kOnes;     // high bit: >= 'A'
  const uint64_t past_z = low7 + (0x80 - 'Z' - 1) * kOnes;  // high bit: > 'Z'
  const uint64_t upper = from_a & ~past_z & ~v & kHighBits;
  return v | (upper >> 2);  // 0x80 >> 2 is the case bit 0x20
}

// The `n` (1 to 7) bytes at `p` as a group with zeros after them, read
// without touching a byte beyond them.
uint64_t load_part(const char *p, size_t n) {
  if (n >= 4) {
    uint32_t front, back;
    memcpy(&front, p, 4);
    memcpy(&back, p + n - 4, 4);
    return front | (uint64_t{back} << ((n - 4) * 8));
  }
  const auto byte = [p](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])} << (i * 8); };
  return byte(0) | byte(n / 2) | byte(n - 1);
}

uint64_t hash_step(uint64_t h, uint64_t group) {
  h = (h ^ group) * 0xff51afd7ed558ccdull;
  return h ^ (h >> 32);
}

}  // namespace

void WordKey::assign(std::string_view word, size_t room, bool fold) {
  size_ = std::min(word.size(), room);
  const size_t padded = std::max(kHeadSize, (size_ / kGroup + 1) * kGroup);
  char *out = short_;
  if (size_ >= kShortMax) {
    long_.resize(padded);
    out = long_.data();
  }
  // Groups are written whole: reading them back as groups is then fast,
  // where bytes written one by one would stall the reads.
  uint64_t h = kHashSeed ^ size_;
  size_t i = 0;
  for (; i < size_; i += kGroup) {
    uint64_t v;
    if (i + kGroup <= size_) {
      memcpy(&v, word.data() + i, kGroup);
    } else {
      v = load_part(word.data() + i, size_ - i);
    }
    if (fold) v = lower_group(v);
    memcpy(out + i, &v, kGroup);
    h = hash_step(h, v);
  }
  for (; i < padded; i += kGroup) memset(out + i, 0, kGroup);
  hash_ = h;
}

uint64_t WordKey::hash_groups(const char *p, size_t size) {
  uint64_t h = kHashSeed ^ size;
  for (size_t i = 0; i < size; i += kGroup) {
    uint64_t v;
    memcpy(&v, p + i, kGroup);
    h = hash_step(h, v);
  }
  return h;
}

}  // namespace corvex
