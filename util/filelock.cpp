#include "util/filelock.h"

#include <errno.h>
#include <fcntl.h>

namespace corvex {

namespace {

struct flock range(short type, int64_t start, int64_t length) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(start);
  lock.l_len = static_cast<off_t>(length);
  lock.l_pid = 0;  // required for open-file-description locks
  return lock;
}

bool set_lock(int fd, short type, int64_t start, int64_t length) {
  struct flock lock = range(type, start, length);
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another description holds any lock on the range. A check needs
// no access to the file, so a descriptor of either mode can make it.
bool held_elsewhere(int fd, int64_t start, int64_t length) {
  struct flock lock = range(F_WRLCK, start, length);
  if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

constexpr int64_t kOpenByte = kShareLockBase;
constexpr int64_t kExclusiveByte = kShareLockBase + 1;

}  // namespace

// A descriptor opened read-only cannot hold a write lock; it takes a read
// lock instead, which still excludes every writer's lock of the byte.
bool bytelock_try(int fd, uint32_t pos) {
  if (set_lock(fd, F_WRLCK, pos, 1)) return true;
  return errno == EBADF && set_lock(fd, F_RDLCK, pos, 1);
}

bool bytelock_wait_shared(int fd, uint32_t pos) {
  struct flock lock = range(F_RDLCK, pos, 1);
  int r;
  do {
    r = fcntl(fd, F_OFD_SETLKW, &lock);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool bytelock_release(int fd, uint32_t pos) { return set_lock(fd, F_UNLCK, pos, 1); }

bool bytelock_held_elsewhere(int fd, uint32_t pos) { return held_elsewhere(fd, pos, 1); }

bool share_acquire(int fd, bool exclusive) {
  int access = fcntl(fd, F_GETFL);
  if (access < 0) return false;
  access &= O_ACCMODE;
  if (exclusive) {
    // Both bytes at once: refused while any other description holds either.
    if (access != O_RDONLY) return set_lock(fd, F_WRLCK, kOpenByte, 2);
    if (!set_lock(fd, F_RDLCK, kOpenByte, 2)) return false;
    if (!held_elsewhere(fd, kOpenByte, 1)) return true;
    set_lock(fd, F_UNLCK, kOpenByte, 2);
    return false;
  }
  if (access == O_WRONLY) return !held_elsewhere(fd, kExclusiveByte, 1);
  if (!set_lock(fd, F_RDLCK, kOpenByte, 1)) return false;
  if (!held_elsewhere(fd, kExclusiveByte, 1)) return true;
  set_lock(fd, F_UNLCK, kOpenByte, 1);
  return false;
}

bool share_held_elsewhere(int fd) { return held_elsewhere(fd, kOpenByte, 1); }

bool share_try_alone(int fd) { return set_lock(fd, F_WRLCK, kOpenByte, 2); }

bool share_back(int fd) { return set_lock(fd, F_RDLCK, kOpenByte, 1) && set_lock(fd, F_UNLCK, kExclusiveByte, 1); }

}  // namespace corvex
