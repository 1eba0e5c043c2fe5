#include "util/names.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "util/ascii.h"
#include "util/text.h"

int makedir(const char *path) {
  if (!path || !*path) return -1;
  return mkdir(path, 0777) == 0 ? 0 : -1;
}

int removdir(const char *path) {
  if (!path || !*path) return -1;
  return rmdir(path) == 0 ? 0 : -1;
}

namespace {

// The one search of the process: the names that matched when it started, in
// byte order, and the next one to report.
struct Search {
  std::string dir;  // ends in "/" or is empty for the current directory
  bool dirs = false;
  std::vector<std::string> names;
  size_t next = 0;
  std::string result;
};

Search &search() {
  static Search s;
  return s;
}

void fill_stamp(unsigned char *stamp, time_t mtime) {
  struct tm t {};
  localtime_r(&mtime, &t);
  int year = std::clamp(t.tm_year, 0, 255);
  stamp[0] = static_cast<unsigned char>(year);
  stamp[1] = static_cast<unsigned char>(t.tm_mon + 1);
  stamp[2] = static_cast<unsigned char>(t.tm_mday);
  stamp[3] = static_cast<unsigned char>(t.tm_hour);
  stamp[4] = static_cast<unsigned char>(t.tm_min);
  stamp[5] = static_cast<unsigned char>(t.tm_sec / 2 * 2);  // the packed form counts two seconds
}

}  // namespace

const char *cfindfirst(const char *pattern, int dirs, int32_t *size, unsigned char *stamp) {
  Search &s = search();
  s = Search{};
  std::string p = corvex::text_or_empty(pattern);
  size_t slash = p.rfind('/');
  s.dir = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
  std::string name_pattern = slash == std::string::npos ? p : p.substr(slash + 1);
  bool every = name_pattern.empty() || name_pattern == "*.*";
  s.dirs = dirs != 0;

  DIR *d = opendir(s.dir.empty() ? "." : s.dir.c_str());
  if (!d) return nullptr;
  while (const dirent *entry = readdir(d)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (every || islike(name.c_str(), name_pattern.c_str())) s.names.push_back(name);
  }
  closedir(d);
  std::sort(s.names.begin(), s.names.end());
  return cfindnext(size, stamp);
}

const char *cfindnext(int32_t *size, unsigned char *stamp) {
  Search &s = search();
  while (s.next < s.names.size()) {
    const std::string &name = s.names[s.next++];
    std::string full = s.dir + name;
    struct stat st {};
    if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0) continue;  // gone since
    bool is_dir = S_ISDIR(st.st_mode);
    if (is_dir && !s.dirs) continue;
    s.result = is_dir ? name + "/" : name;
    if (size) *size = is_dir ? 0 : static_cast<int32_t>(std::min<off_t>(st.st_size, INT32_MAX));
    if (stamp) fill_stamp(stamp, st.st_mtime);
    return s.result.c_str();
  }
  return nullptr;
}
