// Items of the record buffer, addressed by name.
//
// An item (engine/fiddefs.h) has `count` elements of `length` bytes each;
// element j lies at recbuf + offset + j x length. Names are looked up with
// _fhfidoffset (engine/fid/fid.h): case-sensitive, at most 10 characters. These
// functions change the record buffer only; nothing reaches the file until a
// write. An item whose elements would reach past `reclen` is treated as
// unknown.
#ifndef CORVEX_ENGINE_RFHITEM_H
#define CORVEX_ENGINE_RFHITEM_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// Copies element `index` of the item `name` into `out` (at least the
// element length + 1 bytes): up to its first zero byte, zero-filled to the
// element length, then a terminator at out[length]. Returns 0, or -1 (and
// leaves `out` alone) for an unknown name, an index outside 0..count-1, or a
// null block, buffer or out.
CORVEX_EXPORT int32_t _rfhitemget(fhrequest *block, const char *name, int32_t index, char *out);

// Stores `text` (null counts as "") into element `index` of the item
// `name`: a right-justified item ('R') first gets as many spaces as the
// element is longer than the text; the text follows, cut at the element's
// end, and spaces fill what is left. Returns 0, or -1 as _rfhitemget.
CORVEX_EXPORT int32_t _rfhitemset(fhrequest *block, const char *name, int32_t index, const char *text);

// The address of the first element of item `name` in `recbuf`, or null
// when the name is unknown.
CORVEX_EXPORT char *_rfhitemoffset(fhrequest *block, const char *name);

// Copies element 0 of every item of `source`, in item-number order, into
// the item of the same name of `dest` (as _rfhitemget then _rfhitemset);
// names `dest` lacks are passed over. Returns 0, or -1 for a null block or
// when no work buffer can be had.
CORVEX_EXPORT int32_t _rfhcopy(fhrequest *dest, fhrequest *source);

CORVEX_EXTERN_C_END

#endif
