// Sequential fields of text files and record buffers, over a file in memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access/block_io.h"
#include "access/kdb_file.h"
#include "access/return_code.h"
#include "access/seqio.h"

namespace lumbra {
namespace {

// A stream file in memory, moved in blocks of the record length the way the
// engine moves a file without description; a read past the end fills with 26.
class MemoryBlocks : public BlockIO {
 public:
  std::string file;
  size_t at = 0;
  int fail_after = -1;  // the number of transfers that succeed, -1 all

  int read_block(kdb_file &f) override {
    if (fail_after == 0) return kEngineFailure;
    if (fail_after > 0) --fail_after;
    for (size_t i = 0; i < f.req.reclen; ++i)
      f.req.recbuf[i] = at + i < file.size() ? file[at + i] : 26;
    at += f.req.reclen;
    return kOk;
  }
  int write_block(kdb_file &f) override {
    if (fail_after == 0) return kEngineFailure;
    if (fail_after > 0) --fail_after;
    if (file.size() < at + f.req.reclen) file.resize(at + f.req.reclen);
    file.replace(at, f.req.reclen, f.req.recbuf, f.req.reclen);
    at += f.req.reclen;
    return kOk;
  }
};

// A context of the given type with a record buffer of reclen bytes.
struct File {
  kdb_file f{};
  std::vector<char> buf;
  MemoryBlocks io;

  File(FileType type, uint16_t reclen, uint16_t mode = 0) : buf(reclen + 8, ' ') {
    f.type = type;
    f.req.reclen = reclen;
    f.req.recbuf = buf.data();
    f.req.mode = mode;
    buf[reclen - 1] = '\n';
    buf[reclen] = '\0';
    f.bufpos = start_position(f);
  }
  // An input file over text, its first block read as the open does.
  static File input(FileType type, const std::string &text, uint16_t reclen = 8) {
    File in(type, reclen);
    in.io.file = text;
    in.io.read_block(in.f);
    return in;
  }
  int get(std::string *out, int16_t limit) {
    char text[600];
    int16_t len = limit;
    int rc = get_field(f, io, text, &len);
    if (rc == kOk) {
      EXPECT_EQ(len, static_cast<int16_t>(strlen(text)));
      *out = text;
    }
    return rc;
  }
  std::string data() const { return std::string(buf.data(), f.req.reclen); }
};

TEST(WriteFields, RecordBufferStopsAtItsEnd) {
  File rec(kNumbered, 6);
  EXPECT_EQ(put_field(rec.f, rec.io, "ABCDEFGH", -1), kPastRecordEnd);
  EXPECT_EQ(rec.data(), " ABCDE");
  EXPECT_EQ(rec.buf[6], '\0');
  EXPECT_TRUE(rec.io.file.empty());
  // A position past the end stores nothing at all.
  rec.f.bufpos = 40;
  EXPECT_EQ(put_field(rec.f, rec.io, "Z", -1), kPastRecordEnd);
  EXPECT_EQ(rec.buf[6], '\0');
}

TEST(ReadFields, DelimitedFieldLongerThanTheLimitIsConsumedWhole) {
  File in = File::input(kDelimIn, "\"ABCDEFGHIJ\",\"XY\"\r\n");
  char text[8];
  memset(text, '#', sizeof text);
  int16_t len = 4;
  ASSERT_EQ(get_field(in.f, in.io, text, &len), kOk);
  EXPECT_EQ(len, 4);
  EXPECT_STREQ(text, "ABCD");
  EXPECT_EQ(text[5], '#');
  std::string s;
  ASSERT_EQ(in.get(&s, 4), kOk);
  EXPECT_EQ(s, "XY");
}

TEST(ReadFields, DelimitedKeepsACarriageReturnWithoutLineFeed) {
  File in = File::input(kDelimIn, "a\rb,c\r\n");
  std::string s;
  ASSERT_EQ(in.get(&s, 20), kOk);
  EXPECT_EQ(s, "a\rb");
  ASSERT_EQ(in.get(&s, 20), kOk);
  EXPECT_EQ(s, "c");
}

TEST(ReadFields, UnlimitedReadOfAnEmptyLineSucceeds) {
  File in = File::input(kTextIn, "\nX\n");
  std::string s = "old";
  ASSERT_EQ(in.get(&s, -1), kOk);
  EXPECT_EQ(s, "");
  ASSERT_EQ(next_line(in.f, in.io), kOk);
  File limited = File::input(kTextIn, "\nX\n");
  EXPECT_EQ(limited.get(&s, 5), kNoMoreFields);
}

TEST(ReadFields, DelimitedNextLineNeedsTheWholeLineEnd) {
  std::string s;
  File delim = File::input(kDelimIn, "x\ny\r\nz\r\n");
  ASSERT_EQ(next_line(delim.f, delim.io), kOk);
  ASSERT_EQ(delim.get(&s, -1), kOk);
  EXPECT_EQ(s, "z");
}

TEST(ReadFields, RecordBufferEndsAtItsLength) {
  File rec(kNumbered, 6);
  memcpy(rec.buf.data(), " ABCDE", 6);  // no line feed left in the buffer
  std::string s;
  EXPECT_EQ(rec.get(&s, -1), kReadPastEnd);
  File with_lf(kNumbered, 6);
  memcpy(with_lf.buf.data(), " ABCD\n", 6);
  ASSERT_EQ(with_lf.get(&s, -1), kOk);
  EXPECT_EQ(s, "ABCD");
}

TEST(BlockTransfers, FailuresAreReported) {
  File out(kTextOut, 4);
  out.io.fail_after = 0;
  EXPECT_EQ(put_field(out.f, out.io, "ABCDEF", -1), kEngineFailure);
  EXPECT_EQ(out.data(), "ABCD");  // what was written before stays
  File in = File::input(kTextIn, "ABCDEFGHIJ\n", 4);
  in.io.fail_after = 0;
  std::string s;
  EXPECT_EQ(in.get(&s, -1), kEngineFailure);
}
TEST(ReadFields, NullBufferAndLengthAreSafe) {
  File in = File::input(kTextIn, "ABC\nDEF\n");
  EXPECT_EQ(get_field(in.f, in.io, nullptr, nullptr), kOk);
  ASSERT_EQ(next_line(in.f, in.io), kOk);
  char text[600];
  ASSERT_EQ(get_field(in.f, in.io, text, nullptr), kOk);
  EXPECT_STREQ(text, "DEF");
}

}  // namespace
}  // namespace lumbra
