// Module engine/fid/: file descriptions, binary (FID files) and in text,
// and the names of a data file's companion files. Its face is this header
// with description.h, fidwrite.h and companion_names.h; it uses core/.
//
// Loading a file description (FID file) into a request block.
//
// The loader fills `reclen` (data length + 2), `nitems`, `nkeys`, `nthreads`,
// `curkey` (0), FH_VARLEN, FH_HASHED and `hashsize`, and the three tables
// `itemdefs`, `keydefs` and `threaddefs` (engine/fiddefs.h), which come from
// globalcalloc and belong to the block until fid_free. In memory, item
// offsets are raised by one (they count the status byte) and every key after
// key 0 has key 0's length added to its own.
//
// The file is untrusted: every count and length is checked against the record
// and the file before it is used.
#ifndef CORVEX_ENGINE_FID_FID_H
#define CORVEX_ENGINE_FID_FID_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "engine/exports.h"

namespace corvex {

// The FID step of open, make and make-temporary-index. With FH_TEMPINDEX set
// the description is always loaded; otherwise nothing is loaded when
// `fidname` begins with "*SEQ" (a byte stream: `nitems` stays 0) or FH_NOFID
// is set (the caller's tables stand). An empty `fidname` is first derived
// from `datname` with ".fid". Returns 0 or the loader's status.
int fid_prepare(fhrequest *block);

// Loads `fidname` into the block. Returns 0; 6 when the file cannot be
// opened; 7 when it ends early or holds counts, offsets or lengths that do not
// fit the record (or a thread item names no item); 8 for a wrong signature or
// version; 9 when memory runs out; 13 for a data length below 8; 37 for a
// description both hashed and variable-length; 41 and 42 for a thread item
// in the first 8 data bytes or shorter than 4; 112 for a bad temporary index
// expression. On failure no table is left allocated and the counts are 0.
int fid_load(fhrequest *block);

// Frees the block's three tables and sets them null with their counts 0.
void fid_free(fhrequest *block);

// Builds the key of a temporary index from `expr` (items joined by '+' or
// '-', a '-' making the next segment descending, a lower-case first letter
// making it case-sensitive) over the block's items. The key length is the
// sum of the segment lengths plus 4 for the record position suffix.
// Returns 0, or 112 for an empty name, a name of 11 or more characters, a
// name that is no item, more than 18 segments or a key over 255 bytes.
int fid_tempkey(const fhrequest *block, const char *expr, fhkeydef *key);

}  // namespace corvex

#endif
