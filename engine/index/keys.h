// Key texts: building them from a record and comparing them.
//
// The text of key k is its segments in order, each `length` bytes of the
// record at the segment offset + 1 (the status byte comes first); for k > 0
// the text of key 0 follows, so every secondary key is unique; under
// FH_TEMPINDEX the record position follows as 4 base-95 characters.
#ifndef CORVEX_ENGINE_INDEX_KEYS_H
#define CORVEX_ENGINE_INDEX_KEYS_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "engine/exports.h"

namespace corvex {

// Longest key text plus its terminator.
enum { KEYTEXT_MAX = 512 };

// Builds key `keynum` of the record image `image` into `out`; returns its
// length.
int build_key_of(fhrequest *block, int keynum, char *image, char *out);

// Compares two key texts `left` and `right` of key `keynum` of `block` (each
// the stored key length): segment by segment by each segment's kind, negated
// for descending segments; then the position suffix of a temporary index
// bytewise, or for keys after key 0 the appended key 0 part by key 0's
// rules. Negative, 0 or positive.
int key_compare(const fhrequest *block, int keynum, const char *left, const char *right);

// True when key `keynum` built from the record image `image` would have the
// very bytes of `text` (the stored key length); the record's segments are
// compared in place, nothing is built. Texts with the same bytes always
// compare equal, so this answers a key check without building the key;
// false (a segment beyond the record, a temporary index's position suffix,
// different bytes) leaves it to key_compare of the built key.
bool key_bytes_held(const fhrequest *block, int keynum, const char *image, const char *text);

// The length of key `keynum` without the appended key 0 (key 0: its whole
// length).
int key_ownlen(const fhrequest *block, int keynum);

// A hash of a key text of key 0 (the stored key length) that two texts share
// whenever key_compare finds them equal, so that differing fingerprints
// prove two keys different without comparing them. False, with no
// fingerprint, when a segment of key 0 compares numbers or dates (texts of
// equal values may differ) or the block has a temporary index.
bool key0_fingerprint(const fhrequest *block, const char *text, uint32_t *out);

}  // namespace corvex

#endif
