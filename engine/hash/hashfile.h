// Module engine/hash/: hash files, the hash code and the in-memory copy of
// the table. Its face is this header with hashcache.h and hashcode.h; it
// uses index/ (key texts), sharing/ and core/.
//
// Hash files: a fixed table of record positions addressed by a hash of key 0.
//
// Layout, little-endian:
//   0   4 bytes  "QZT" and a zero byte
//   4   u16      version 1376
//   6   u16      length of key 0
//   8   u32      table size N (entries)
//   12  4 bytes  zero
//   16  slots    slot i at 16 + 4i holds a u32 record position, 0 = empty
// The table is written in zero-filled blocks of 32 slots, so the file holds N
// rounded up to a multiple of 32 slots; slots N and above are never used.
//
// The file named `idxname` belongs to a request block whose description has
// the hashed flag; its handle is `idxfd`, the table size `hashsize` and the
// size index `hashidx` (engine/hash/hashcode.h).
#ifndef CORVEX_ENGINE_HASH_HASHFILE_H
#define CORVEX_ENGINE_HASH_HASHFILE_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

enum {
  HASH_HEADERSIZE = 16,
  HASH_VERSION = 1376,
  HASH_BLOCKSLOTS = 32  // slots per zero-filled block written at make
};

// Chooses the table for the requested `hashsize` entries: sets `hashidx`
// and makes `hashsize` the table size.
void hash_choose_size(fhrequest *block);

// Creates (or truncates) `idxname` with a header for the table chosen from
// `hashsize` and an empty table, then closes it. Returns 0, 102 when the
// description has no key, 32 when the file cannot be created, or 34 when a
// write is short (the file is then deleted).
int hash_make(fhrequest *block);

// Checks the header of the hash file open on `idxfd` against the
// description, choosing `hashidx` and `hashsize` from the requested size as
// hash_make does. Returns 0, 102 without a key, 33 for a short header, 36
// for a wrong signature or version, 37 when the key length or the table size
// differs.
int hash_check(fhrequest *block);

// Reads the record position held in slot `slot` (below `hashsize`).
// Returns 0 or 33.
int hash_slot_read(const fhrequest *block, uint32_t slot, uint32_t *pos);

// Reads the whole table, `hashsize` slots, into `slots`. Returns 0, 33 or
// 9.
int hash_table_read(const fhrequest *block, uint32_t *slots);

// Stores `pos` into slot `slot`. Returns 0 or 34.
int hash_slot_write(const fhrequest *block, uint32_t slot, uint32_t pos);

}  // namespace corvex

#endif
