// Memory views of a request block's data and index (or hash) files.
//
// Record and node reads copy from a MAP_SHARED mapping instead of making a
// system call each. On a local file system the mapping shows the page cache
// itself, so every pwrite to the file (through this block, another handle of
// the process or another process) is seen by the next read at once; writes
// keep going through pwrite, apart from the few bytes of a data file's
// header that a shared block rewrites after every new record
// (mapped_write). On a network file system other machines' writes reach the
// page cache only through the server's rules, so such files are never
// mapped and the callers read them with pread as before.
//
// A view knows the file size it last saw and copies only below it; a read
// that reaches beyond it looks at the size again and maps the grown file.
// For a shared block that must read its files again (block_rereads: another
// program may have changed them) the size is looked at again once per
// engine call as well, so that a file another process has made smaller is
// never read past its end. A copy that faults all the same (another
// program in the single-user mode cut the file meanwhile) is answered from
// the file with pread instead: no read ends in SIGBUS.
//
// The views of a block are dropped whenever its handles are closed
// (fileset_close_handles): a handle number may later name another file.
#ifndef CORVEX_ENGINE_SHARING_MAPPING_H
#define CORVEX_ENGINE_SHARING_MAPPING_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include "engine/fhrequest.h"

namespace corvex {

// Which file of the block: the data file (`datfd`) or the index or hash
// file (`idxfd`).
enum MappedFile { MAPPED_DATA = 0, MAPPED_INDEX = 1 };

// Copies up to `len` bytes at `pos` of the file into `out`: the count
// copied (short only at the end of the file), or -1 when the file is not
// mapped (a network file system, a handle that cannot be mapped) and the
// caller must read it itself.
ssize_t mapped_read(const fhrequest *block, MappedFile which, uint64_t pos, char *out, size_t len);

// The address of the `len` bytes at `pos` of the file, valid until the next
// call of this module for the block; null when they are not all inside the
// file or the file is not mapped.
const uint8_t *mapped_at(const fhrequest *block, MappedFile which, uint64_t pos, size_t len);

// Copies the `len` bytes at `data` into the file at `pos` through the
// mapping of a data file open for writing: the bytes land in the page cache
// as a pwrite's would, seen at once by every reader of the file, without a
// system call. True when written; false when the bytes are not all inside
// the file, the file is not mapped for writing or ended under the copy, and
// the caller writes them itself. A process killed during the copy may leave
// only part of the bytes, as a torn pwrite would.
bool mapped_write(const fhrequest *block, MappedFile which, uint64_t pos, const char *data, size_t len);

// Asks the processor to fetch the `len` bytes at each of the `n` positions
// `pos` of the file into its cache, so that reads that follow soon find
// them there. Only a hint: positions beyond the file size last seen are
// passed over, nothing is read and no fault can come of it.
void mapped_prefetch(const fhrequest *block, MappedFile which, const uint32_t *pos, int n, size_t len);

// Tells every view of the process that a file was made shorter: each looks
// at its file's size again before its next read.
void mapping_shrunk();

// Marks the start of an engine call: shared blocks look at their files'
// sizes again before their next mapped read.
void mapping_next_call();

// Drops the block's view of one file: its handle is new (index and hash
// file opens call this, as a closed handle's number may come back).
void mapping_forget(const fhrequest *block, MappedFile which);

// Drops the block's views.
void mapping_release(const fhrequest *block);

// Switches mapped reads off (false) or on for the whole process; a switch
// drops every view. For tests and measurements of the plain read path.
void mapping_enable(bool on);

}  // namespace corvex

#endif
