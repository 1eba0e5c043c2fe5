// The node cache: ageing, eviction order, write-back and flushing.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "engine/fhrequest.h"
#include "engine/index/nodecache.h"
#include "tests/support/scratch.h"

using corvex::NodeCache;

namespace {

constexpr uint16_t kSize = 128;

class CacheFile : public ::testing::Test {
 protected:
  void SetUp() override {
    fd = ::open(dir.path("nodes").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    for (int n = 0; n < 10; n++) {
      std::string node(kSize, static_cast<char>('a' + n));
      ASSERT_EQ(pwrite(fd, node.data(), kSize, n * kSize), kSize);
    }
  }
  void TearDown() override { ::close(fd); }
  char first_byte_on_disk(int n) {
    char c = 0;
    EXPECT_EQ(pread(fd, &c, 1, n * kSize), 1);
    return c;
  }
  Scratch dir;
  int fd = -1;
  uint8_t buf[kSize];
};

TEST_F(CacheFile, EvictsTheLeastRecentlyUsed) {
  NodeCache cache(3);
  for (uint32_t n : {1, 2, 3}) ASSERT_EQ(cache.read(fd, n, kSize, buf), FHS_OK);
  ASSERT_EQ(cache.read(fd, 1, kSize, buf), FHS_OK);  // 2 is now the oldest
  ASSERT_EQ(cache.read(fd, 4, kSize, buf), FHS_OK);
  EXPECT_EQ(buf[0], 'a' + 4);
  EXPECT_TRUE(cache.holds(fd, 1, nullptr));
  EXPECT_FALSE(cache.holds(fd, 2, nullptr));
  EXPECT_TRUE(cache.holds(fd, 3, nullptr));
  EXPECT_EQ(cache.in_use(), 3);
  ASSERT_EQ(cache.read(fd, 5, kSize, buf), FHS_OK);  // then 3
  EXPECT_FALSE(cache.holds(fd, 3, nullptr));
}

TEST_F(CacheFile, DirtyEntriesAreWrittenWhenEvictedOrFlushed) {
  NodeCache cache(2);
  std::string z(kSize, 'Z'), y(kSize, 'Y');
  ASSERT_EQ(cache.write(fd, 1, kSize, reinterpret_cast<const uint8_t *>(z.data())), FHS_OK);
  ASSERT_EQ(cache.write(fd, 2, kSize, reinterpret_cast<const uint8_t *>(y.data())), FHS_OK);
  EXPECT_EQ(first_byte_on_disk(1), 'b');
  ASSERT_EQ(cache.read(fd, 1, kSize, buf), FHS_OK);  // a hit sees the new bytes
  EXPECT_EQ(buf[0], 'Z');
  ASSERT_EQ(cache.read(fd, 3, kSize, buf), FHS_OK);  // evicts 2, the oldest
  EXPECT_EQ(first_byte_on_disk(2), 'Y');
  EXPECT_EQ(first_byte_on_disk(1), 'b');
  bool dirty = false;
  ASSERT_TRUE(cache.holds(fd, 1, &dirty));
  EXPECT_TRUE(dirty);
  EXPECT_EQ(cache.flush(fd), FHS_OK);
  EXPECT_EQ(first_byte_on_disk(1), 'Z');
  EXPECT_EQ(cache.in_use(), 0);
}

TEST_F(CacheFile, FlushTouchesOnlyItsHandle) {
  NodeCache cache(4);
  int other = ::open(dir.path("nodes").c_str(), O_RDWR);
  ASSERT_EQ(cache.read(fd, 1, kSize, buf), FHS_OK);
  ASSERT_EQ(cache.read(other, 1, kSize, buf), FHS_OK);
  EXPECT_EQ(cache.flush(other), FHS_OK);
  EXPECT_TRUE(cache.holds(fd, 1, nullptr));
  EXPECT_FALSE(cache.holds(other, 1, nullptr));
  ::close(other);
}

TEST_F(CacheFile, FailuresAreReported) {
  NodeCache cache(1);
  EXPECT_EQ(cache.read(fd, 50, kSize, buf), FHS_READINDEX);
  EXPECT_EQ(cache.in_use(), 0);
  int ro = ::open(dir.path("nodes").c_str(), O_RDONLY);
  std::string z(kSize, 'Z');
  ASSERT_EQ(cache.write(ro, 1, kSize, reinterpret_cast<const uint8_t *>(z.data())), FHS_OK);
  EXPECT_EQ(cache.read(fd, 2, kSize, buf), FHS_WRITEINDEX);  // the evicted write-back fails
  EXPECT_EQ(buf[0], 'c');                                     // the read itself succeeded
  ASSERT_EQ(cache.write(ro, 1, kSize, reinterpret_cast<const uint8_t *>(z.data())), FHS_OK);
  EXPECT_EQ(cache.flush(ro), FHS_WRITEINDEX);
  ::close(ro);
}

}  // namespace
