// The functions libcorvex exports besides the request-block entry points
// (rfh.h, rfhitem.h and dispatch.h): byte locks, key texts, item numbers,
// parking of open files and base-95 numbers. Each is defined in the module
// named above it; the module's face header includes this one.
#ifndef CORVEX_ENGINE_EXPORTS_H
#define CORVEX_ENGINE_EXPORTS_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// --- Byte locks of data files (engine/sharing/locks.cpp). ---

// Locks the byte at `pos` of the block's data file, once, without waiting.
// 0 on success, -1 when another open file holds it. Does nothing and returns
// 0 in network modes other than 1 and 2.
CORVEX_EXPORT int32_t dlock(fhrequest *block, uint32_t pos);

// Unlocks the byte at `pos`; 0, or -1 when the system refuses. Does nothing
// and returns 0 in network modes other than 1 and 2.
CORVEX_EXPORT int32_t udlock(fhrequest *block, uint32_t pos);

// Re-opening a handle in place is not offered: always -1.
CORVEX_EXPORT int32_t _fhclopen(int32_t handle);

// --- Key texts (engine/index/keys.cpp). ---

// Builds key k of the record in `recbuf` into `out` (at least the stored key
// length + 1 bytes) followed by a zero byte and returns its length. Returns
// -1 for a null block, buffer or out, or a key number out of range; bytes
// beyond `reclen` are taken as spaces.
CORVEX_EXPORT int32_t _bldkey(fhrequest *block, int32_t k, char *out);

// --- Item numbers (engine/fid/fid.cpp). ---

// The item number of the item called `name` (compared case-sensitively over
// at most 10 bytes), found by binary search over the name-order column, or
// -1 when there is none (also for a null name or a block without items).
CORVEX_EXPORT int32_t _fhfidoffset(fhrequest *block, const char *name);

// --- Parking of open files (engine/ops/parking.cpp). ---

// Parks the least recently used open file (the greatest age, the later
// entry on equal ages). Without `force`, FH_EXCLUSIVE blocks and blocks that
// hold a record lock are passed over. In network mode 0 or for an
// FH_EXCLUSIVE block the pending data file header, thread heads and index
// header are written first; ST_HDRDIRTY is cleared once they are out. Returns
// 0, or -1 when no entry qualifies.
CORVEX_EXPORT int32_t _closelru(int32_t force);

// Parks every open file: _closelru(1) until it answers -1. Returns -1.
CORVEX_EXPORT int32_t _fhlimball(void);

// Parks `block` without writing its pending headers (its dirty index nodes
// are written back first). Sets `status`: 0; 11 when the block is not
// registered; 5 or 25 when closing the data or the index handle fails (the
// block is parked all the same). Returns 0 when the status is 0, else -1.
CORVEX_EXPORT int32_t _rfhlimbo(fhrequest *block);

// Opens `name` as _fastopen (util/fastfile.h) does; when that fails, parks
// the least recently used file (_closelru(0)) and tries once more. Returns
// the buffered handle, or -1.
CORVEX_EXPORT int32_t _fastlruopen(const char *name, int32_t flags, int32_t mode);

// --- Base-95 numbers (engine/data/base95.cpp). ---

// Writes `value` as `width` base-95 digits (clamped to 0..31) into one
// static buffer, filling from the right; digits beyond the width are lost.
// Returns the buffer, terminated; it is valid until the next call.
CORVEX_EXPORT const char *tobase95(uint32_t value, int32_t width);

// The sum of the first `width` digits of `text`. The digits end early at a
// zero byte; a character outside ' '..'~' counts as 0. A null text is 0.
// The result wraps modulo 2^32 for widths above 4.
CORVEX_EXPORT uint32_t frombase95(const char *text, int32_t width);

// --- Descriptions (engine/fid/fidwrite.cpp). ---

// Writes the FID file `fid_path` for the text description `description`
// (engine/fid/description.h). 0 on success; -1 when the description is
// refused or the file cannot be written, with the reason in `error` (at
// most `error_size` bytes with its terminator).
CORVEX_EXPORT int32_t corvex_describe(const char *description, const char *fid_path, char *error,
                                      int32_t error_size);

CORVEX_EXTERN_C_END

#endif
