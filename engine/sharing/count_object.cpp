#include "engine/sharing/count_object.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <mutex>
#include <set>
#include <string>

#include "util/filelock.h"

namespace corvex {

namespace {

// Says once per object on stderr why the count of a table is not used.
void note_refused(const char *name, const struct stat &object, const struct stat &table) {
  static std::mutex guard;
  static std::set<std::string> said;
  std::lock_guard<std::mutex> lock(guard);
  if (!said.insert(name).second) return;
  fprintf(stderr,
          "corvex: /dev/shm%s (owner %u, mode %03o) is not a private object of the table's owner %u;"
          " reads of that table take the header lock\n",
          name, static_cast<unsigned>(object.st_uid), static_cast<unsigned>(object.st_mode & 07777),
          static_cast<unsigned>(table.st_uid));
}

bool private_to(const struct stat &object, uid_t owner) {
  return S_ISREG(object.st_mode) && object.st_uid == owner && (object.st_mode & 077) == 0;
}

// Makes the object; -1 with errno EEXIST when the name is taken.
int make_object(const char *name, const struct stat &table, size_t size) {
  int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  // Root makes it for the owner, whose own programs use it as well.
  bool owned = geteuid() == table.st_uid || fchown(fd, table.st_uid, table.st_gid) == 0;
  if (!owned || ftruncate(fd, static_cast<off_t>(size)) != 0) {
    shm_unlink(name);
    close(fd);
    errno = ENOMEM;
    return -1;
  }
  return fd;
}

}  // namespace

bool count_allowed(const struct stat &table) {
  uid_t me = geteuid();
  return (table.st_mode & (S_IWGRP | S_IWOTH)) == 0 && (me == table.st_uid || me == 0);
}

CountObjectOpen open_count_object(const char *name, const struct stat &table, size_t size, int *fd) {
  *fd = make_object(name, table, size);
  if (*fd < 0 && errno == EEXIST) *fd = shm_open(name, O_RDWR | O_CLOEXEC, 0);
  if (*fd < 0) return CountObjectOpen::kFailed;
  struct stat st {};
  // Owner and mode come first: another user's object is never locked or
  // mapped, so it can neither hold this program up nor feed it a count.
  if (fstat(*fd, &st) != 0 || !private_to(st, table.st_uid)) {
    // The owner's object open to others (made by an earlier version) gives
    // way to a private one once nobody holds it.
    bool replaced = S_ISREG(st.st_mode) && st.st_uid == table.st_uid && remove_count_if_unused(*fd, name);
    if (!replaced && S_ISREG(st.st_mode)) note_refused(name, st, table);
    close(*fd);
    return replaced ? CountObjectOpen::kRemoved : CountObjectOpen::kRefused;
  }
  CountObjectOpen result = CountObjectOpen::kOpened;
  if (!bytelock_wait_shared(*fd, 0) || fstat(*fd, &st) != 0) {
    result = CountObjectOpen::kFailed;
  } else if (st.st_nlink == 0) {
    result = CountObjectOpen::kRemoved;
  } else if (st.st_size < static_cast<off_t>(size) && ftruncate(*fd, static_cast<off_t>(size)) != 0) {
    // A maker between its O_EXCL and its ftruncate, or killed there.
    result = CountObjectOpen::kFailed;
  }
  if (result != CountObjectOpen::kOpened) close(*fd);
  return result;
}

bool remove_count_if_unused(int fd, const char *name) {
  struct stat st;
  // Holding the write lock, nobody else can remove the object, so a linked
  // object is still the one the name leads to.
  return bytelock_try(fd, 0) && fstat(fd, &st) == 0 && st.st_nlink > 0 && shm_unlink(name) == 0;
}

void discard_count_object(const char *name, uid_t owner) {
  int fd = shm_open(name, O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return;
  struct stat st;
  // Also one of the owner's open to others (made by an earlier version):
  // once nobody holds it, a private one takes its place.
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == owner) remove_count_if_unused(fd, name);
  close(fd);
}

void sweep_unused_counts() {
  DIR *dir = opendir("/dev/shm");
  if (!dir) return;
  while (struct dirent *entry = readdir(dir)) {
    if (strncmp(entry->d_name, kCountPrefix, sizeof kCountPrefix - 1) == 0)
      discard_count_object((std::string("/") + entry->d_name).c_str(), geteuid());
  }
  closedir(dir);
}

}  // namespace corvex
