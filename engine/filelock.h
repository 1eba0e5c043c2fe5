// File locks of the platform: one-byte locks and whole-file sharing.
//
// Byte locks are open-file-description locks: they belong to the descriptor's
// open file description, so two opens of one file conflict even inside one
// process, and closing some other descriptor of the file drops nothing.
// Sharing is emulated with flock(): a shared open takes a shared flock, an
// exclusive open an exclusive one, and a conflict refuses the open.
#ifndef CORVEX_ENGINE_FILELOCK_H
#define CORVEX_ENGINE_FILELOCK_H

#include <stdint.h>

namespace corvex {

// Tries once, without waiting, to lock the byte at `pos` of `fd` for
// writing. True on success (also when this description holds it already).
bool bytelock_try(int fd, uint32_t pos);

// Releases the lock of the byte at `pos`. False when the system refuses.
bool bytelock_release(int fd, uint32_t pos);

// True when another open file description holds the byte at `pos`. Takes
// and drops the lock at once; a byte this description holds counts as free.
bool bytelock_held_elsewhere(int fd, uint32_t pos);

// Takes the sharing lock of an open file without waiting: exclusive when
// others may neither read nor write, shared otherwise. False on a conflict.
bool share_acquire(int fd, bool exclusive);

}  // namespace corvex

#endif
