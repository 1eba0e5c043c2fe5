#include "util/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "util/text.h"

namespace corvex {

namespace {

bool private_object(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

// Opens the object, making it when missing; -1 with *why set otherwise.
int open_private(const std::string &name, SharedRefusal *why) {
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) fd = shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) {
    *why = errno == EACCES || errno == ELOOP ? SharedRefusal::kNotPrivate : SharedRefusal::kFailed;
    return -1;
  }
  if (!private_object(fd)) {
    close(fd);
    *why = SharedRefusal::kNotPrivate;
    return -1;
  }
  return fd;
}

// Takes an exclusive flock, giving up after kSharedWaitMs.
bool lock_within_limit(int fd) {
  for (int waited = 0; waited <= kSharedWaitMs; waited += 10) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    usleep(10000);
  }
  errno = EWOULDBLOCK;
  return false;
}

}  // namespace

void *map_shared(const std::string &name, size_t size, const std::function<bool(void *)> &prepare,
                 SharedRefusal *why) {
  SharedRefusal ignored;
  if (!why) why = &ignored;
  *why = SharedRefusal::kNone;
  int fd = open_private(name, why);
  if (fd < 0) return nullptr;
  void *region = nullptr;
  struct stat st {};
  if (!lock_within_limit(fd)) {
    *why = errno == EWOULDBLOCK ? SharedRefusal::kBusy : SharedRefusal::kFailed;
  } else if (fstat(fd, &st) == 0 && (st.st_size == static_cast<off_t>(size) ||
                                     (st.st_size == 0 && ftruncate(fd, static_cast<off_t>(size)) == 0))) {
    region = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (region == MAP_FAILED) {
      region = nullptr;
    } else if (!prepare(region)) {
      munmap(region, size);
      region = nullptr;
    }
  }
  if (!region && *why == SharedRefusal::kNone) *why = SharedRefusal::kFailed;
  // Unlocked explicitly: the mapping keeps the open file description, and with
  // it the lock, alive after close.
  flock(fd, LOCK_UN);
  close(fd);
  return region;
}

void unmap_shared(void *region, size_t size) {
  if (region) munmap(region, size);
}

void remove_shared(const std::string &name) { shm_unlink(name.c_str()); }

bool write_block(const std::string &name, const void *data, size_t size) {
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {  // left behind by an owner that no longer knows it
    shm_unlink(name.c_str());
    fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  }
  if (fd < 0) return false;
  bool ok = false;
  if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
    if (size == 0) {
      ok = true;
    } else {
      void *block = mmap(nullptr, size, PROT_WRITE, MAP_SHARED, fd, 0);
      if (block != MAP_FAILED) {
        std::memcpy(block, data, size);
        munmap(block, size);
        ok = true;
      }
    }
  }
  close(fd);
  if (!ok) shm_unlink(name.c_str());
  return ok;
}

bool read_block(const std::string &name, size_t max, std::string *bytes) {
  int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = false;
  bytes->clear();
  struct stat st {};
  if (private_object(fd) && fstat(fd, &st) == 0 && st.st_size >= 0 && static_cast<size_t>(st.st_size) <= max) {
    size_t size = static_cast<size_t>(st.st_size);
    ok = size == 0;
    void *block = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (block != MAP_FAILED) {
      bytes->assign(static_cast<const char *>(block), size);
      munmap(block, size);
      ok = true;
    }
  }
  close(fd);
  return ok;
}

bool write_text_block(const std::string &name, const char *text) {
  return write_block(name, text, std::strlen(text) + 1);
}

bool read_text_block(const std::string &name, char *target, int max) {
  std::string bytes;
  bool ok = read_block(name, SIZE_MAX, &bytes);
  // The text ends at the block's end when no terminator comes first.
  std::string text(bytes.data(), strnlen(bytes.data(), bytes.size()));
  nstrncpy(target, text.c_str(), max);
  return ok;
}

}  // namespace corvex
