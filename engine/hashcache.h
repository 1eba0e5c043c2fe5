// An in-memory copy of a hashed file's slot table and records, kept per
// request block while its handles are open.
//
// Only blocks in a single-user setting (network mode 0, or FH_EXCLUSIVE) are
// cached: there no other process changes the files, as for the index node
// cache. Every change the engine makes goes to the file and to the copy
// (write-through), so the files are always current. Records are cached up
// to a bound on the memory used; past it they are read from the file.
#ifndef CORVEX_ENGINE_HASHCACHE_H
#define CORVEX_ENGINE_HASHCACHE_H

#include <stddef.h>
#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

// Reads slot `slot` (below `hashsize`) of the block's hash file, from the
// copy when the block is cached. Returns 0 or 33.
int hash_cached_slot(fhrequest *block, uint32_t slot, uint32_t *pos);

// Stores `pos` into slot `slot` of the file and the copy. Returns 0 or 34.
int hash_cached_slot_store(fhrequest *block, uint32_t slot, uint32_t pos);

// Reads the record at `pos` into `image` (`reclen` bytes) as record_read
// (engine/datafile.h) does, from the copy when it holds it. Returns 0 or
// the read's status.
int hash_cached_record(fhrequest *block, uint32_t pos, char *image);

// Writes the `reclen` bytes of `image` at `pos` of the data file (the
// last one a line feed) and into the copy. Returns 0 or 4.
int hash_cached_record_store(fhrequest *block, uint32_t pos, char *image);

// Writes the status byte `mark` of the record at `pos`. Returns 0 or 4.
int hash_cached_mark(fhrequest *block, uint32_t pos, char mark);

// Drops the block's copy. Called whenever its handles are closed.
void hash_cache_release(const fhrequest *block);

}  // namespace corvex

#endif
