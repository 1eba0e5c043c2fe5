#include "engine/maintenance/tempfiles.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "engine/fid/companion_names.h"
#include "engine/rfh.h"
#include "engine/sharing/changecount.h"
#include "util/fileio.h"
#include "util/positional_io.h"
#include "util/names.h"

namespace corvex {

const char kTempIndexExt[] = "ziq";
const char kTempDataExt[] = "zdq";

namespace {

// The change count of the file about to be replaced: nobody else has the
// file open during maintenance, and the new file is another inode, so a
// count object that programs killed while sharing it left behind goes now.
void discard_change_count(const std::string &target) {
  struct stat st;
  char name[64];
  if (stat(target.c_str(), &st) != 0) return;
  changes_object_name(st, name, sizeof name);
  shm_unlink(name);
}

std::string directory_of(const std::string &path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool sync_directory_of(const std::string &path) {
  int fd = open(directory_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = io_sync(fd) == 0;
  close(fd);
  return ok;
}


// Copies `from` to `to` (created or truncated) and syncs it.
bool copy_file(const std::string &from, const std::string &to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    close(in);
    return false;
  }
  std::vector<char> buf(1 << 16);
  bool ok = true;
  off_t at = 0;
  for (;;) {
    ssize_t n = read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (pwrite_full(out, buf.data(), static_cast<size_t>(n), at) != static_cast<size_t>(n)) {
      ok = false;
      break;
    }
    at += n;
  }
  ok = ok && io_sync(out) == 0;
  close(in);
  ok = close(out) == 0 && ok;
  if (!ok) unlink(to.c_str());
  return ok;
}

}  // namespace

bool temp_dir_set() { return engine_tmpdir()[0] != '\0'; }

std::string temp_name(const std::string &file, const char *ext) {
  if (temp_dir_set()) {
    std::vector<char> name(file.size() + 1);
    split_name(file.c_str(), nullptr, name.data(), nullptr);
    const char *dir = engine_tmpdir();
    std::vector<char> out(strlen(dir) + strlen(name.data()) + strlen(ext) + 3);
    return creat_name(out.data(), dir, name.data(), ext);
  }
  std::string dotted = std::string(".") + ext;
  std::vector<char> out(file.size() + dotted.size() + 1);
  derive_name(file.c_str(), dotted.c_str(), out.data(), out.size());
  return out.data();
}

bool sync_file(const std::string &path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = io_sync(fd) == 0;
  close(fd);
  return ok;
}

bool replace_file(const std::string &temp, const std::string &target, const char *ext) {
  discard_change_count(target);
  if (io_rename(temp.c_str(), target.c_str()) == 0) return sync_directory_of(target);
  if (errno != EXDEV) return false;
  std::string beside = target;
  {
    std::string dotted = std::string(".") + ext;
    std::vector<char> out(target.size() + dotted.size() + 1);
    if (!derive_name(target.c_str(), dotted.c_str(), out.data(), out.size())) return false;
    beside = out.data();
  }
  if (!copy_file(temp, beside)) return false;
  if (io_rename(beside.c_str(), target.c_str()) != 0) {
    unlink(beside.c_str());
    return false;
  }
  unlink(temp.c_str());
  return sync_directory_of(target);
}

}  // namespace corvex
