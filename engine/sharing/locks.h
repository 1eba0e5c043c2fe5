// Header and record locks on the data file.
//
// The byte at position 0 of a data file is its header lock, which guards every
// change to the file's shared state; the byte at a record's position is that
// record's lock. Locks are taken only in a network mode other than 0 and
// never by an FH_EXCLUSIVE or FH_READONLY block; modes 3 and 7 answer every
// lock with success without touching the file. Attempts never block: they
// try, wait 20 ms and try again up to the configured number of tries.
#ifndef CORVEX_ENGINE_SHARING_LOCKS_H
#define CORVEX_ENGINE_SHARING_LOCKS_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "engine/exports.h"

namespace corvex {

// Takes the header lock of `block`'s data file: up to `hdrtries` tries (0 is
// one try). Returns 0 (also when the block does not lock) or 108.
int hdr_lock(fhrequest *block);

// Releases the header lock: clears the engine's held flag and, for a block
// that locks, unlocks byte 0.
void hdr_unlock(fhrequest *block);

// True when this block may rewrite or delete the record at `pos`: it holds
// that record's lock, it does not lock at all, or no other open file holds
// the record.
bool record_is_free(const fhrequest *block, uint32_t pos);

// Releases the record lock held through `block`, if any (close does this).
void release_record_lock(fhrequest *block);

// Opcode 13: locks the current record (up to `rectries` tries, 0 is one),
// first releasing a lock the block holds. Returns 0, 11 or 107.
int op_reclock(fhrequest *block);

// Opcode 14: releases the block's record lock. Returns 0 or 11.
int op_recunlock(fhrequest *block);

}  // namespace corvex

#endif
