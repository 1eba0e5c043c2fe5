// Steps shared by the record operations.
#ifndef CORVEX_ENGINE_OPS_OPS_UTIL_H
#define CORVEX_ENGINE_OPS_OPS_UTIL_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

// Keys are used for navigation: the file has keys and FH_NOKEY is clear.
bool keys_in_use(const fhrequest *block);

// Sets or clears ST_POSITIONED.
void set_positioned(fhrequest *block, bool on);

// In a shared mode (block_is_shared) re-reads the header record; otherwise
// does nothing. Returns 0 or the header read's status.
int reload_header(fhrequest *block);

// For a shared block whose change count moved: drops its cached nodes and
// reads the data file header and the index header again, so that nothing
// it keeps is older than the files. Returns 0 or the failing read's status.
int refresh_shared_view(fhrequest *block);

// Builds key `curkey` of `recbuf` as the current key text (when the block
// has an index context).
void build_current_key(fhrequest *block);

// Builds key `k` of the record image `image` into `out`; returns its length.
int build_key_of(fhrequest *block, int k, char *image, char *out);

// Moves past the record just read, written or deleted, whose length was
// `len`: along the current key, along thread `curkey`, backwards, or on in
// physical order. Returns 0 or a status.
int advance(fhrequest *block, uint32_t len);

// Drops the block's cached index nodes in a shared mode.
void flush_if_shared(fhrequest *block);

// Runs `step` for an operation that walks the index: in a shared mode it
// takes the header lock around the walk, since another process's insert
// writes several nodes and a tree read halfway through it is not one tree.
// Drops the cached nodes after it. Returns the step's status or 108.
int with_index_guard(fhrequest *block, int (*step)(fhrequest *));

// Deletes the record at `pos`, whose stored image is `old` and stored
// length `len`: takes it out of its threads, removes the entries of all its
// keys (when the block has an index), lists the slot for reuse and writes
// 'D' over its status byte. Returns 0 or a status (10 for a missing key).
int delete_stored(fhrequest *block, uint32_t pos, char *old, uint32_t len);

// Longest key text plus its terminator.
enum { KEYTEXT_MAX = 512 };

}  // namespace corvex

#endif
