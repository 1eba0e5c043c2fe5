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
#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// Parks the least recently used open file (the greatest age, the later
// entry on equal ages). Without `force`, FH_EXCLUSIVE blocks and blocks that
// hold a record lock are passed over. In network mode 0 or for an
// FH_EXCLUSIVE block the pending data file header, thread heads and index
// header are written first; ST_HDRDIRTY is cleared once they are out. Returns
// 0, or -1 when no entry qualifies.
CORVEX_EXPORT int32_t _closelru(int32_t force);

// Parks every open file: _closelru(1) until it answers -1. Returns -1.
CORVEX_EXPORT int32_t _fhlimball(void);

// Parks `block` without writing its pending headers (its dirty index nodes
// are written back first). Sets `status`: 0; 11 when the block is not
// registered; 5 or 25 when closing the data or the index handle fails (the
// block is parked all the same). Returns 0 when the status is 0, else -1.
CORVEX_EXPORT int32_t _rfhlimbo(fhrequest *block);

// Opens `name` as _fastopen (util/fastfile.h) does; when that fails, parks
// the least recently used file (_closelru(0)) and tries once more. Returns
// the buffered handle, or -1.
CORVEX_EXPORT int32_t _fastlruopen(const char *name, int32_t flags, int32_t mode);

CORVEX_EXTERN_C_END

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
