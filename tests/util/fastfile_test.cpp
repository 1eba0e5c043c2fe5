#include "util/fastfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/scratch.h"
#include "util/openflags.h"

namespace {

constexpr int kNew = FAST_O_RDWR | FAST_O_CREAT | FAST_O_TRUNC | FAST_O_BINARY;

class FastFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.made()); }
  void TearDown() override {
    for (int slot = 0; slot < 5; ++slot) _fastclose(slot);
  }
  std::string path(const std::string &name = "f") { return scratch_.path(name); }
  void put(const std::string &content, const std::string &name = "f") {
    std::ofstream(path(name), std::ios::binary) << content;
  }
  std::string get(const std::string &name = "f") {
    std::ifstream in(path(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  long size(const std::string &name = "f") {
    struct stat st {};
    return stat(path(name).c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
  }
  int open_read(const std::string &content) {
    put(content);
    return _fastopen(path().c_str(), FAST_O_RDONLY, 0);
  }
  Scratch scratch_;
};

std::string pattern(size_t n) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i * 7 % 26);
  return s;
}

TEST(OpenFlags, MapToTheSystemFlags) {
  using corvex::map_open_flags;
  EXPECT_EQ(map_open_flags(FAST_O_WRONLY | FAST_O_APPEND).oflags, O_WRONLY | O_APPEND | O_CLOEXEC);
  EXPECT_EQ(map_open_flags(FAST_O_RDONLY | FAST_O_WRONLY).oflags & O_ACCMODE, O_RDWR);
  EXPECT_EQ(map_open_flags(FAST_O_RDWR | FAST_O_EXCL).oflags & O_EXCL, 0);  // no O_EXCL without create
  EXPECT_EQ(map_open_flags(FAST_O_RDWR | FAST_O_TRUNC).oflags & O_TRUNC, 0);  // truncated after locking
  EXPECT_EQ(fshare("ignored", FAST_O_RDWR), FAST_O_RDWR | FAST_O_DENYNONE);
  EXPECT_EQ(funshare(nullptr, FAST_O_RDWR | FAST_O_DENYALL), FAST_O_RDWR | FAST_O_DENYALL);
}

TEST_F(FastFile, OpenFailures) {
  EXPECT_EQ(_fastopen("", kNew, 0666), -1);
  EXPECT_EQ(_fastopen(nullptr, kNew, 0666), -1);
  EXPECT_EQ(_fastopen(path("missing").c_str(), FAST_O_RDONLY, 0), -1);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(_fastopen(path(std::to_string(i)).c_str(), kNew, 0666), i);
  EXPECT_EQ(_fastopen(path("sixth").c_str(), kNew, 0666), -1);
  EXPECT_EQ(size("sixth"), -1);
  EXPECT_EQ(_fastclose(2), 0);
  EXPECT_EQ(_fastopen(path("again").c_str(), kNew, 0666), 2);  // the freed slot is taken again
  EXPECT_EQ(_fastclose(7), 1);
  EXPECT_EQ(_fastread(-1, nullptr, 1), 0);
  EXPECT_EQ(_fastgetc(5), -1);
  EXPECT_EQ(_fasttell(9), -1);
}

TEST_F(FastFile, FailedCreateKeepsAnExistingFile) {
  put("precious");
  EXPECT_EQ(_fastopen(path().c_str(), FAST_O_RDWR | FAST_O_CREAT | FAST_O_EXCL, 0666), -1);
  EXPECT_EQ(get(), "precious");
}

TEST_F(FastFile, SharingLocksConflictBeforeAnythingIsTruncated) {
  put("content");
  int a = _fastopen(path().c_str(), FAST_O_RDWR | FAST_O_DENYALL, 0);
  ASSERT_GE(a, 0);
  EXPECT_EQ(_fastopen(path().c_str(), FAST_O_RDWR | FAST_O_DENYNONE | FAST_O_TRUNC | FAST_O_CREAT, 0666), -1);
  EXPECT_EQ(get(), "content");
  EXPECT_EQ(_fastclose(a), 0);
  int b = _fastopen(path().c_str(), fshare(nullptr, FAST_O_RDONLY), 0);
  int c = _fastopen(path().c_str(), fshare(nullptr, FAST_O_RDONLY), 0);
  EXPECT_GE(b, 0);
  EXPECT_GE(c, 0);  // shared opens go together
  EXPECT_EQ(_fastopen(path().c_str(), funshare(nullptr, FAST_O_RDWR), 0), -1);
}

TEST_F(FastFile, WritesFlushAtTheBufferBoundary) {
  int s = _fastopen(path().c_str(), kNew, 0666);
  ASSERT_GE(s, 0);
  std::string data = pattern(2049);
  ASSERT_EQ(_fastwrite(s, data.data(), 2048), 0);
  EXPECT_EQ(size(), 2048);  // exactly one flush
  ASSERT_EQ(_fastputc(s, data[2048]), 0);
  EXPECT_EQ(size(), 2048);  // one byte waits
  EXPECT_EQ(_fasttell(s), 2049);
  ASSERT_NE(_fastputs(s, "tail"), nullptr);
  EXPECT_EQ(_fastclose(s), 0);  // opened with create: the close flushes
  EXPECT_EQ(get(), data + "tail");
}

TEST_F(FastFile, CloseWithoutCreateDropsWaitingOutput) {
  put("");
  int s = _fastopen(path().c_str(), FAST_O_WRONLY, 0);
  ASSERT_GE(s, 0);
  ASSERT_EQ(_fastwrite(s, "abc", 3), 0);
  EXPECT_EQ(_fastclose(s), 0);
  EXPECT_EQ(get(), "");
  s = _fastopen(path().c_str(), FAST_O_WRONLY, 0);
  ASSERT_EQ(_fastwrite(s, "abc", 3), 0);
  EXPECT_EQ(_fastflush(s), 0);
  EXPECT_EQ(_fastclose(s), 0);
  EXPECT_EQ(get(), "abc");
}

TEST_F(FastFile, ReadsAcrossRefills) {
  std::string data = pattern(5000);
  int s = open_read(data);
  ASSERT_GE(s, 0);
  std::string got;
  char chunk[700];
  int n;
  while ((n = _fastread(s, chunk, sizeof chunk)) > 0) got.append(chunk, static_cast<size_t>(n));
  EXPECT_EQ(got, data);
  EXPECT_EQ(_fastgetc(s), -1);
  EXPECT_EQ(_fastrewind(s), 0);
  std::string big(6000, '\0');
  EXPECT_EQ(_fastread(s, big.data(), 6000), 5000);  // short at end of file
  EXPECT_EQ(big.substr(0, 5000), data);
}

TEST_F(FastFile, TellAndSeekUseTheLogicalPosition) {
  std::string data = pattern(3000);
  int s = open_read(data);
  char ten[10];
  ASSERT_EQ(_fastread(s, ten, 10), 10);
  EXPECT_EQ(_fasttell(s), 10);  // whatever the buffer read ahead
  EXPECT_EQ(_fastseek(s, -5, 1), 5);
  EXPECT_EQ(_fastgetc(s), static_cast<unsigned char>(data[5]));
  EXPECT_EQ(_fastseek(s, 2500, 0), 2500);
  EXPECT_EQ(_fastgetc(s), static_cast<unsigned char>(data[2500]));
  EXPECT_EQ(_fastseek(s, -1, 2), 2999);
  EXPECT_EQ(_fastgetc(s), static_cast<unsigned char>(data[2999]));
  EXPECT_EQ(_fastseek(s, -1, 0), -1);
  EXPECT_EQ(_fastseek(s, 0, 3), -1);
  EXPECT_EQ(_fasttell(s), 3000);  // a failed seek moves nothing
}

TEST_F(FastFile, SwitchingBetweenReadAndWriteKeepsThePosition) {
  put("0123456789");
  int s = _fastopen(path().c_str(), FAST_O_RDWR, 0);
  char three[3];
  ASSERT_EQ(_fastread(s, three, 3), 3);
  ASSERT_EQ(_fastwrite(s, "AB", 2), 0);  // goes to 3, not after the read-ahead
  EXPECT_EQ(_fasttell(s), 5);
  EXPECT_EQ(_fastgetc(s), '5');  // reading again writes what waited first
  EXPECT_EQ(_fastclose(s), 0);
  EXPECT_EQ(get(), "012AB56789");
  s = _fastopen(path().c_str(), FAST_O_RDWR | FAST_O_CREAT, 0666);
  ASSERT_EQ(_fastread(s, three, 3), 3);
  EXPECT_EQ(_fastclose(s), 0);  // the read data is not written back
  EXPECT_EQ(get(), "012AB56789");
}

TEST_F(FastFile, LinesComeInPiecesOfAtMostMax) {
  int s = open_read("ABCDEF\r\nxy\n\nlast");
  char t[5];
  EXPECT_STREQ(_fastgets(s, t, 4), "ABCD");
  EXPECT_STREQ(_fastgets(s, t, 4), "EF");
  EXPECT_STREQ(_fastgets(s, t, 4), "xy");
  EXPECT_STREQ(_fastgets(s, t, 4), "");
  EXPECT_STREQ(_fastgets(s, t, 4), "last");
  EXPECT_EQ(_fastgets(s, t, 4), nullptr);
  ASSERT_EQ(_fastclose(s), 0);
  s = open_read("one\x1atwo\n\x1a");  // the end-of-file character ends the text
  EXPECT_STREQ(_fastgets(s, t, 4), "one");
  EXPECT_STREQ(_fastgets(s, t, 4), "two");
  EXPECT_EQ(_fastgets(s, t, 4), nullptr);
}

TEST_F(FastFile, CompressedRecordsExpand) {
  std::string file = std::string("A\x1e\x03" "B", 4) + '\0' + std::string("\x1f\x02z", 3) + '\0';
  int s = open_read(file);
  char t[9];
  t[8] = '#';
  ASSERT_EQ(_fastagets(s, t, 8), t);
  EXPECT_EQ(std::string(t, 9), "A   B   #");  // filled to width, not terminated
  ASSERT_EQ(_fastagets(s, t, 8), t);
  EXPECT_EQ(std::string(t, 8), "\x1b\x1bz     ");
  EXPECT_EQ(_fastagets(s, t, 8), nullptr);
}

TEST_F(FastFile, LongRecordIsCutAndTheNextStillFound) {
  std::string file = std::string(200, 'x') + "\x1e\xff" + '\0' + "next" + '\0' + "unterminated";
  int s = open_read(file);
  char t[11];
  t[10] = '#';
  ASSERT_NE(_fastagets(s, t, 10), nullptr);
  EXPECT_EQ(std::string(t, 11), "xxxxxxxxxx#");
  ASSERT_NE(_fastagets(s, t, 10), nullptr);
  EXPECT_EQ(std::string(t, 10), "next      ");
  EXPECT_EQ(_fastagets(s, t, 10), nullptr);  // end of file before the 0 byte
}

}  // namespace

