#include "engine/data/varlen_packing.h"

#include <string.h>

namespace corvex {

void pack_stored_form(const fhrequest *block, char *image) {
  for_each_stored_element(block, [&](size_t begin, size_t end, bool whole, bool) {
    if (whole) return;
    for (size_t k = begin; k < end; k++) {
      if (image[k] == '\t') image[k] = ' ';
    }
  });
}

size_t pack_record(const fhrequest *block, const char *image, char *out) {
  size_t n = VAR_DATA_AT;
  for_each_stored_element(block, [&](size_t begin, size_t end, bool whole, bool last) {
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
  for_each_stored_element(block, [&](size_t begin, size_t end, bool whole, bool) {
    for (size_t k = begin; k < end && p < stop; k++) {
      char c = stored[p++];
      if (c == '\t' && !whole) break;
      image[k] = c;
    }
  });
}

}  // namespace corvex
