// Fuzz target: opening and searching damaged index files.
//
// The first input byte chooses the key layout and a few operations; the
// rest is the index file. Every open, search, walk, insert, removal and
// deleted-list operation must end with a status, never outside its buffers.
#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "engine/index/index.h"
#include "engine/index/nodecache.h"

using namespace corvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  static bool ready = nodecache_setup() == FHS_OK;
  if (!ready) return 0;
  uint8_t choice = data[0];
  data++;
  size--;

  fhkeydef keys[2] = {};
  keys[0].keylen = 10;
  keys[0].nsegs = 1;
  keys[0].seg[0] = fhsegment{0, 10, static_cast<uint8_t>((choice & 3) == 1 ? SEG_NUMERIC : 0)};
  keys[1].keylen = 4 + 10;
  keys[1].nsegs = 1;
  keys[1].seg[0] = fhsegment{20, 4, static_cast<uint8_t>((choice & 4) ? SEG_DESCENDING : SEG_CASE)};
  fhrequest block = {};
  block.nkeys = (choice & 8) ? 2 : 1;
  block.keydefs = keys;
  block.mode = (choice & 16) ? FH_VARLEN : 0;

  int fd = memfd_create("index", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  block.idxfd = fd;
  if (index_open(&block) == FHS_OK) {
    char text[32];
    memset(text, 0, sizeof text);
    memcpy(text, data + (size > 64 ? 40 : 0), size > 64 ? 14 : (size < 14 ? size : 14));
    uint32_t pos;
    for (int k = 0; k < block.nkeys; k++) {
      for (int mode = IDX_EXACT; mode <= IDX_LAST; mode++) index_search(&block, k, mode, text, &pos);
      int steps = 0;
      for (index_search(&block, k, IDX_FIRST, nullptr, &pos); pos != 0 && steps < 2000; steps++) {
        if (index_search(&block, k, IDX_NEXT, nullptr, &pos) != FHS_OK) break;
      }
      if (choice & 32) {
        index_insert(&block, k, text, 77);
        index_remove(&block, k, text, 77);
      }
    }
    if (choice & 64) {
      index_add_slot(&block, 1234, 30);
      index_take_slot(&block, 30, &pos);
    }
    index_close(&block);
  }
  close(fd);
  return 0;
}
