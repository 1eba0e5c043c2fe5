#include "util/bounded_read.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvex {

BoundedRead read_bounded(const char *path, size_t max, std::string *text) {
  text->clear();
  // O_NONBLOCK: opening a pipe without a writer must not wait.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return BoundedRead::kCannotOpen;
  struct stat st;
  BoundedRead result = BoundedRead::kOk;
  if (fstat(fd, &st) != 0) result = BoundedRead::kCannotOpen;
  else if (!S_ISREG(st.st_mode)) result = BoundedRead::kNotRegular;
  else if (static_cast<uint64_t>(st.st_size) > max) result = BoundedRead::kTooLarge;
  // The file may grow while it is read: no more than the bound is kept.
  char block[65536];
  while (result == BoundedRead::kOk) {
    ssize_t n = read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result = BoundedRead::kCannotOpen;
    if (n <= 0) break;
    if (text->size() + static_cast<size_t>(n) > max) result = BoundedRead::kTooLarge;
    else text->append(block, static_cast<size_t>(n));
  }
  close(fd);
  if (result != BoundedRead::kOk) text->clear();
  return result;
}

std::string bounded_read_problem(BoundedRead result, size_t max) {
  switch (result) {
    case BoundedRead::kOk: return "";
    case BoundedRead::kCannotOpen: return "cannot be read";
    case BoundedRead::kNotRegular: return "is not a regular file";
    case BoundedRead::kTooLarge: return "is larger than " + std::to_string(max) + " bytes";
  }
  return "";
}

}  // namespace corvex
