#include "util/new_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace corvex {

bool unguessable_name(const std::string &stem, const std::string &ext, std::string *name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[8];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<size_t>(n);
    else if (errno != EINTR) return false;
  }
  *name = stem + "~";
  for (unsigned char b : bytes) *name += kLetters[b % (sizeof kLetters - 1)];
  *name += ext;
  return true;
}

int make_new_file(const std::string &stem, const std::string &ext, int mode, std::string *path) {
  for (int attempt = 0; attempt < 10; attempt++) {
    if (!unguessable_name(stem, ext, path)) return -1;
    int fd = open(path->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

FILE *open_for_append(const char *path) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE *f = fdopen(fd, "ab");
  if (!f) close(fd);
  return f;
}

}  // namespace corvex
