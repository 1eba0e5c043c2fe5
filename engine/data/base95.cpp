#include "engine/data/base95.h"

namespace corvex {

void base95_put(uint32_t value, int width, char *out) {
  for (int i = width - 1; i >= 0; i--) {
    out[i] = static_cast<char>(' ' + value % 95);
    value /= 95;
  }
}

bool base95_get(const char *text, int width, uint32_t *value) {
  uint32_t sum = 0;
  for (int i = 0; i < width; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < ' ' || c > '~') return false;
    sum = sum * 95 + (c - ' ');
  }
  *value = sum;
  return true;
}

}  // namespace corvex

const char *tobase95(uint32_t value, int32_t width) {
  static char buffer[32];
  if (width < 0) width = 0;
  if (width > 31) width = 31;
  corvex::base95_put(value, width, buffer);
  buffer[width] = '\0';
  return buffer;
}

uint32_t frombase95(const char *text, int32_t width) {
  uint32_t sum = 0;
  if (!text) return 0;
  for (int32_t i = 0; i < width && text[i]; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    sum = sum * 95 + ((c >= ' ' && c <= '~') ? c - ' ' : 0);
  }
  return sum;
}
