#include "util/fileio.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include "util/fault_seam.h"

namespace corvex {

namespace {

#ifdef CORVEX_FAULTS
FaultHook g_hook = nullptr;

// The seam's answer for a call; no fault without a hook.
FaultAction ask(FileCall call, size_t len) { return g_hook ? g_hook(call, len) : FaultAction(); }

// Fails the call as the hook asks: true (errno set) when it must not run.
bool refused(FileCall call, size_t len) {
  FaultAction a = ask(call, len);
  if (a.error == 0) return false;
  errno = a.error;
  return true;
}
#else
inline bool refused(FileCall, size_t) { return false; }
#endif

// The bytes of a write of `len` that reach the file: all of them, or what
// the seam keeps of a torn one (then *torn is set).
size_t write_length(size_t len, bool *torn, int *error) {
  *torn = false;
#ifdef CORVEX_FAULTS
  FaultAction a = ask(FileCall::kWrite, len);
  *error = a.error;
  if (a.error == 0 && a.keep < len) {
    *torn = true;
    return a.keep;
  }
#else
  *error = 0;
#endif
  return len;
}

}  // namespace

bool fault_hook_set(FaultHook hook) {
#ifdef CORVEX_FAULTS
  g_hook = hook;
  return true;
#else
  (void)hook;
  return false;
#endif
}

ssize_t io_read_at(int fd, void *buf, size_t len, off_t pos) {
  if (refused(FileCall::kRead, len)) return -1;
  char *out = static_cast<char *>(buf);
  size_t got = 0;
  while (got < len) {
    ssize_t n = pread(fd, out + got, len - got, pos + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

int io_write_at(int fd, const void *buf, size_t len, off_t pos) {
  bool torn;
  int error;
  size_t want = write_length(len, &torn, &error);
  if (error != 0) {
    errno = error;
    return -1;
  }
  const char *in = static_cast<const char *>(buf);
  size_t done = 0;
  while (done < want) {
    ssize_t n = pwrite(fd, in + done, want - done, pos + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) {
      errno = ENOSPC;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  if (!torn) return 0;
  errno = ENOSPC;
  return -1;
}

int io_write(int fd, const void *buf, size_t len) {
  bool torn;
  int error;
  size_t want = write_length(len, &torn, &error);
  if (error != 0) {
    errno = error;
    return -1;
  }
  const char *in = static_cast<const char *>(buf);
  size_t done = 0;
  while (done < want) {
    ssize_t n = write(fd, in + done, want - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  if (!torn) return 0;
  errno = ENOSPC;
  return -1;
}

int io_truncate(int fd, off_t len) {
  if (refused(FileCall::kTruncate, 0)) return -1;
  int r;
  do {
    r = ftruncate(fd, len);
  } while (r != 0 && errno == EINTR);
  return r;
}

int io_datasync(int fd) {
  if (refused(FileCall::kSync, 0)) return -1;
  return fdatasync(fd);
}

int io_sync(int fd) {
  if (refused(FileCall::kSync, 0)) return -1;
  return fsync(fd);
}

int io_rename(const char *from, const char *to) {
  if (refused(FileCall::kRename, 0)) return -1;
  return rename(from, to);
}

}  // namespace corvex
