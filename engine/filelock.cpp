#include "engine/filelock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

namespace corvex {

namespace {

bool set_byte_lock(int fd, uint32_t pos, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(pos);
  lock.l_len = 1;
  lock.l_pid = 0;  // required for open-file-description locks
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

// A descriptor opened read-only cannot hold a write lock; it takes a read
// lock instead, which still excludes every writer's lock of the byte.
bool bytelock_try(int fd, uint32_t pos) {
  if (set_byte_lock(fd, pos, F_WRLCK)) return true;
  return errno == EBADF && set_byte_lock(fd, pos, F_RDLCK);
}

bool bytelock_release(int fd, uint32_t pos) { return set_byte_lock(fd, pos, F_UNLCK); }

bool bytelock_held_elsewhere(int fd, uint32_t pos) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(pos);
  lock.l_len = 1;
  lock.l_pid = 0;
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

bool share_acquire(int fd, bool exclusive) {
  return flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
}

}  // namespace corvex
