// A scratch folder for a test, private to it (mode 0700), removed with its
// files afterwards together with the change-count objects that processes
// killed by the test left behind. Every test folder makes its scratch
// folders with this one class.
#ifndef TESSALY_TESTS_SUPPORT_SCRATCH_H
#define TESSALY_TESTS_SUPPORT_SCRATCH_H

#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "engine/sharing/changecount.h"

// A base folder in memory (/dev/shm) when the machine offers one, else /tmp:
// for tests that make many files or rewrite one on every input.
inline std::string memory_base() { return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp"; }

class Scratch {
 public:
  // Made in `base` (a folder that exists), /tmp by default.
  explicit Scratch(const std::string &base = "/tmp") {
    std::string pattern = base + "/tessaly-test-XXXXXX";
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
  const std::string &dir() const { return dir_; }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

#endif
