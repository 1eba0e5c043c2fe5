// Position, write and delete on a hashed data file (opcodes 8, 5 and 6 while
// keys are in use). A hashed file has fixed-length records, key 0 only, no
// threads; the hash file (engine/hash/hashfile.h) maps key 0 to the record.
//
// Deleted records stay in the data file marked 'D' and keep their slots, so
// probe sequences through them stay intact and a later write of the same key
// revives the record in place.
//
// The callers have made sure the block is open and, for write and delete,
// that it is not read-only. Each answers 102 for a block without `recbuf`.
#ifndef CORVEX_ENGINE_OPS_HASHOPS_H
#define CORVEX_ENGINE_OPS_HASHOPS_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

// The outcome of a probe.
struct HashFind {
  uint32_t slot = 0;   // the slot holding the key, or the empty slot for it
  bool found = false;  // the key is in the table (possibly marked deleted)
  bool full = false;   // every slot of the key's sequence is taken by others
};

// Follows the probe sequence of `key` (key 0's length, compared by the key
// rules) as if reading each candidate record into `image` (`reclen` bytes)
// and setting `recpos` to it: a block with a copy of the table
// (engine/hash/hashcache.h) passes over candidates whose tags show another key,
// and a miss then reads the last candidate. Found: ST_POSITIONED set.
// Otherwise ST_POSITIONED is cleared. Stops after `hashsize` slots. Returns 0, 3 when a slot points at no record, 33 for a short slot
// read, 38 when the block's table size is not one of the sizes or a slot
// holds a position that cannot be a record, or a record read's status.
int hash_find(fhrequest *block, const char *key, char *image, HashFind *out);

// Opcode 8: under the header lock finds the key text at `keybuf` (space-
// padded to key 0's length). A record marked 'D' counts as not found.
// Found: the record is in `recbuf`, `recpos` on it and ST_POSITIONED set;
// otherwise ST_POSITIONED is cleared and the call still succeeds. Returns 0,
// 108 or a probe's status.
int hash_position(fhrequest *block);

// Opcode 5: stores `recbuf` under its key 0 (which is also left at
// `keybuf`) as an active record: over the record with that key, also one
// marked 'D', or appended
// at `nrecs` x `reclen` with a new slot. Leaves `recpos` on it,
// positioned.
// Returns 0, 4 or 34 for short writes (nothing of the record is listed then),
// 39 when the table has no free slot for a new key, 107 when another process
// holds the record's lock, 108, or a probe's status.
int hash_write(fhrequest *block);

// Opcode 6: marks the record whose key 0 is in `recbuf` deleted; its slot
// keeps pointing at it. Returns 0, 100 when the key is not there (or its
// record is deleted already), 4, 107, 108, or a probe's status.
int hash_delete(fhrequest *block);

// Gives the active record at `pos`, whose image is `image`, the slot of its
// key when no slot leads to that key yet (an open mending what a kill left
// past the count). Returns 0, 39, or a probe's or write's status.
int hash_heal_record(fhrequest *block, uint32_t pos, char *image);

}  // namespace corvex

#endif
