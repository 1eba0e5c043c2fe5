// Parking: closing the system handles of open files while their request
// blocks stay open, and re-opening them transparently at the next use.
//
// A process may have more files open than it has handles to spare. When an
// open fails, the engine parks the least recently used open file (the one
// whose entry in the open-file list, engine/core/openlist.h, is oldest) and tries
// again. A parked file keeps its request block, its index context and its
// place in the list; its data and index (or hash) file positions are saved
// and both files are opened again, and sought back, by the use check of the
// next operation on the block. Index cursors are lost: searches then start
// from the root.
//
// A record lock held through a parked block is taken again when the file is
// re-opened (closing a handle drops its locks); if another process took the
// record meanwhile the block no longer holds a lock (`lockpos` becomes 0).
#ifndef CORVEX_ENGINE_OPS_PARKING_H
#define CORVEX_ENGINE_OPS_PARKING_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "engine/exports.h"

namespace corvex {

struct fhslot;

// The park service: writes back the block's cached index nodes, saves both
// file positions, marks the entry parked and closes its handles. An entry
// already parked is left alone. Returns 0, 11 when the block is not
// registered, 5 or 25 for a failing close, 24 for a failing node write-back.
int park_block(fhrequest *block);

// The reopen service: opens the parked entry's files again with its saved
// flags (10 tries each, parking other files between), checks the hash
// header again when the size index is 0, opens the index again when its
// context is gone, seeks both files back and marks the entry open. Returns
// 0, 1, 21 or 31 when a file cannot be opened, or the status of the header
// check; on failure the entry stays parked with no handle open.
int reopen_slot(fhslot *slot);

// The closelru service: _closelru.
int closelru(int force);

}  // namespace corvex

#endif
