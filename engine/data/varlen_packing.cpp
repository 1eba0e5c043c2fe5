#include "engine/data/varlen_packing.h"

#include <string.h>

#include "engine/data/records.h"
#include "util/ascii.h"

namespace corvex {

namespace {

bool is_thread_item(const fhrequest *block, const fhitemdef &item) {
  for (uint16_t t = 0; t < block->nthreads; t++) {
    if (block->threaddefs[t].offset == item.offset) return true;
  }
  return false;
}

// Binary ('I') and 'S' items, and thread links, are stored whole; the type
// letter counts in either case.
bool keeps_spaces(const fhrequest *block, const fhitemdef &item) {
  unsigned char type = ascii_upper(static_cast<unsigned char>(item.type));
  return type == 'I' || type == 'S' || is_thread_item(block, item);
}

// Visits every element's part that lies beyond what earlier elements
// covered, within the data bytes of the record: fn(begin, end, whole, last).
template <typename Fn>
void for_each_element(const fhrequest *block, Fn fn) {
  size_t taken = VAR_DATA_AT;
  size_t limit = block->reclen > 0 ? block->reclen - 1u : 0;
  for (uint16_t i = 0; i < block->nitems; i++) {
    const fhitemdef &item = block->itemdefs[i];
    bool whole = keeps_spaces(block, item);
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

}  // namespace

void pack_stored_form(const fhrequest *block, char *image) {
  for_each_element(block, [&](size_t begin, size_t end, bool whole, bool) {
    if (whole) return;
    for (size_t k = begin; k < end; k++) {
      if (image[k] == '\t') image[k] = ' ';
    }
  });
}

size_t pack_record(const fhrequest *block, const char *image, char *out) {
  size_t n = VAR_DATA_AT;
  for_each_element(block, [&](size_t begin, size_t end, bool whole, bool last) {
    size_t keep = end;
    if (!whole) {
      while (keep > begin && image[keep - 1] == ' ') keep--;
    }
    for (size_t k = begin; k < keep; k++) {
      char c = image[k];
      out[n++] = (!whole && c == '\t') ? ' ' : c;
    }
    if (keep < end && !last) out[n++] = '\t';
  });
  out[n++] = REC_END;
  out[0] = REC_ACTIVE;
  hex_put(static_cast<uint32_t>(n), VAR_LENGTH_DIGITS, out + VAR_LENGTH_AT);
  return n;
}

void unpack_record(const fhrequest *block, const char *stored, size_t len, char *image) {
  size_t reclen = block->reclen;
  if (reclen < VAR_MIN_LENGTH || len < VAR_DATA_AT) return;
  memcpy(image, stored, VAR_DATA_AT);
  memset(image + VAR_DATA_AT, ' ', reclen - VAR_DATA_AT - 1);
  image[reclen - 1] = REC_END;
  size_t p = VAR_DATA_AT;
  size_t stop = len - 1;  // the closing line feed
  for_each_element(block, [&](size_t begin, size_t end, bool whole, bool) {
    for (size_t k = begin; k < end && p < stop; k++) {
      char c = stored[p++];
      if (c == '\t' && !whole) break;
      image[k] = c;
    }
  });
}

}  // namespace corvex