namespace {

TEST_F(FastFile, WholeBuffersPassStraightThroughWithPositionsKept) {
  std::string data(10000, '\0');
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<char>(i * 7 + i / 300);
  int slot = _fastopen(path().c_str(), kNew, 0644);
  ASSERT_GE(slot, 0);
  ASSERT_EQ(_fastputc(slot, 'x'), 0);
  ASSERT_EQ(_fastwrite(slot, data.data(), 10000), 0);
  EXPECT_EQ(_fasttell(slot), 10001);
  ASSERT_EQ(_fastwrite(slot, data.data(), 4096), 0);
  EXPECT_EQ(_fasttell(slot), 14097);
  ASSERT_EQ(_fastclose(slot), 0);
  EXPECT_EQ(get(), "x" + data + data.substr(0, 4096));

  slot = _fastopen(path().c_str(), FAST_O_RDONLY, 0);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(_fastgetc(slot), 'x');
  std::string back(10000, '\0');
  ASSERT_EQ(_fastread(slot, back.data(), 9000), 9000);
  EXPECT_EQ(back.substr(0, 9000), data.substr(0, 9000));
  EXPECT_EQ(_fasttell(slot), 9001);
  EXPECT_EQ(_fastread(slot, back.data(), 10000), 5096);
  EXPECT_EQ(back.substr(0, 1000), data.substr(9000));
  EXPECT_EQ(_fastgetc(slot), -1);
  _fastclose(slot);
}

}  // namespace
