#include "util/positional_io.h"

#include <errno.h>
#include <unistd.h>

#include "util/fault_seam.h"

namespace corvex {

ssize_t pread_full(int fd, void *out, size_t len, off_t at) {
  if (fault_refuses(FileCall::kRead, len)) return -1;
  char *p = static_cast<char *>(out);
  size_t got = 0;
  while (got < len) {
    ssize_t n = pread(fd, p + got, len - got, at + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

size_t pwrite_full(int fd, const void *data, size_t len, off_t at) {
  // The seam may fail the write, or tear it after its first bytes.
  FaultAction fault = fault_ask(FileCall::kWrite, len);
  if (fault.error != 0) {
    errno = fault.error;
    return 0;
  }
  size_t want = fault.keep < len ? fault.keep : len;
  const char *p = static_cast<const char *>(data);
  size_t done = 0;
  while (done < want) {
    ssize_t n = pwrite(fd, p + done, want - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done == want && want < len) errno = ENOSPC;
  return done;
}

}  // namespace corvex
