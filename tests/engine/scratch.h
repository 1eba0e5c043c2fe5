// A scratch directory for a test, removed with its files afterwards.
#ifndef TESSALY_TESTS_ENGINE_SCRATCH_H
#define TESSALY_TESTS_ENGINE_SCRATCH_H

#include <stdlib.h>

#include <filesystem>
#include <string>

class Scratch {
 public:
  // Made in `base` (a folder that exists), /tmp by default.
  explicit Scratch(const std::string &base = "/tmp") {
    std::string pattern = base + "/engine-test-XXXXXX";
    const char *made = mkdtemp(pattern.data());
    if (made != nullptr) dir_ = made;
  }
  ~Scratch() {
    std::error_code ignored;
    if (made()) std::filesystem::remove_all(dir_, ignored);
  }
  bool made() const { return !dir_.empty(); }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

#endif
