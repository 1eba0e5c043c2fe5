// A scratch directory for a test, removed with its files afterwards, with
// the change-count objects that processes killed by the test left behind.
#ifndef TESSALY_TESTS_ENGINE_SCRATCH_H
#define TESSALY_TESTS_ENGINE_SCRATCH_H

#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "engine/sharing/changecount.h"

class Scratch {
 public:
  // Made in `base` (a folder that exists), /tmp by default.
  explicit Scratch(const std::string &base = "/tmp") {
    std::string pattern = base + "/engine-test-XXXXXX";
    const char *made = mkdtemp(pattern.data());
    if (made != nullptr) dir_ = made;
  }
  ~Scratch() {
    if (!made()) return;
    std::error_code ignored;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir_, ignored)) {
      struct stat st;
      char name[64];
      if (stat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      corvex::changes_object_name(st, name, sizeof name);
      shm_unlink(name);
    }
    std::filesystem::remove_all(dir_, ignored);
  }
  bool made() const { return !dir_.empty(); }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

#endif
