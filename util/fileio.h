// The calls of the engine that change a file other than by a transfer:
// its length, its durability and its name. They answer as the system does
// (0, or -1 with errno set); interrupted calls are made again.
//
// With util/positional_io.h these are the file calls where tests inject
// faults (util/fault_seam.h): a build with TESSALY_FAULTS asks the seam
// before each call; any other build calls the system directly.
#ifndef CORVEX_UTIL_FILEIO_H
#define CORVEX_UTIL_FILEIO_H

#include <sys/types.h>

namespace corvex {

int io_truncate(int fd, off_t len);
int io_datasync(int fd);
int io_sync(int fd);
int io_rename(const char *from, const char *to);

}  // namespace corvex

#endif
