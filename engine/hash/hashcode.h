// The arithmetic of hash files: table sizes, the hash of a key text and the
// probe step. Pure functions; the file format is in engine/hash/hashfile.h.
//
// A table has one of HASH_NSIZES sizes N. The index k of the size doubles as
// the hash's shift count, and every size exceeds 2^(8+k), so a hash is always
// a valid slot. Collisions are resolved by open addressing: a probe that
// meets another key in slot s goes on to slot s - t (wrapping below 0), where
// the step t depends on the key. When N and t share a factor (1501 is
// 19 x 79) that sequence comes back to its first slot before it has seen
// them all; the probe then goes on one slot at a time downwards from the
// first slot (wrapping), passing over the slots it has seen, so that a table
// is full only when every slot is taken. The first part is the whole probe
// wherever N and t share no factor, so every placement it ever made is found
// on the same path.
#ifndef CORVEX_ENGINE_HASH_HASHCODE_H
#define CORVEX_ENGINE_HASH_HASHCODE_H

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

// The slots of one probe in order, each of the `size` slots once:
//   for (HashProbeWalk w(probe, size); ; ) { use(w.slot()); if (!w.next()) break; }
class HashProbeWalk {
 public:
  HashProbeWalk(HashProbe probe, uint32_t size)
      : first_(probe.slot), step_(probe.step), size_(size), slot_(probe.slot) {}
  uint32_t slot() const { return slot_; }
  // Moves to the next slot; false when every slot has been visited.
  bool next() {
    if (visited_ >= size_) return false;
    if (gcd_ == 0) {
      uint32_t slot = hash_next_slot(slot_, step_, size_);
      if (slot != first_) {
        slot_ = slot;
        visited_++;
        return true;
      }
      // Back at the first slot after size / gcd(size, step) slots.
      gcd_ = size_ / visited_;
      slot_ = first_;
    }
    return next_downwards();
  }

 private:
  bool next_downwards();

  uint32_t first_, step_, size_;
  uint32_t visited_ = 1;  // slots visited so far, the current one included
  uint32_t gcd_ = 0;      // gcd(size, step) once the stepped sequence is done
  uint32_t slot_;
};

}  // namespace corvex

#endif
