// A scratch directory for a test, removed with its files afterwards.
#ifndef TESSALY_TESTS_ENGINE_SCRATCH_H
#define TESSALY_TESTS_ENGINE_SCRATCH_H

#include <stdlib.h>

#include <filesystem>
#include <string>

class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/engine-test-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  ~Scratch() { std::filesystem::remove_all(dir_); }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

#endif
