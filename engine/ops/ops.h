// Module engine/ops/: the opcodes on open files: open, make and close of a
// file set, the temporary index, the record operations, hashed access,
// parking and flushing to disk. Its face is this header with fileset.h,
// hashops.h, parking.h, flush_to_disk.h and steps.h; it may use every
// module below it.
//
// The record operations of the request block on data files: read (4),
// write (5), delete (6), backspace (7), position (8) and end (11). Each
// first makes sure the block is open (11 otherwise) and, in a shared network
// mode without FH_EXCLUSIVE, leaves no index node cached for the block when
// it returns.
#ifndef CORVEX_ENGINE_OPS_OPS_H
#define CORVEX_ENGINE_OPS_OPS_H

#include "engine/fhrequest.h"

namespace corvex {

// Reads the current record into `recbuf` (unpacked), makes its key the
// current key text and, unless FH_STAY, advances. 100 when not positioned;
// 109 for a record marked deleted (it is in `recbuf` and the position has
// moved past it). A stream file moves `reclen` bytes and advances by the
// count read; nothing left answers 100.
int op_read(fhrequest *block);

// Adds the record in `recbuf`, or replaces the one with the same key 0,
// keeping every key and thread; reuses a deleted slot of the same length.
// Without keys the record at `recpos` is rewritten, or one is appended when
// not positioned or at the end. 105 read-only; 107 when the record is locked
// by another process; 108 header locked; 44 bad thread expression.
int op_write(fhrequest *block);

// Adds the record in `recbuf` as op_write does, but never replaces: 114
// when a record with its key 0 text exists (nothing is written then). The
// search and the add happen under one hold of the header lock. 102 for a
// file without keys or a hashed, keys-only, index-only or temporary-index
// file.
int op_add(fhrequest *block);

// Deletes the record whose key 0 is in `recbuf`: takes it out of its
// threads, removes all its keys, lists its slot for reuse and marks it 'D';
// then advances. 102 without keys, 100 when the key is not found, 107, 108.
int op_delete(fhrequest *block);

// Moves to the previous record, or to the last one when not positioned.
int op_backspace(fhrequest *block);

// Positions by key (keys in use), at the head of thread `curkey`
// (ST_THREAD), or by the u32 record number at `keybuf` (0 = first record).
int op_position(fhrequest *block);

// Positions after the last record.
int op_end(fhrequest *block);

}  // namespace corvex

#endif
