// Fuzz target: listing and extracting damaged compress archives.
//
// The first input byte chooses a password and whether the listing shows code
// widths; the rest is the archive. Every run must end with a result, never
// outside a buffer, and never write outside its target directory.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/recording_progress.h"
#include "tests/support/scratch.h"
#include "util/archive/archive.h"

namespace {

// The work directory: the archive beside an "out" directory for extraction.
const std::string &work() {
  static Scratch scratch(memory_base());
  static const std::string &dir = [] () -> const std::string & {
    if (!scratch.made() || mkdir(scratch.path("out").c_str(), 0700) != 0) abort();
    static corvex::testing::SilentProgress window;
    corvex_set_progress_window(&window);
    return scratch.dir();
  }();
  return dir;
}

// Empties the target directory; anything else appearing in the work
// directory would be a write outside the target.
void check_and_clean(const std::string &dir) {
  DIR *d = opendir((dir + "/out").c_str());
  if (!d) abort();
  while (dirent *e = readdir(d))
    if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) unlink((dir + "/out/" + e->d_name).c_str());
  closedir(d);
  d = opendir(dir.c_str());
  while (dirent *e = readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != ".." && name != "out" && name != "in.cmp") abort();
  }
  closedir(d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const std::string &dir = work();
  uint8_t choice = data[0];
  std::string archive = dir + "/in.cmp";
  FILE *f = fopen(archive.c_str(), "wb");
  if (!f) return 0;
  fwrite(data + 1, 1, size - 1, f);
  fclose(f);
  std::string password = (choice & 1) ? "P\"ham\"" : "";
  std::string list = std::string("-L") + ((choice & 2) ? "B" : "") + ((choice & 4) ? "Q" : "") + password;
  compress_files(list.c_str(), archive.c_str(), 0, nullptr);
  std::string extract = "-XO" + password + "T\"" + dir + "/out\"";
  compress_files(extract.c_str(), archive.c_str(), 0, nullptr);
  check_and_clean(dir);
  return 0;
}
