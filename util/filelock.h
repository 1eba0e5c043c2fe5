// File locks of the platform: one-byte locks and the sharing modes of opens.
//
// Every lock here is an open-file-description lock (fcntl F_OFD_SETLK): it
// belongs to the open file description, so two opens of one file conflict even
// inside one process, closing some other descriptor of the file drops nothing,
// and a process that dies releases its locks with its descriptors. They are
// byte-range locks, which network file systems (NFS, SMB) pass on to the
// server, so the same locks hold between machines.
//
// Sharing modes ("others may read and write" / "others may not") are locks on a
// reserved range at kShareLockBase, far beyond any position a record file can
// reach. Locks beyond the end of a file are allowed and change no byte of it,
// and they never overlap the header and record locks, which lie inside the file.
//
//   kShareLockBase      "open" byte: every sharing open holds it, shared opens
//                       with a read lock, exclusive ones with a write lock.
//   kShareLockBase + 1  "exclusive" byte: an exclusive open holds it too; a
//                       shared open that finds it held elsewhere gives way.
//
// A write lock needs a descriptor open for writing and a read lock one open
// for reading. An exclusive open of a read-only descriptor therefore holds read
// locks on both bytes and then checks that no other description holds the open
// byte; a shared open of a write-only descriptor can hold nothing and only
// checks that no exclusive open is present. Two such opens racing may both be
// refused (the callers retry), but never both admitted.
#ifndef CORVEX_UTIL_FILELOCK_H
#define CORVEX_UTIL_FILELOCK_H

#include <stdint.h>

namespace corvex {

constexpr int64_t kShareLockBase = int64_t{1} << 62;

// Tries once, without waiting, to lock the byte at `pos` of `fd` for
// writing. True on success (also when this description holds it already).
bool bytelock_try(int fd, uint32_t pos);

// Locks the byte at `pos` of `fd` for reading, waiting while another
// description holds it for writing. False when the system refuses.
bool bytelock_wait_shared(int fd, uint32_t pos);

// Releases the lock of the byte at `pos`. False when the system refuses.
bool bytelock_release(int fd, uint32_t pos);

// True when another open file description holds the byte at `pos`. Takes
// and drops the lock at once; a byte this description holds counts as free.
bool bytelock_held_elsewhere(int fd, uint32_t pos);

// Takes the sharing lock of an open file without waiting: exclusive when
// others may neither read nor write, shared otherwise. False on a conflict
// (nothing is held then). The lock lasts until the description is closed.
bool share_acquire(int fd, bool exclusive);

// True when another open file description holds the sharing lock of the
// file (its open byte, which every sharing open holds); the lock held
// through `fd` itself does not count.
bool share_held_elsewhere(int fd);

// Turns the shared sharing lock of a descriptor open for writing into an
// exclusive one, without waiting: true when no other description holds the
// file open (nothing changes otherwise). share_back returns to the shared
// lock; false when the system refuses.
bool share_try_alone(int fd);
bool share_back(int fd);

}  // namespace corvex

#endif
