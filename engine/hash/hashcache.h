// An in-memory copy of a hashed file's slot table, used while a request
// block's handles are open, with a tag per slot that tells most keys apart
// without reading their records.
//
// Only blocks opened with FH_EXCLUSIVE in a single-user setting are cached,
// as for the data file pages (engine/data/datacache.h): without FH_EXCLUSIVE
// another handle may change the file between two lookups, and the next one
// must see it. The cached blocks of the process that have one hash file open
// under the same rules for key 0 share one copy. Every slot the engine stores
// goes to the file first and then into every copy of that file in the
// process, so a copy always equals the file.
//
// A slot's tag is HASH_TAG_EMPTY for an empty slot, HASH_TAG_UNKNOWN until
// the key of its record has been seen, and then a tag of that key's
// fingerprint (key0_fingerprint, engine/index/keys.h). A slot, once taken, keeps
// its record position, and a record keeps its key: rewrites and deletes go
// to the record that holds an equal key. So a known tag stays right for as
// long as the copy lives, and a probe passes over a slot whose tag differs
// from the sought key's without reading the record.
#ifndef CORVEX_ENGINE_HASH_HASHCACHE_H
#define CORVEX_ENGINE_HASH_HASHCACHE_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

constexpr uint16_t HASH_TAG_EMPTY = 0;
constexpr uint16_t HASH_TAG_UNKNOWN = 1;
constexpr int HASH_TAG_BITS = 12;
constexpr uint32_t HASH_TAG_MASK = (1u << HASH_TAG_BITS) - 1;

// A slot of the copy in four bytes, so that the copy of the largest table
// stays near a megabyte and most probes find their slot in the processor's
// cache: the record number (the record position over the record length,
// 0 for an empty slot) above the tag.
struct HashSlot {
  uint32_t bits;
  uint32_t record() const { return bits >> HASH_TAG_BITS; }
  uint16_t tag() const { return static_cast<uint16_t>(bits & HASH_TAG_MASK); }
  void set_tag(uint16_t tag) { bits = (bits & ~HASH_TAG_MASK) | tag; }
};

// The tag of a key text of key 0 (2..HASH_TAG_MASK), or HASH_TAG_UNKNOWN
// when the key has no fingerprint.
uint16_t hash_key_tag(const fhrequest *block, const char *key);

// The copy of the block's table, `hashsize` slots, or null when the block
// is not cached or the copy cannot be had (then the file serves: also when
// a slot holds a position that is no record of the block's length or whose
// number does not fit beside the tag). New
// handles take up the copy that other blocks of the process use for the
// file, or read the table.
HashSlot *hash_cached_slots(fhrequest *block);

// Stores `pos` into slot `slot` of the hash file and then into the copies
// of that file: the one the block uses with the tag `tag`, others (kept
// under other key rules, or when the block has none) with
// HASH_TAG_UNKNOWN. Returns 0 or 34.
int hash_cached_slot_store(fhrequest *block, uint32_t slot, uint32_t pos, uint16_t tag);

// Keeps the block's copy through the closing of its handles that follows
// (parking, engine/ops/parking.h): the block notes what the two files look
// like now, and the next use after the handles are opened again takes the
// copy up when other blocks with open handles kept it meanwhile, or when
// both are still the same files, unchanged (device, inode, size,
// modification and change times); otherwise it finds or loads one afresh.
void hash_cache_park(const fhrequest *block);

// Lets go of the block's copy (which goes when no block holds it), unless
// hash_cache_park asked to keep it through this closing. Called whenever
// its handles are closed.
void hash_cache_release(const fhrequest *block);

}  // namespace corvex

#endif
