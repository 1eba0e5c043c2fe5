// Packing of variable-length records.
//
// In the record buffer a variable-length record is held unpacked, in the
// fixed layout of its description. Stored, every element of every item (in
// item-number order) keeps its text without trailing spaces, followed by a
// tab when spaces were dropped, except after the very last element. Items of
// type 'I' or 'S' and thread items are stored whole, never trimmed. An
// element, or the part of it, that lies below what earlier elements already
// covered, or below the first data byte (5), is left out.
#ifndef CORVEX_ENGINE_DATA_VARLEN_PACKING_H
#define CORVEX_ENGINE_DATA_VARLEN_PACKING_H

#include <stddef.h>

#include "engine/fhrequest.h"

namespace corvex {

// Packs the unpacked image `image` (`reclen` bytes) of `block`'s description
// into `out`, which holds at least `reclen` bytes: ' ', the four length
// digits, the packed items and a line feed. Returns the packed length, which
// never exceeds `reclen`. A tab inside a trimmed element is stored as a
// space, so that it cannot be taken for a separator.
size_t pack_record(const fhrequest *block, const char *image, char *out);

// Turns the unpacked image `image` into what unpacking its packed form
// gives back: a tab inside a trimmed element becomes a space. Keys and
// thread memberships built from the image are then those of the stored
// record.
void pack_stored_form(const fhrequest *block, char *image);

// Unpacks the stored record `stored` of `len` bytes (at least 5) into
// `image` (`reclen` bytes): the status byte and the length digits are
// copied, every element is filled from the stored text and padded with
// spaces, bytes outside the items become spaces and the last byte a line
// feed. Stored text that runs out leaves the remaining elements blank; the
// read never goes past `len`.
void unpack_record(const fhrequest *block, const char *stored, size_t len, char *image);

}  // namespace corvex

#endif
