// The open-file list: one entry per registered request block, in order of
// registration, after an empty head entry that the engine's set-up allocates.
#ifndef CORVEX_ENGINE_CORE_OPENLIST_H
#define CORVEX_ENGINE_CORE_OPENLIST_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

enum { SLOT_OPEN = 1, SLOT_PARKED = 2 };

// How the handles of a file set are opened (kept in the open-file entry, so
// that parked handles are opened again the same way).
enum {
  OPEN_READONLY = 0x1,  // read-only: FH_READONLY, or the data file is not writable
  OPEN_SHARED = 0x2,    // others may read and write (a shared mode, or the single-user one)
  OPEN_DENYALL = 0x4,   // others may neither read nor write (FH_EXCLUSIVE in a shared mode)
  OPEN_INDEX = 0x8      // the set takes its index or hash file
};

struct fhslot {
  uint16_t state = 0;      // SLOT_OPEN or SLOT_PARKED; 0 in the head entry
  uint32_t datpos = 0;     // data file position saved when parked
  uint32_t idxpos = 0;     // index or hash file position saved when parked
  uint16_t openflags = 0;  // flags the files were opened with
  uint16_t age = 0;        // uses of other files since this one was used
  fhrequest *block = nullptr;
  fhslot *next = nullptr;
};

// Allocates the empty head entry. Returns 0 or 9.
int openlist_setup();

// Frees the head entry and any entries left in the list.
void openlist_shutdown();

// The entry of `block`, or null when it is not registered.
fhslot *openlist_find(const fhrequest *block);

// Appends an open entry for `block` with its open flags. Returns 0, 9 when
// no memory is left, or 11 when the engine has no list.
int openlist_add(fhrequest *block, uint16_t openflags);

// Unlinks and frees the entry of `block`. Returns 0 or 11 when missing.
int openlist_remove(const fhrequest *block);

// True when the registered block's set holds its index or hash file (it was
// opened with keys), also while set-key 0 has keys turned off or while the
// block is parked.
bool openlist_index_attached(const fhrequest *block);

// The use check of every operation on an open file: makes the block's entry
// the most recently used (age 0, every other entry one older) and re-opens
// it when parked. Returns 0, 11 when the block is not registered, or the
// status of a failed re-open.
int openlist_use(fhrequest *block);

}  // namespace corvex

#endif
