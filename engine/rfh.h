// One-call wrappers around the engine's operations.
//
// Each wrapper clears `status`, sets `opcode` (and the flag or argument it
// names), runs _filehandler (engine/dispatch.h), which leaves the status in
// `status`, and returns 0 when it is 0 and -1 otherwise (also for a null
// block). Flags that a wrapper sets stay in `mode` after the call.
#ifndef CORVEX_ENGINE_RFH_H
#define CORVEX_ENGINE_RFH_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// Open (1), make (2) and make-temporary-index (15). A `hdrtries` of 0
// becomes 100 and a `rectries` of 0 becomes 1 first. On success `recbuf`
// points at a new record buffer of `reclen` + 8 bytes (from globalmalloc):
// `reclen` spaces, the last of them a line feed, then a zero byte. When the
// buffer cannot be had the file is closed again and the status is 9. An
// open that answers 113 (an unfinished update was found) has opened the
// file and made its buffer too, and returns -1 with the status 113.
CORVEX_EXPORT int32_t _rfhopen(fhrequest *block);
CORVEX_EXPORT int32_t _rfhmake(fhrequest *block);
CORVEX_EXPORT int32_t _rfhmaketidx(fhrequest *block);

// Close (3); then frees `recbuf` (with globalmfree) whatever the result and
// sets it null.
CORVEX_EXPORT int32_t _rfhclose(fhrequest *block);

// Read (4) and write (5), with FH_STAY set when `stay` is not 0 and
// cleared otherwise.
CORVEX_EXPORT int32_t _rfhread(fhrequest *block, int32_t stay);
CORVEX_EXPORT int32_t _rfhwrite(fhrequest *block, int32_t stay);
// Add (16), with FH_STAY as for write: a new record only; the status is 114
// when a record with its key 0 text exists.
CORVEX_EXPORT int32_t _rfhadd(fhrequest *block, int32_t stay);

// Position (8), with FH_EXACT set when `exact` is not 0 and cleared
// otherwise.
CORVEX_EXPORT int32_t _rfhposn(fhrequest *block, int32_t exact);

// Backspace (7), delete (6), record lock (13), record unlock (14), secure (9).
CORVEX_EXPORT int32_t _rfhbacksp(fhrequest *block);
CORVEX_EXPORT int32_t _rfhdelete(fhrequest *block);
CORVEX_EXPORT int32_t _rfhrlock(fhrequest *block);
CORVEX_EXPORT int32_t _rfhrunlock(fhrequest *block);
CORVEX_EXPORT int32_t _rfhsecure(fhrequest *block);

// Set key (19) with `keyarg` = `key`.
CORVEX_EXPORT int32_t _rfhsetkey(fhrequest *block, uint8_t key);

// Sets the engine's temporary-file directory; null sets it empty.
CORVEX_EXPORT void _rfhsettmpdir(const char *dir);

// Stores the engine's version numbers, 1537 and 257; null pointers are
// passed over.
CORVEX_EXPORT void _rfhgetversion(uint16_t *major, uint16_t *minor);

CORVEX_EXTERN_C_END

namespace corvex {

// The temporary-file directory set by _rfhsettmpdir ("" when none).
const char *engine_tmpdir();

}  // namespace corvex

#endif
