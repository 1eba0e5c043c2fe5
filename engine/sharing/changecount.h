// Change counts: how a block in a shared network mode learns, without a
// system call, whether any program has changed its files since it last
// looked.
//
// Every program using a data file in a shared mode that places real locks
// maps one small shared-memory object per file, named by the file's device
// and inode, holding a 64-bit count. A holder of the file's header lock
// makes the count odd when it takes the lock and even again when it lets it
// go. The count is therefore even exactly when nobody is inside a header
// lock section, and it differs from an earlier even value whenever a
// section ran since:
//
//   - a block whose count is still the even value it last saw has files
//     that match its cached nodes, headers and key cursors, and may use
//     them as a single-user block does (changes_current);
//   - a read that finds the same even count before and after its work took
//     whole copies from the files, so it needs no header lock.
//
// A count left odd by a program killed inside its section is made even by
// the next holder of the lock. Where the count lives, who may use it and
// how unused objects go away is count_object.h's part: the count is kept
// only for tables that their owner alone can write, in an object private to
// that owner, removed by its last user or, when its users were killed, by
// the next program of the owner that keeps a count.
//
// Untracked blocks keep the locked reads and the flush after every call:
// blocks outside such a mode, files on a network file system (other
// machines have no view of the count), blocks without a data file, tables
// writable by group or others, programs of other users, and files whose
// count object cannot be had or is not to be trusted.
#ifndef CORVEX_ENGINE_SHARING_CHANGECOUNT_H
#define CORVEX_ENGINE_SHARING_CHANGECOUNT_H

#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>

#include "engine/fhrequest.h"

namespace corvex {

// The shared-memory name of the count of the file that `st` describes. An
// object outlives a file whose last users were killed; it can be removed by
// this name (shm_unlink) while nobody uses the file.
void changes_object_name(const struct stat &st, char *out, size_t size);

// Removes the count object of the file `st` describes when no program holds
// it (maintenance replaces the file by another inode).
void changes_discard_unused(const struct stat &st);

// Starts an engine call on `block`. For a tracked block (attaching its
// count on first use) stores the count into *count and returns true; the
// block is current for the call when the count is even and the one it last
// saw. A block that is not current must drop its cached view of the files.
bool changes_begin_call(const fhrequest *block, uint64_t *count);

// True when the block is tracked and its cached view matches its files.
bool changes_current(const fhrequest *block);

// True when `block` must read again what other programs may have changed
// (headers, nodes, file sizes): a shared block whose change count does not
// show its cached view to be current.
bool block_rereads(const fhrequest *block);

// True when the block is tracked: its caches are kept across calls and
// dropped when its count shows a change.
bool changes_tracked(const fhrequest *block);

// True when the block's count still equals `count`: nothing ran under the
// header lock since changes_begin_call gave it. The block then counts as
// having seen `count`, and is current.
bool changes_settle(const fhrequest *block, uint64_t count);

// The header lock of the block was just taken. Makes the count odd and
// returns whether the block was current, i.e. nobody else changed the files
// since it last looked; when not, the caller drops its cached view. True
// for untracked blocks.
bool changes_enter(const fhrequest *block);

// The header lock is about to be released: makes the count even and
// records it as seen.
void changes_leave(const fhrequest *block);

// The block's cached view may differ from its files (a failed change or
// refresh): it is stale until it reads its files again, also after the
// header lock section it may be in.
void changes_forget(const fhrequest *block);

// Drops the block's count (its handles are closed), removing the object
// when no other user holds it.
void changes_release(const fhrequest *block);

// Drops every block's count: the network mode changed.
void changes_release_all();

}  // namespace corvex

#endif
