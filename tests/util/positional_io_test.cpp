// Positioned transfers: whole lengths through, a short count only where the
// file ends, and a refusal told apart from the end of the file.
#include "util/positional_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/scratch.h"

namespace {

class PositionalIo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    fd_ = open(scratch_.path("f").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override { close(fd_); }

  Scratch scratch_;
  int fd_ = -1;
};

TEST_F(PositionalIo, WritesAtAnOffsetAndReadsBackWhole) {
  // A megabyte crosses the sizes at which the system may split a transfer.
  std::string data(1 << 20, '\0');
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<char>(i * 7);
  EXPECT_EQ(corvex::pwrite_full(fd_, data.data(), data.size(), 100), data.size());
  std::string back(data.size(), '\0');
  EXPECT_EQ(corvex::pread_full(fd_, back.data(), back.size(), 100), static_cast<ssize_t>(back.size()));
  EXPECT_EQ(back, data);
  // The gap before the offset reads as zero bytes.
  char gap[100];
  ASSERT_EQ(corvex::pread_full(fd_, gap, sizeof gap, 0), 100);
  EXPECT_EQ(std::string(gap, sizeof gap), std::string(100, '\0'));
}

TEST_F(PositionalIo, ReadAcrossTheEndGivesWhatIsThere) {
  ASSERT_EQ(corvex::pwrite_full(fd_, "abcdef", 6, 0), 6u);
  char buf[16] = {};
  EXPECT_EQ(corvex::pread_full(fd_, buf, sizeof buf, 2), 4);
  EXPECT_EQ(std::string(buf, 4), "cdef");
  EXPECT_EQ(corvex::pread_full(fd_, buf, sizeof buf, 6), 0);
  EXPECT_EQ(corvex::pread_full(fd_, buf, sizeof buf, 1000), 0);
}

TEST_F(PositionalIo, RefusalIsNotTheEndOfTheFile) {
  char buf[4];
  int readonly = open(scratch_.path("f").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(readonly, 0);
  EXPECT_EQ(corvex::pwrite_full(readonly, "abcd", 4, 0), 0u);
  close(readonly);
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  EXPECT_EQ(corvex::pread_full(pipefd[0], buf, sizeof buf, 0), -1);  // no positions on a pipe
  close(pipefd[0]);
  close(pipefd[1]);
}

}  // namespace
