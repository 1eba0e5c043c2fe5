#include "engine/fid/companion_names.h"

#include <string.h>

namespace corvex {

const char kFidExt[] = ".fid";
const char kIndexExt[] = ".idx";
const char kHashExt[] = ".hsh";
const char kTempExt[] = ".itx";

bool derive_name(const char *datname, const char *ext, char *out, size_t size) {
  size_t len = strlen(datname);
  size_t base = len;
  for (size_t i = len; i > 0; i--) {
    char c = datname[i - 1];
    if (c == '/' || c == '\\') break;
    if (c == '.') {
      base = i - 1;
      break;
    }
  }
  size_t extlen = strlen(ext);
  if (base + extlen + 1 > size) {
    if (size > 0) out[0] = '\0';
    return false;
  }
  memmove(out, datname, base);
  memcpy(out + base, ext, extlen + 1);
  return true;
}

}  // namespace corvex
