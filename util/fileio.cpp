#include "util/fileio.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include "util/fault_seam.h"

namespace corvex {

int io_truncate(int fd, off_t len) {
  if (fault_refuses(FileCall::kTruncate, 0)) return -1;
  int r;
  do {
    r = ftruncate(fd, len);
  } while (r != 0 && errno == EINTR);
  return r;
}

int io_datasync(int fd) { return fault_refuses(FileCall::kSync, 0) ? -1 : fdatasync(fd); }

int io_sync(int fd) { return fault_refuses(FileCall::kSync, 0) ? -1 : fsync(fd); }

int io_rename(const char *from, const char *to) {
  return fault_refuses(FileCall::kRename, 0) ? -1 : rename(from, to);
}

}  // namespace corvex
