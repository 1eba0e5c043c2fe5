// Loads arbitrary bytes as a file description, plainly and as the base of a
// temporary index. The loader must answer with a status, never overrun.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "engine/fid/fid.h"
#include "tests/support/scratch.h"

using namespace corvex;

namespace {

void load(const char *path, uint16_t mode, const char *expr) {
  fhrequest block = {};
  snprintf(block.fidname, sizeof block.fidname, "%s", path);
  block.mode = mode;
  char keybuf[FH_KEYBUFSIZE] = {};
  snprintf(keybuf, sizeof keybuf, "%s", expr);
  block.keybuf = keybuf;
  if (fid_load(&block) == FHS_OK) {
    for (uint16_t i = 0; i < block.nitems; i++) {
      char name[11] = {};
      memcpy(name, block.itemdefs[i].name, 10);
      _fhfidoffset(&block, name);
    }
  }
  fid_free(&block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Memory-backed when possible: the file is rewritten on every input.
  static Scratch scratch(memory_base());
  static const std::string file = scratch.path("fid_fuzz.fid");
  const char *path = file.c_str();
  FILE *f = fopen(path, "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);
  load(path, 0, "");
  load(path, FH_TEMPINDEX, "UNIKEY + -frq");
  return 0;
}
