// Positioned transfers that see the whole length through: a regular file may
// answer pread and pwrite with fewer bytes than asked, and a signal may cut
// a call off (EINTR) before it moved any; both go on where they stopped.
#ifndef CORVEX_UTIL_POSITIONAL_IO_H
#define CORVEX_UTIL_POSITIONAL_IO_H

#include <stddef.h>
#include <sys/types.h>

namespace corvex {

// Reads `len` bytes at offset `at` into `out`. Returns the count read, which
// is less than `len` only where the file ends, or -1 when the system
// refuses (errno says why; bytes read before it are in `out`).
ssize_t pread_full(int fd, void *out, size_t len, off_t at);

// Writes the `len` bytes of `data` at offset `at`. Returns the count written:
// `len`, or less when the system refused the rest (errno says why).
size_t pwrite_full(int fd, const void *data, size_t len, off_t at);

}  // namespace corvex

#endif
