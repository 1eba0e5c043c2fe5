// Fuzz target: reading damaged data files.
//
// The first input byte chooses fixed or variable-length records and whether
// records are also taken out of their threads; the rest is the data file.
// Reading the header, every record and the thread chains must end with a
// status, never outside a buffer.
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "engine/data/datafile.h"
#include "engine/data/record_threads.h"
#include "engine/data/records.h"

using namespace corvex;

namespace {

fhitemdef item(const char *name, uint16_t offset, uint16_t length, uint16_t order) {
  fhitemdef it = {};
  memcpy(it.name, name, strlen(name));
  it.type = 'C';
  it.offset = offset;
  it.length = length;
  it.count = 1;
  it.order = order;
  return it;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  uint8_t choice = data[0];
  data++;
  size--;
  bool varlen = choice & 1;
  uint16_t base = varlen ? 5 : 1;
  // Items in item order CODE, NAME, LINK, CITY; names sorted: CITY, CODE, LINK, NAME.
  fhitemdef items[4] = {item("CODE", base, 6, 3), item("NAME", static_cast<uint16_t>(base + 6), 10, 0),
                        item("LINK", static_cast<uint16_t>(base + 16), 4, 2),
                        item("CITY", static_cast<uint16_t>(base + 20), 8, 1)};
  fhthreaddef threads[1] = {{static_cast<uint16_t>(base + 16), "CITY = 'PARIS'", 0}};
  fhrequest block = {};
  block.nitems = 4;
  block.itemdefs = items;
  block.nthreads = 1;
  block.threaddefs = threads;
  block.reclen = static_cast<uint16_t>(base + 29);
  block.mode = varlen ? FH_VARLEN : 0;

  int fd = memfd_create("data", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  block.datfd = fd;
  std::vector<char> image(block.reclen);
  if (header_read(&block, (choice & 2) != 0) == FHS_OK) {
    // Every record in physical order.
    uint32_t pos = block.reclen;
    for (int n = 0; n < 500 && pos < size; n++) {
      uint32_t len;
      if (record_read(&block, pos, image.data(), &len) != FHS_OK) break;
      if ((choice & 4) && n < 8) thread_leave_all(&block, pos, image.data());
      pos += len;
    }
    // The thread from its head, bounded by the slot count.
    uint32_t cur = threads[0].head;
    for (uint32_t steps = 0; cur != 0 && steps < block.nrecs && steps < 500; steps++) {
      uint32_t len;
      if (record_read(&block, cur, image.data(), &len) != FHS_OK) break;
      if (thread_link(&block, 0, image.data(), &cur) != FHS_OK) break;
    }
  }
  close(fd);
  return 0;
}
