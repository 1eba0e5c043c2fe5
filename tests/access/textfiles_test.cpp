// Text files through the KDB functions: line and delimited, written and read
// back, appending, the end-of-file character and the mode bits.
#include <gtest/gtest.h>

#include <string>

#include "access/kdb.h"
#include "tests/support/access_fixture.h"

using access_test::read_file;
using access_test::write_file;

namespace {

const auto *const g_env = ::testing::AddGlobalTestEnvironment(new access_test::PrivateState);
const std::string kEof(1, 26);

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override { client_ = KDBinit(0); }
  void TearDown() override { EXPECT_EQ(KDBinit(client_), 0); }
  int open(const std::string &path, int type, int mode = 0) {
    return KDBopen(path.c_str(), "", "", id_, type, mode);
  }
  // A new output file: KDBopen finds nothing to append to, KDBopenmake makes it.
  int create(const std::string &path, int type, int mode = 0) {
    EXPECT_EQ(open(path, type, mode), 6);
    return KDBopenmake(path.c_str(), "", "", id_, type, mode);
  }
  int get(std::string *out, int16_t limit) {
    char text[520];
    int16_t len = limit;
    int rc = KDBget(text, id_, &len);
    if (rc == 0) *out = text;
    return rc;
  }

  Scratch dir_;
  int client_ = 0;
  int id_ = 0;
  int &init_id() { return id_ = client_ + 1; }
};

TEST_F(TextFiles, DelimitedWrittenAndReadBack) {
  init_id();
  std::string path = dir_.path("out.csv");
  ASSERT_EQ(create(path, 4), 0);
  ASSERT_EQ(KDBput("A", id_, -1), 0);
  ASSERT_EQ(KDBput("B", id_, -1), 0);
  ASSERT_EQ(KDBwrite(id_, 1, 0), 0);
  ASSERT_EQ(KDBput("a,b", id_, -1), 0);
  ASSERT_EQ(KDBputtab(id_, 9), 0);  // blanks up to column 9 (quotes count), as a field
  ASSERT_EQ(KDBwrite(id_, 1, 0), 0);
  EXPECT_EQ(KDBread(id_, 0), 12);
  ASSERT_EQ(KDBclose(id_), 0);
  std::string lines = "\"A\",\"B\"\r\n\"a,b\",\"    \"\r\n";
  std::string bytes = read_file(path);
  ASSERT_EQ(bytes.size(), 128u);
  EXPECT_EQ(bytes.substr(0, lines.size()), lines);
  EXPECT_EQ(bytes.substr(lines.size()), std::string(128 - lines.size(), 26));

  ASSERT_EQ(open(path, 5), 0);
  std::string s;
  ASSERT_EQ(get(&s, 10), 0);
  EXPECT_EQ(s, "A");
  ASSERT_EQ(get(&s, 10), 0);
  EXPECT_EQ(s, "B");
  EXPECT_EQ(get(&s, 10), 10);
  ASSERT_EQ(KDBread(id_, 0), 0);
  ASSERT_EQ(get(&s, 1), 0);  // a field is consumed whole, stored up to the limit
  EXPECT_EQ(s, "a");
  ASSERT_EQ(get(&s, 10), 0);
  EXPECT_EQ(s, "    ");
  ASSERT_EQ(KDBread(id_, 0), 0);
  EXPECT_EQ(get(&s, 10), 11);
  EXPECT_EQ(KDBwrite(id_, 1, 0), 113);
  EXPECT_EQ(KDBposn(id_, "x", 1, "", 0), 113);
}

