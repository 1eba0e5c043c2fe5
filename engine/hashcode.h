// The arithmetic of hash files: table sizes, the hash of a key text and the
// probe step. Pure functions; the file format is in engine/hashfile.h.
//
// A table has one of HASH_NSIZES sizes N. The index k of the size doubles as
// the hash's shift count, and every size exceeds 2^(8+k), so a hash is always
// a valid slot. Collisions are resolved by open addressing: a probe that
// meets another key in slot s goes on to slot s - t (wrapping below 0), where
// the step t depends on the key.
#ifndef CORVEX_ENGINE_HASHCODE_H
#define CORVEX_ENGINE_HASHCODE_H

#include <stdint.h>

namespace corvex {

enum { HASH_NSIZES = 11 };

// The table sizes, smallest first.
extern const uint32_t kHashSizes[HASH_NSIZES];

// The index of the table size for `requested` entries: the first size at
// least `requested`, or the last one when `requested` exceeds them all
// (0 gives the first).
uint8_t hash_size_index(uint32_t requested);

// Where the probe sequence of a key starts and how it moves.
struct HashProbe {
  uint32_t slot;  // the first slot examined
  uint32_t step;  // 1..N-1: each further slot is the previous one minus step
};

// The probe of `key` (its bytes up to the first zero byte) in the table of
// size index `k` (0..HASH_NSIZES-1).
HashProbe hash_probe(const char *key, uint8_t k);

// The slot after `slot` in a probe sequence of `step` over `size` slots.
inline uint32_t hash_next_slot(uint32_t slot, uint32_t step, uint32_t size) {
  return slot >= step ? slot - step : slot + size - step;
}

}  // namespace corvex

#endif
