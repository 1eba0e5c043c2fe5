// Parses arbitrary text as a table description. Whatever the parser accepts
// must turn into a FID file that the loader takes without complaint.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "engine/fid/description.h"
#include "engine/fid/fid.h"
#include "engine/fid/fidwrite.h"
#include "tests/support/scratch.h"

using namespace corvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Memory-backed when possible: the file is rewritten on every input.
  static Scratch scratch(memory_base());
  static const std::string file = scratch.path("description_fuzz.fid");
  const char *path = file.c_str();
  Description d;
  std::string error;
  if (!parse_description(std::string_view(reinterpret_cast<const char *>(data), size), &d, &error)) return 0;
  if (!fid_write(d, path, &error)) return 0;
  fhrequest block = {};
  snprintf(block.fidname, sizeof block.fidname, "%s", path);
  int status = fid_load(&block);
  if (status != FHS_OK) {
    fprintf(stderr, "accepted description fails to load: status %d\n", status);
    __builtin_trap();
  }
  fid_free(&block);
  return 0;
}
