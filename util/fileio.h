// The file calls of the engine: positioned reads and writes that go on
// after an interruption (EINTR) and after a part transfer, and the calls
// that change a file's length, make it durable or rename it.
//
// Every transfer and change of a record file goes through here, which makes
// this the one place where tests inject faults (util/fault_seam.h): a
// build with TESSALY_FAULTS asks the seam before each call; any other
// build calls the system directly.
#ifndef CORVEX_UTIL_FILEIO_H
#define CORVEX_UTIL_FILEIO_H

#include <stddef.h>
#include <sys/types.h>

namespace corvex {

// Reads up to `len` bytes at `pos`: the count read (short only at the end
// of the file), or -1 with errno set.
ssize_t io_read_at(int fd, void *buf, size_t len, off_t pos);

// Writes all `len` bytes at `pos`. 0, or -1 with errno set (ENOSPC when
// the file system took only part of them); the bytes that were written
// stay on file.
int io_write_at(int fd, const void *buf, size_t len, off_t pos);

// Writes all `len` bytes at the handle's position. 0 or -1 with errno set.
int io_write(int fd, const void *buf, size_t len);

// ftruncate, fdatasync, fsync and rename with the same answers as the
// system's (0, or -1 with errno set); interrupted calls are made again.
int io_truncate(int fd, off_t len);
int io_datasync(int fd);
int io_sync(int fd);
int io_rename(const char *from, const char *to);

}  // namespace corvex

#endif
