// Shared set-up of the access layer tests (and of the tools' tests that go
// through the layer): a private shared-memory state for the client counter
// and tables made from descriptions. Scratch folders: tests/support/scratch.h.
#ifndef TESSALY_TESTS_SUPPORT_ACCESS_FIXTURE_H
#define TESSALY_TESTS_SUPPORT_ACCESS_FIXTURE_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "tests/support/scratch.h"

namespace access_test {

// Gives the test program its own shared client state and chain tables,
// removed at the end.
class PrivateState : public ::testing::Environment {
 public:
  void SetUp() override {
    name_ = "/lumbra-test-" + std::to_string(getpid());
    setenv("LUMBRA_SHM_NAME", name_.c_str(), 1);
    shm_unlink(name_.c_str());
    shm_unlink((name_ + "-chain").c_str());
  }
  void TearDown() override {
    shm_unlink(name_.c_str());
    shm_unlink((name_ + "-chain").c_str());
  }
  const std::string &name() const { return name_; }

 private:
  std::string name_;
};

// Writes the FID file for a description text; fails the test on a bad one.
inline void write_fid(const std::string &desc, const std::string &fidpath) {
  corvex::Description d;
  std::string error;
  ASSERT_TRUE(corvex::parse_description(desc, &d, &error)) << error;
  ASSERT_TRUE(corvex::fid_write(d, fidpath.c_str(), &error)) << error;
}

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace access_test

#endif
