#include "util/positional_io.h"

#include <errno.h>
#include <unistd.h>

namespace corvex {

ssize_t pread_full(int fd, void *out, size_t len, off_t at) {
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
  const char *p = static_cast<const char *>(data);
  size_t done = 0;
  while (done < len) {
    ssize_t n = pwrite(fd, p + done, len - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace corvex
