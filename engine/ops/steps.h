// Steps shared by the record operations: moving on past a record, deleting
// a stored record, and reading again what a shared block keeps of its files.
#ifndef CORVEX_ENGINE_OPS_STEPS_H
#define CORVEX_ENGINE_OPS_STEPS_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

// For a shared block whose change count moved: drops its cached nodes and
// reads the data file header and the index header again, so that nothing
// it keeps is older than the files. Returns 0 or the failing read's status.
// The header lock calls it through the plug (refresh_view).
int refresh_shared_view(fhrequest *block);

// Moves past the record just read, written or deleted, whose length was
// `len`: along the current key, along thread `curkey`, backwards, or on in
// physical order. Returns 0 or a status.
int advance(fhrequest *block, uint32_t len);

// Why a stored record is deleted, which decides the order of the writes.
enum DeleteWhy {
  // Deleted for good: its entries go first (key 0 last), then 'D' is
  // written, so that no entry ever leads to a deleted record.
  DELETE_GONE,
  // The older copy of a record whose newer copy is already appended past
  // the count: 'D' goes first, so that a kill at any point leaves the older
  // copy found by its key 0 entry or marked deleted, and the open that
  // finds the newer copy takes the older one out (engine/ops/heal.h).
  DELETE_MOVED
};

// Deletes the record at `pos`, whose stored image is `old` and stored
// length `len`: takes it out of its threads, removes the entries of all its
// keys (when the block has an index), writes 'D' over its status byte and
// lists the slot for reuse. Returns 0 or a status (10 for a missing key).
int delete_stored(fhrequest *block, uint32_t pos, char *old, uint32_t len, DeleteWhy why = DELETE_GONE);

}  // namespace corvex

#endif
