#include "engine/data/records.h"

namespace corvex {

void hex_put(uint32_t value, int width, char *out) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = width - 1; i >= 0; i--) {
    out[i] = kDigits[value & 0xF];
    value >>= 4;
  }
}

bool hex_get(const char *text, int width, uint32_t *value) {
  uint32_t v = 0;
  for (int i = 0; i < width; i++) {
    char c = text[i];
    uint32_t d;
    if (c >= '0' && c <= '9') {
      d = static_cast<uint32_t>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<uint32_t>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<uint32_t>(c - 'a' + 10);
    } else {
      return false;
    }
    v = v << 4 | d;
  }
  *value = v;
  return true;
}

uint32_t stored_length(const char *slot, size_t avail, uint32_t reclen) {
  uint32_t len;
  if (avail < VAR_DATA_AT || !hex_get(slot + VAR_LENGTH_AT, VAR_LENGTH_DIGITS, &len)) return 0;
  if (len < VAR_MIN_LENGTH || len > reclen) return 0;
  return len;
}

}  // namespace corvex
