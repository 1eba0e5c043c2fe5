#include "util/sharecheck.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "util/filelock.h"

namespace {

constexpr std::chrono::milliseconds kRetryWait{20};

int open_table_file(const char *path) {
  if (!path) {
    errno = EINVAL;
    return -1;
  }
  return open(path, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
}

// Closes `fd` and reports `error` as the reason.
int32_t give_up(int fd, int error) {
  close(fd);
  errno = error;
  return -1;
}

}  // namespace

int32_t share_others(int32_t fd) { return fd >= 0 && corvex::share_held_elsewhere(fd) ? 1 : 0; }

int32_t share_hold_alone(const char *path) {
  int fd = open_table_file(path);
  if (fd < 0) return -1;
  return corvex::share_acquire(fd, true) ? fd : give_up(fd, EBUSY);
}

int32_t header_hold(const char *path, int32_t tries) {
  int fd = open_table_file(path);
  if (fd < 0) return -1;
  for (int32_t i = 0;; i++) {
    if (corvex::bytelock_try(fd, 0)) return fd;
    if (i + 1 >= tries) return give_up(fd, EBUSY);
    std::this_thread::sleep_for(kRetryWait);
  }
}
