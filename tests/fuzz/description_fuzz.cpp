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

using namespace corvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static char path[64];
  if (!path[0]) {
    // Memory-backed when possible: the file is rewritten on every input.
    const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    snprintf(path, sizeof path, "%s/description_fuzz.%d.fid", dir, static_cast<int>(getpid()));
    atexit([] { unlink(path); });
  }
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
