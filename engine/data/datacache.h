// Pages of data files kept in memory while their handles are open, so that
// record reads in a single-user setting make no system call.
//
// Only blocks opened with FH_EXCLUSIVE read through the pages: the caller
// then promises that nothing else changes their files, whereas in network
// mode 0 alone another handle may still write to a file between two reads
// and the next read must see it. A page is
// loaded whole at the first read that touches it; every write the engine
// makes to a data file goes to the file first and then into the loaded
// pages of every cached block of the process that has the same file open,
// so a page always equals the file. A block's pages are dropped when its
// handles are closed (close, park, secure). Pages are kept up to a bound
// on the memory used; past it, and whenever memory or a page read fails,
// the caller reads the file itself.
#ifndef CORVEX_ENGINE_DATA_DATACACHE_H
#define CORVEX_ENGINE_DATA_DATACACHE_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include "engine/fhrequest.h"

namespace corvex {

// Copies up to `len` bytes at `pos` of the block's data file into `out`
// from its pages: the count copied (short only at the end of the file), or
// -1 when the block is not cached or the pages cannot serve the read.
ssize_t datacache_read(const fhrequest *block, uint32_t pos, char *out, size_t len);

// Tells the cache that `len` bytes of `data` were written at `pos` of the
// block's data file; the pages of every cached block on that file follow.
void datacache_wrote(const fhrequest *block, uint32_t pos, const char *data, size_t len);

// Drops the pages of every block of the process on the block's data file:
// a write failed part way or the file was made shorter.
void datacache_drop_file(const fhrequest *block);

// Drops the block's pages. Called whenever its handles are closed.
void datacache_release(const fhrequest *block);

// Bytes of pages the block holds (0 when it is not cached).
size_t datacache_bytes(const fhrequest *block);

}  // namespace corvex

#endif
