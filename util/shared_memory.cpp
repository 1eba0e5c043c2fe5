#include "util/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/text.h"

namespace corvex {

void *map_shared(const std::string &name, size_t size, const std::function<bool(void *)> &prepare) {
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  void *region = nullptr;
  struct stat st {};
  if (flock(fd, LOCK_EX) == 0 && fstat(fd, &st) == 0 &&
      (st.st_size == static_cast<off_t>(size) || (st.st_size == 0 && ftruncate(fd, static_cast<off_t>(size)) == 0))) {
    region = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (region == MAP_FAILED) {
      region = nullptr;
    } else if (!prepare(region)) {
      munmap(region, size);
      region = nullptr;
    }
  }
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

bool write_text_block(const std::string &name, const char *text) {
  size_t size = std::strlen(text) + 1;
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {  // left behind by a queue that no longer knows it
    shm_unlink(name.c_str());
    fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  }
  if (fd < 0) return false;
  bool ok = false;
  if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
    void *block = mmap(nullptr, size, PROT_WRITE, MAP_SHARED, fd, 0);
    if (block != MAP_FAILED) {
      std::memcpy(block, text, size);
      munmap(block, size);
      ok = true;
    }
  }
  close(fd);
  if (!ok) shm_unlink(name.c_str());
  return ok;
}

bool read_text_block(const std::string &name, char *target, int max) {
  int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  std::string text;
  struct stat st {};
  if (fstat(fd, &st) == 0 && st.st_size > 0) {
    size_t size = static_cast<size_t>(st.st_size);
    void *block = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (block != MAP_FAILED) {
      const char *p = static_cast<const char *>(block);
      text.assign(p, strnlen(p, size));
      munmap(block, size);
    }
  }
  close(fd);
  nstrncpy(target, text.c_str(), max);
  return true;
}

}  // namespace corvex
