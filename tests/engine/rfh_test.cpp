#include <string.h>

#include "engine/core/openlist.h"
#include "tests/support/rfh_fixture.h"

using namespace corvex;

namespace {

// A file without keys: a left item, a right-justified one, and an item of
// three elements.
const char kItems[] =
    "length 30\n"
    "item NAME C 0 5\n"
    "item NUM N 5 5 1 R\n"
    "item ARR C 10 4 3\n"
    "item NOTE C 22 8\n";

class RfhTest : public EngineTest {
 protected:
  fhrequest block_ = {};
  fhrequest other_ = {};
};

TEST_F(RfhTest, OpenWrappersAllocateRecordBufferAndDefaultTries) {
  make(&block_, "T", kItems);
  ASSERT_NE(block_.recbuf, nullptr);
  EXPECT_EQ(+block_.reclen, 32);
  EXPECT_EQ(std::string(block_.recbuf, 31), std::string(31, ' '));
  EXPECT_EQ(block_.recbuf[31], '\n');
  EXPECT_EQ(block_.recbuf[32], '\0');
  EXPECT_EQ(+block_.hdrtries, 100);
  EXPECT_EQ(+block_.rectries, 1);
  ASSERT_EQ(_rfhclose(&block_), 0);
  EXPECT_EQ(block_.recbuf, nullptr);

  // Tries the caller chose stay.
  describe(&block_, "T", kItems);
  block_.hdrtries = 7;
  block_.rectries = 3;
  ASSERT_EQ(_rfhopen(&block_), 0);
  EXPECT_EQ(+block_.hdrtries, 7);
  EXPECT_EQ(+block_.rectries, 3);
  ASSERT_EQ(_rfhclose(&block_), 0);

  // A failed open leaves no buffer; closing what is not open answers 11.
  describe(&block_, "Missing", kItems);
  EXPECT_EQ(_rfhopen(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_OPENDATA);
  EXPECT_EQ(block_.recbuf, nullptr);
  EXPECT_EQ(_rfhclose(&block_), -1);
  EXPECT_EQ(+block_.status, FHS_NOTOPEN);
  EXPECT_EQ(_rfhopen(nullptr), -1);
}

TEST_F(RfhTest, FlagArgumentsStayInMode) {
  make(&block_, "T", kItems);
  fill(&block_, {{"NAME", "a"}});
  ASSERT_EQ(_rfhwrite(&block_, 0), 0);
  EXPECT_FALSE(block_.mode & FH_STAY);
  uint32_t first = 0;
  block_.keybuf = reinterpret_cast<char *>(&first);
  ASSERT_EQ(_rfhposn(&block_, 1), 0);
  EXPECT_TRUE(block_.mode & FH_EXACT);
  ASSERT_EQ(_rfhread(&block_, 1), 0);
  EXPECT_TRUE(block_.mode & FH_STAY);
  // The flag stays for later calls: a plain read stays on the record too.
  int32_t at = block_.recpos;
  block_.opcode = FHOP_READ;
  ASSERT_EQ(_filehandler(&block_), 0);
  EXPECT_EQ(+block_.recpos, at);
  ASSERT_EQ(_rfhread(&block_, 0), 0);
  EXPECT_FALSE(block_.mode & FH_STAY);
  ASSERT_EQ(_rfhposn(&block_, 0), 0);
  EXPECT_FALSE(block_.mode & FH_EXACT);
  // A wrapper clears the status of an earlier failure.
  block_.status = 77;
  ASSERT_EQ(_rfhsecure(&block_), 0);
  EXPECT_EQ(+block_.status, 0);
  EXPECT_EQ(_rfhsetkey(&block_, 1), -1);
  EXPECT_EQ(+block_.keyarg, 1);
  EXPECT_EQ(+block_.status, FHS_NOTSUPPORTED);
}

TEST_F(RfhTest, ItemGetAndSetByName) {
  make(&block_, "T", kItems);
  fill(&block_, {{"NAME", "42"}, {"NUM", "42"}});
  EXPECT_EQ(item(&block_, "NAME"), "42   ");
  EXPECT_EQ(item(&block_, "NUM"), "   42");
  ASSERT_EQ(_rfhitemset(&block_, "NAME", 0, "abcdef"), 0);
  EXPECT_EQ(item(&block_, "NAME"), "abcde");
  ASSERT_EQ(_rfhitemset(&block_, "NUM", 0, "123456"), 0);
  EXPECT_EQ(item(&block_, "NUM"), "12345");
  ASSERT_EQ(_rfhitemset(&block_, "NUM", 0, nullptr), 0);
  EXPECT_EQ(item(&block_, "NUM"), "     ");
  // Setting an element touches nothing around it.
  ASSERT_EQ(_rfhitemset(&block_, "ARR", 1, "xy"), 0);
  EXPECT_EQ(std::string(block_.recbuf, 23), " abcde" + std::string(9, ' ') + "xy" + std::string(6, ' '));
  EXPECT_EQ(item(&block_, "ARR", 1), "xy  ");

  // A zero byte in the buffer ends the text; the rest is zero-filled.
  block_.recbuf[24] = '\0';
  char out[16];
  memset(out, '#', sizeof out);
  ASSERT_EQ(_rfhitemget(&block_, "NOTE", 0, out), 0);
  EXPECT_EQ(std::string(out, 9), std::string(" ", 1) + std::string(8, '\0'));
  EXPECT_EQ(out[9], '#');

  EXPECT_EQ(_rfhitemoffset(&block_, "ARR"), block_.recbuf + 11);
  EXPECT_EQ(_rfhitemoffset(&block_, "NONE"), nullptr);
}

TEST_F(RfhTest, ItemBounds) {
  make(&block_, "T", kItems);
  char out[16];
  memset(out, '#', sizeof out);
  EXPECT_EQ(_rfhitemget(&block_, "ARR", 3, out), -1);
  EXPECT_EQ(_rfhitemget(&block_, "ARR", -1, out), -1);
  EXPECT_EQ(_rfhitemget(&block_, "NAMES", 0, out), -1);
  EXPECT_EQ(_rfhitemget(&block_, "name", 0, out), -1);
  EXPECT_EQ(_rfhitemget(&block_, nullptr, 0, out), -1);
  EXPECT_EQ(out[0], '#');
  EXPECT_EQ(_rfhitemget(&block_, "ARR", 2, nullptr), -1);
  EXPECT_EQ(_rfhitemset(&block_, "ARR", 3, "x"), -1);
  EXPECT_EQ(_rfhitemset(&block_, "ARR", INT32_MIN, "x"), -1);
  EXPECT_EQ(std::string(block_.recbuf, 31), std::string(31, ' '));
  EXPECT_EQ(_rfhitemget(&block_, "ARR", 2, out), 0);

  // An item table that reaches past the record is refused, not followed.
  block_.itemdefs[2].count = 30;
  EXPECT_EQ(_rfhitemset(&block_, "ARR", 20, "x"), -1);
  EXPECT_EQ(_rfhitemoffset(&block_, "ARR"), nullptr);
  block_.itemdefs[2].count = 3;

  fhrequest closed = {};
  EXPECT_EQ(_rfhitemget(&closed, "ARR", 0, out), -1);
  EXPECT_EQ(_rfhitemset(nullptr, "ARR", 0, "x"), -1);
}

TEST_F(RfhTest, CopyMovesElementZeroByName) {
  make(&block_, "S", kItems);
  make(&other_, "D",
       "length 20\n"
       "item NOTE C 0 4\n"
       "item NUM N 4 8 1 R\n"
       "item OWN C 12 8\n");
  fill(&block_, {{"NAME", "abc"}, {"NUM", "7"}, {"NOTE", "longnote"}});
  ASSERT_EQ(_rfhitemset(&block_, "ARR", 0, "zz"), 0);
  fill(&other_, {{"OWN", "mine"}});
  ASSERT_EQ(_rfhcopy(&other_, &block_), 0);
  EXPECT_EQ(item(&other_, "NOTE"), "long");
  // Set again by name: the destination's justification applies.
  EXPECT_EQ(item(&other_, "NUM"), "       7");
  EXPECT_EQ(item(&other_, "OWN"), "mine    ");
  EXPECT_EQ(_rfhcopy(nullptr, &block_), -1);
}

TEST(RfhExports, VersionAndTemporaryDirectory) {
  uint16_t major = 0, minor = 0;
  _rfhgetversion(&major, &minor);
  EXPECT_EQ(major, 1537);
  EXPECT_EQ(minor, 257);
  _rfhgetversion(nullptr, nullptr);
  _rfhsettmpdir("/tmp/work");
  EXPECT_STREQ(engine_tmpdir(), "/tmp/work");
  _rfhsettmpdir(nullptr);
  EXPECT_STREQ(engine_tmpdir(), "");
}

}  // namespace
