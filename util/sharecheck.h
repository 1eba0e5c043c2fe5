// What programs outside the engine ask of the locks of a table's files: is
// another program using the file, may this program have it alone, and a
// moment in which no program changes it. Each answer comes from the same
// open-file-description locks the engine places (util/filelock.h), so it
// holds between programs on one machine and, through the lock manager,
// between machines sharing a file server.
#ifndef CORVEX_UTIL_SHARECHECK_H
#define CORVEX_UTIL_SHARECHECK_H

#include <stdint.h>

#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// 1 when another open file description holds the sharing lock of the file
// open as `fd` (another program, or another open of this one, has the file
// open in a sharing mode); 0 when none does, or `fd` is not open. The lock
// held through `fd` itself does not count.
CORVEX_EXPORT int32_t share_others(int32_t fd);

// Opens `path` for reading and writing, never through a symbolic link, and
// takes its sharing lock exclusively, so that no other program has it open
// and none can open it in a sharing mode while the lock lasts. Returns the
// descriptor, which the caller closes to end the hold, or -1 with errno set:
// EBUSY when another program has the file open, else the open's error.
CORVEX_EXPORT int32_t share_hold_alone(const char *path);

// Opens the data file `path` (never through a symbolic link) and takes its
// header lock, which every change of the file's records takes in a sharing
// mode: while it is held the file set rests in the state the last completed
// change left. Tries up to `tries` times (at least once), 20 ms apart.
// Returns the descriptor, which the caller closes to release the lock, or -1
// with errno set: EBUSY when the lock stayed taken, else the open's error.
CORVEX_EXPORT int32_t header_hold(const char *path, int32_t tries);

CORVEX_EXTERN_C_END

#endif
