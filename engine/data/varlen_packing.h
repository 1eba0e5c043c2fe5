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

#include "engine/data/records.h"
#include "engine/fhrequest.h"
#include "util/ascii.h"

namespace corvex {

// Binary ('I') and 'S' items, and thread links, are stored whole; the type
// letter counts in either case.
inline bool item_stored_whole(const fhrequest *block, const fhitemdef &item) {
  unsigned char type = ascii_upper(static_cast<unsigned char>(item.type));
  if (type == 'I' || type == 'S') return true;
  for (uint16_t t = 0; t < block->nthreads; t++) {
    if (block->threaddefs[t].offset == item.offset) return true;
  }
  return false;
}

// Visits, in stored order, every element's part that lies beyond what
// earlier elements covered, within the data bytes of the record:
// fn(begin, end, whole, last) with the record offsets [begin, end), whether
// the element is stored whole, and whether it is the very last element.
// Every data byte inside an item belongs to exactly one visited part.
template <typename Fn>
void for_each_stored_element(const fhrequest *block, Fn fn) {
  size_t taken = VAR_DATA_AT;
  size_t limit = block->reclen > 0 ? block->reclen - 1u : 0;
  for (uint16_t i = 0; i < block->nitems; i++) {
    const fhitemdef &item = block->itemdefs[i];
    bool whole = item_stored_whole(block, item);
    for (uint16_t j = 0; j < item.count; j++) {
      size_t begin = item.offset + static_cast<size_t>(j) * item.length;
      size_t end = begin + item.length;
      if (begin < taken) begin = taken;
      if (end > limit) end = limit;
      bool last = i + 1 == block->nitems && j + 1 == item.count;
      if (begin >= end) continue;
      fn(begin, end, whole, last);
      taken = end;
    }
  }
}

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