TEST_F(TextFiles, LineFileAcrossBlocks) {
  init_id();
  std::string path = dir_.path("in.txt");
  std::string longline(300, 'L');
  write_file(path, "ABCDE\r\n" + longline + "\nlast\n" + kEof);
  ASSERT_EQ(open(path, 1), 0);
  std::string s;
  ASSERT_EQ(get(&s, 3), 0);
  EXPECT_EQ(s, "ABC");
  ASSERT_EQ(get(&s, 3), 0);
  EXPECT_EQ(s, "DE");
  EXPECT_EQ(get(&s, 3), 10);
  EXPECT_EQ(get(&s, 3), 10);
  ASSERT_EQ(KDBread(id_, 0), 0);
  ASSERT_EQ(get(&s, -1), 0);
  EXPECT_EQ(s, longline);
  ASSERT_EQ(KDBread(id_, 0), 0);
  ASSERT_EQ(get(&s, 2), 0);
  ASSERT_EQ(KDBread(id_, 0), 0);  // skips the rest of "last"
  EXPECT_EQ(get(&s, -1), 11);
  EXPECT_EQ(KDBread(id_, 0), 11);
}

// An empty input file ends at once: the open answers 11 and leaves nothing
// open, so the id can be opened again and reads nothing.
TEST_F(TextFiles, EmptyInputFileIsNotLeftOpen) {
  init_id();
  std::string path = dir_.path("empty.txt");
  write_file(path, "");
  for (int type : {1, 5}) {
    EXPECT_EQ(open(path, type), 11) << type;
    EXPECT_EQ(KDBerr(id_), 100) << type;
    EXPECT_EQ(KDBisopen(id_), 0) << type;
    EXPECT_EQ(open(path, type), 11) << type;
    std::string field;
    EXPECT_EQ(get(&field, 10), 7) << type;
  }
}

TEST_F(TextFiles, OutputAppendsUnlessAskedNotTo) {
  init_id();
  std::string path = dir_.path("log.txt");
  ASSERT_EQ(create(path, 0), 0);
  ASSERT_EQ(KDBput("first", id_, -1), 0);
  ASSERT_EQ(KDBwrite(id_, 0, 0), 0);  // count 0 writes nothing
  ASSERT_EQ(KDBwrite(id_, 2, 0), 0);
  ASSERT_EQ(KDBclose(id_), 0);
  EXPECT_EQ(read_file(path), "first\r\n\r\n" + std::string(119, 26));

  ASSERT_EQ(open(path, 0), 0);
  ASSERT_EQ(KDBput("more", id_, -1), 0);
  ASSERT_EQ(KDBclose(id_), 0);
  EXPECT_EQ(read_file(path), "first\r\n\r\nmore" + std::string(115, 26));

  ASSERT_EQ(open(path, 0, 0x4000), 0);  // small blocks, from the beginning
  ASSERT_EQ(KDBput("NEW", id_, -1), 0);
  ASSERT_EQ(KDBclose(id_), 0);
  std::string bytes = read_file(path);
  EXPECT_EQ(bytes.substr(0, 6), "NEW" + std::string(3, 26));
}

TEST_F(TextFiles, AppendAfterAFullLastBlock) {
  init_id();
  std::string path = dir_.path("full.txt");
  std::string body(200, 'x');
  write_file(path, body);  // no end-of-file character, not a whole block
  ASSERT_EQ(open(path, 0), 0);
  ASSERT_EQ(KDBput("Y", id_, -1), 0);
  ASSERT_EQ(KDBclose(id_), 0);
  std::string bytes = read_file(path);
  ASSERT_GE(bytes.size(), 201u);
  EXPECT_EQ(bytes.substr(0, 201), body + "Y");
  EXPECT_EQ(bytes[201], 26);
}

TEST_F(TextFiles, LineFeedModeEndsLinesAndFillsWithLineFeeds) {
  init_id();
  std::string path = dir_.path("unix.txt");
  ASSERT_EQ(create(path, 0, 0x8000), 0);
  ASSERT_EQ(KDBput("AB", id_, 5), 0);
  ASSERT_EQ(KDBwrite(id_, 1, 0), 0);
  ASSERT_EQ(KDBclose(id_), 0);
  EXPECT_EQ(read_file(path), "AB   \n" + std::string(122, '\n'));
  ASSERT_EQ(open(path, 1), 0);
  std::string s;
  ASSERT_EQ(get(&s, -1), 0);
  EXPECT_EQ(s, "AB   ");
}

}  // namespace
