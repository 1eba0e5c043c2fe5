#include "engine/maintenance/tempfiles.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "engine/fid/companion_names.h"
#include "engine/rfh.h"
#include "engine/sharing/changecount.h"
#include "util/fileio.h"
#include "util/positional_io.h"
#include "util/names.h"
#include "util/new_file.h"

namespace corvex {

const char kTempIndexExt[] = "ziq";
const char kTempDataExt[] = "zdq";

namespace {

// The change count of the file about to be replaced: the new file is
// another inode, so a count object that programs killed while sharing it
// left behind goes now.
void discard_change_count(const std::string &target) {
  struct stat st;
  if (stat(target.c_str(), &st) == 0) changes_discard_unused(st);
}

// The stem of temporary names for `file`: in the temporary directory when
// one is set, else beside `file`; without its extension.
std::string temp_stem(const std::string &file) {
  std::vector<char> name(file.size() + 1);
  if (temp_dir_set()) {
    split_name(file.c_str(), nullptr, name.data(), nullptr);
    std::string dir = engine_tmpdir();
    return dir.empty() || dir.back() == '/' ? dir + name.data() : dir + "/" + name.data();
  }
  derive_name(file.c_str(), "", name.data(), name.size());
  return name.data();
}

// Makes a new, private temporary open read-write; -1 when it cannot be had.
int make_temp_file(const std::string &stem, const char *ext, std::string *temp) {
  return make_new_file(stem, std::string(".") + ext, 0600, temp);
}

// Gives the temporary the mode of `target`, or of `like` when `target` is
// missing. The temporary is opened without following a link, so that a link
// put in its place cannot pass the mode on to another file.
bool take_mode(const std::string &temp, const std::string &target, const std::string &like) {
  struct stat st;
  if (stat(target.c_str(), &st) != 0 && stat(like.c_str(), &st) != 0) return true;
  int fd = open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, st.st_mode & 0777) == 0;
  close(fd);
  return ok;
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

// Copies `from` to a new temporary beside `target` and syncs it; its name
// goes to *to.
bool copy_file(const std::string &from, const std::string &target, const char *ext, std::string *to) {
  int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return false;
  std::vector<char> stem(target.size() + 1);
  derive_name(target.c_str(), "", stem.data(), stem.size());
  int out = make_temp_file(stem.data(), ext, to);
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
  if (!ok) unlink(to->c_str());
  return ok;
}

}  // namespace

bool temp_dir_set() { return engine_tmpdir()[0] != '\0'; }

bool make_temp(const std::string &file, const char *ext, std::string *temp) {
  int fd = make_temp_file(temp_stem(file), ext, temp);
  if (fd < 0) return false;
  close(fd);
  if (temp->size() < FH_NAMESIZE) return true;
  unlink(temp->c_str());
  return false;
}

bool sync_file(const std::string &path) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = io_sync(fd) == 0;
  close(fd);
  return ok;
}

bool replace_file(const std::string &temp, const std::string &target, const char *ext, const std::string &like) {
  if (!take_mode(temp, target, like)) return false;
  discard_change_count(target);
  if (io_rename(temp.c_str(), target.c_str()) == 0) return sync_directory_of(target);
  if (errno != EXDEV) return false;
  std::string beside;
  if (!copy_file(temp, target, ext, &beside) || !take_mode(beside, target, like)) return false;
  if (io_rename(beside.c_str(), target.c_str()) != 0) {
    unlink(beside.c_str());
    return false;
  }
  unlink(temp.c_str());
  return sync_directory_of(target);
}

}  // namespace corvex
