// Open, make and close of a file set: the data file, its description and
// its index (or hash) file, registered in the open-file list.
#ifndef CORVEX_ENGINE_OPS_FILESET_H
#define CORVEX_ENGINE_OPS_FILESET_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

// True when opening the block in its present mode takes the index (or hash)
// file: it has keys and FH_NOKEY is clear.
bool fileset_has_index(const fhrequest *block);

// The open flags for `block` in the current network mode; OPEN_INDEX when
// fileset_has_index.
uint16_t fileset_open_flags(const fhrequest *block);

// Opens the data file (unless FH_NODATA) and, with OPEN_INDEX in `flags`,
// the index or hash file, each with up to 10 tries and the least recently
// used file parked between them; sets `datfd` and `idxfd`. Returns 0, 1
// (data), 21 (index) or 31 (hash); on failure no handle is left open.
int fileset_open_handles(fhrequest *block, uint16_t flags);

// Closes the handles that fileset_open_handles opened and sets them to -1.
// Returns 0, 5 (data) or 25 (index or hash).
int fileset_close_handles(fhrequest *block);

// Undoes a failed open, make or temporary index: the index context, the
// registration with its handles, and the description tables.
void fileset_abandon(fhrequest *block);

// Writes the pending changes of the index (nodes, then its header, see
// index_checkpoint) and then the data file header (count and thread heads,
// when ST_HDRDIRTY is set). Returns 0 or a status.
int fileset_write_headers(fhrequest *block);

// Opcode 1: loads the description, opens and registers the file set,
// checks the index, reads the header and positions at the first record.
// Under the header lock it mends what an update that did not finish left
// (engine/ops/heal.h): the records past the header's count, a torn last
// record, the index header, and an index a single-user holder left pending,
// which it builds again when no other program has the file open. What it
// cannot mend (damage before the end of the data file, a read-only handle,
// a pending index beside another holder) leaves the set open all the same
// and the answer is 113.
int op_open(fhrequest *block);

// Opcode 2: creates the data file with an empty header and the index, then
// opens and registers the set; nothing is positioned.
int op_make(fhrequest *block);

// Opcode 3: releases the record lock, writes pending headers (single-user
// or FH_EXCLUSIVE), closes the index and the handles, unregisters the block
// and frees its tables. Only 11 (not registered) leaves anything in place:
// when a write-back, a close or the re-open of a parked file fails, the
// block is unregistered and freed all the same and the first failure is
// returned.
int op_close(fhrequest *block);

// Opcode 15: opens, or makes and opens, the temporary index over the data
// file `datname` keyed by the expression at `keybuf`. Sets ST_TIDXEXISTED
// when the index file was already there. Returns a status.
int op_tempindex(fhrequest *block);

}  // namespace corvex

#endif
