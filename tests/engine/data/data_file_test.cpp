// Data files through the request block: new files, keyed writes, deleted
// slots, variable-length moves, threads, record numbers, streams, damage.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/base95.h"
#include "tests/support/data_fixture.h"
#include "tests/support/scratch.h"

namespace {

// CODE 1..6, NAME 7..16, CITY 17..24, LINK 25..28 (raised offsets).
const char kPeople[] =
    "length 30\n"
    "item CODE C 0 6\n"
    "item NAME C 6 10\n"
    "item CITY C 16 8\n"
    "item LINK C 24 4\n"
    "key CODE\n"
    "key CITY\n"
    "thread LINK CITY = 'PARIS'\n";

// The same items after the four length digits, variable length.
const char kVarPeople[] =
    "length 34\n"
    "varlen\n"
    "item CODE C 4 6\n"
    "item NAME C 10 10\n"
    "item CITY C 20 8\n"
    "item LINK C 28 4\n"
    "key CODE\n"
    "key CITY\n"
    "thread LINK CITY = 'PARIS'\n";

const char kPlain[] =
    "length 10\n"
    "item TEXT C 0 10\n";

const char kVarPlain[] =
    "length 24\n"
    "varlen\n"
    "item A C 4 10\n"
    "item B C 14 10\n";

class DataFileTest : public ::testing::Test {
 protected:
  std::string dat() const { return scratch_.path("T.dat"); }

  void make(Table &t, const char *description, uint16_t mode = 0) {
    write_fid(scratch_.path("T.fid"), description);
    ASSERT_EQ(t.make(dat(), mode), FHS_OK);
  }

  std::string bytes() const {
    std::ifstream in(dat(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void poke(long at, const std::string &text) {
    int fd = ::open(dat().c_str(), O_RDWR);
    ASSERT_EQ(pwrite(fd, text.data(), text.size(), at), static_cast<ssize_t>(text.size()));
    ::close(fd);
  }

  // CODE, NAME, CITY at offset `base` (1 fixed, 5 variable).
  int add(Table &t, const std::string &code, const std::string &name, const std::string &city, int base = 1) {
    t.clear();
    t.put(base, code);
    t.put(base + 6, name);
    t.put(base + 16, city);
    return t.op(FHOP_WRITE);
  }

  // The CODE of every record along key `keyarg` (1-based).
  std::vector<std::string> walk(Table &t, int keyarg, int base = 1) {
    std::vector<std::string> out;
    EXPECT_EQ(t.setkey(keyarg), FHS_OK);
    EXPECT_EQ(t.position_key(""), FHS_OK);
    while (t.positioned() && t.op(FHOP_READ) == FHS_OK) out.push_back(t.get(base, 1));
    return out;
  }

  // The CODE of every member of thread 0, head first.
  std::vector<std::string> thread(Table &t, int base = 1) {
    std::vector<std::string> out;
    EXPECT_EQ(t.setkey(0), FHS_OK);
    t.block.state |= ST_THREAD;
    EXPECT_EQ(t.op(FHOP_POSITION), FHS_OK);
    for (int guard = 0; t.positioned() && guard < 100; guard++) {
      int status = t.op(FHOP_READ);
      EXPECT_EQ(status, FHS_OK) << "member read";
      if (status != FHS_OK) break;
      out.push_back(t.get(base, 1));
    }
    t.block.state &= static_cast<uint16_t>(~ST_THREAD);
    return out;
  }

  Scratch scratch_;
  EngineSession session_;
};

using Codes = std::vector<std::string>;

int open_descriptors() {
  int n = 0;
  DIR *d = opendir("/proc/self/fd");
  while (readdir(d) != nullptr) n++;
  closedir(d);
  return n;
}

TEST_F(DataFileTest, NewFileHoldsOnlyItsHeader) {
  Table t;
  make(t, kPlain);
  EXPECT_EQ(bytes(), " 00000001  \n");
  EXPECT_EQ(+t.block.nrecs, 1u);
  EXPECT_FALSE(t.positioned());
  EXPECT_EQ(t.op(FHOP_READ), FHS_NORECORD);
  EXPECT_EQ(t.op(FHOP_BACKSPACE), FHS_NORECORD);
  EXPECT_EQ(t.op(FHOP_END), FHS_OK);
  EXPECT_EQ(+t.block.recpos, 12);
  ASSERT_EQ(t.close(), FHS_OK);
  Table again;
  ASSERT_EQ(again.open(dat()), FHS_OK);
  EXPECT_FALSE(again.positioned());
  EXPECT_EQ(again.op(FHOP_READ), FHS_NORECORD);
}

TEST_F(DataFileTest, CloseAfterPhysicalOrderReleasesTheIndexHandle) {
  int before = open_descriptors();
  {
    Table t;
    make(t, kPeople);
    ASSERT_EQ(add(t, "000001", "ADA", "PARIS"), FHS_OK);
    ASSERT_EQ(t.setkey(0), FHS_OK);
    ASSERT_EQ(t.close(), FHS_OK);
  }
  EXPECT_EQ(open_descriptors(), before);
}

// Open, make or a temporary index on a block that is open already is refused
// and touches nothing: no new handles or index context, the file not
// truncated, the first open still working.
TEST_F(DataFileTest, OpeningAnOpenBlockAgainIsRefused) {
  int before = open_descriptors();
  {
    Table t;
    make(t, kPeople);
    ASSERT_EQ(add(t, "000001", "ADA", "PARIS"), FHS_OK);
    ASSERT_EQ(t.op(FHOP_SECURE), FHS_OK);
    std::string stored = bytes();
    fhrequest kept = t.block;
    char expr[] = "CITY";
    for (int opcode : {FHOP_OPEN, FHOP_MAKE, FHOP_TEMPINDEX}) {
      SCOPED_TRACE(opcode);
      if (opcode == FHOP_TEMPINDEX) t.block.keybuf = expr;
      EXPECT_EQ(t.op(opcode), FHS_OPENDATA);
      EXPECT_EQ(t.block.idxctx, kept.idxctx);
      EXPECT_EQ(t.block.itemdefs, kept.itemdefs);
      EXPECT_EQ(+t.block.datfd, +kept.datfd);
      EXPECT_EQ(+t.block.idxfd, +kept.idxfd);
      EXPECT_EQ(+t.block.mode, +kept.mode);
      t.block.keybuf = kept.keybuf;
    }
    EXPECT_EQ(bytes(), stored);
    EXPECT_EQ(walk(t, 1), Codes{"0"});
  }
  EXPECT_EQ(open_descriptors(), before);
}

TEST_F(DataFileTest, AddRewriteAndDeleteKeepEveryKey) {
  Table t;
  make(t, kPeople);
  ASSERT_EQ(add(t, "C", "carol", "ROME"), FHS_OK);
  ASSERT_EQ(add(t, "A", "alice", "PARIS"), FHS_OK);
  ASSERT_EQ(add(t, "B", "bob", "BERLIN"), FHS_OK);
  EXPECT_EQ(walk(t, 1), (Codes{"A", "B", "C"}));
  EXPECT_EQ(walk(t, 2), (Codes{"B", "A", "C"}));
  // A rewrite with the same key 0 replaces the record and moves its city key.
  ASSERT_EQ(add(t, "B", "bobby", "ZURICH"), FHS_OK);
  EXPECT_EQ(+t.block.nrecs, 4u);
  EXPECT_EQ(walk(t, 2), (Codes{"A", "C", "B"}));
  ASSERT_EQ(t.setkey(1), FHS_OK);
  EXPECT_EQ(t.position_key("B"), FHS_OK);
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(7, 5), "bobby");
  // Delete takes the keys from the stored record, not from the buffer.
  t.clear();
  t.put(1, "A");
  t.put(17, "WRONG");
  ASSERT_EQ(t.op(FHOP_DELETE), FHS_OK);
  EXPECT_EQ(walk(t, 1), (Codes{"B", "C"}));
  EXPECT_EQ(walk(t, 2), (Codes{"C", "B"}));
  EXPECT_EQ(bytes()[64], 'D');  // the second slot
  t.clear();
  t.put(1, "A");
  EXPECT_EQ(t.op(FHOP_DELETE), FHS_NORECORD);
  ASSERT_EQ(t.close(), FHS_OK);
  Table again;
  ASSERT_EQ(again.open(dat()), FHS_OK);
  EXPECT_EQ(+again.block.nrecs, 4u);
  EXPECT_EQ(walk(again, 2), (Codes{"C", "B"}));
}

TEST_F(DataFileTest, DeletedSlotsAreReused) {
  Table t;
  make(t, kPeople);
  for (const char *c : {"A", "B", "C"}) ASSERT_EQ(add(t, c, "x", "ROME"), FHS_OK);
  t.clear();
  t.put(1, "B");
  ASSERT_EQ(t.op(FHOP_DELETE), FHS_OK);
  ASSERT_EQ(add(t, "D", "dave", "OSLO"), FHS_OK);
  EXPECT_EQ(+t.block.nrecs, 4u);
  std::string file = bytes();
  EXPECT_EQ(file.size(), 4u * 32);
  EXPECT_EQ(file.substr(64, 2), " D");
  EXPECT_EQ(walk(t, 1), (Codes{"A", "C", "D"}));
  ASSERT_EQ(add(t, "E", "eve", "OSLO"), FHS_OK);
  EXPECT_EQ(+t.block.nrecs, 5u);
}

TEST_F(DataFileTest, VariableLengthRecordOfAnotherLengthMoves) {
  Table t;
  make(t, kVarPeople);
  ASSERT_EQ(add(t, "A", "al", "ROME", 5), FHS_OK);
  ASSERT_EQ(add(t, "B", "bo", "OSLO", 5), FHS_OK);
  std::string before = bytes();
  ASSERT_EQ(before.size(), 36u + 2 * (5 + 1 + 1 + 2 + 1 + 4 + 1 + 4 + 1));
  // Longer: the old slot is marked deleted and the record appended.
  ASSERT_EQ(add(t, "A", "alexander", "ROME", 5), FHS_OK);
  std::string after = bytes();
  EXPECT_EQ(after[36], 'D');
  EXPECT_EQ(after.size(), before.size() + 27);
  EXPECT_EQ(walk(t, 1, 5), (Codes{"A", "B"}));
  EXPECT_EQ(t.position_key("A"), FHS_OK);
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(11, 10), "alexander ");
  EXPECT_EQ(t.get(21, 8), "ROME    ");
  // A new record of the freed length takes the slot.
  ASSERT_EQ(add(t, "C", "cy", "BONN", 5), FHS_OK);
  EXPECT_EQ(bytes().size(), after.size());
  EXPECT_EQ(bytes().substr(36, 20), " 0014C\tcy\tBONN\t    \n");
  EXPECT_EQ(walk(t, 2, 5), (Codes{"C", "B", "A"}));
}

// A tab inside a text key is stored as a space; the keys are those of the
// stored record, so the same values, or the record as read back, rewrite it
// and the tabbed key still finds it for a delete.
TEST_F(DataFileTest, VariableLengthKeysAreThoseOfTheStoredRecord) {
  Table t;
  make(t, kVarPeople);
  ASSERT_EQ(add(t, "A\tB", "al", "RO\tME", 5), FHS_OK);
  ASSERT_EQ(add(t, "A\tB", "al", "RO\tME", 5), FHS_OK);
  EXPECT_EQ(t.position_key("A B"), FHS_OK);
  ASSERT_TRUE(t.positioned());
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(5, 3), "A B");
  EXPECT_EQ(t.get(21, 5), "RO ME");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);  // written back as read
  EXPECT_EQ(walk(t, 1, 5), Codes{"A"});
  EXPECT_EQ(walk(t, 2, 5), Codes{"A"});
  EXPECT_EQ(+t.block.nrecs, 2u);
  t.clear();
  t.put(5, "A\tB");
  ASSERT_EQ(t.op(FHOP_DELETE), FHS_OK);
  EXPECT_EQ(walk(t, 1, 5), Codes{});
  EXPECT_EQ(walk(t, 2, 5), Codes{});
}

TEST_F(DataFileTest, VariableLengthWithoutKeysNeverOverwritesTheNext) {
  Table t;
  make(t, kVarPlain);
  t.clear();
  t.put(5, "one");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  t.clear();
  t.put(5, "two");
  t.put(15, "2");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  // Rewrite the first one longer: it moves to the end.
  ASSERT_EQ(t.position_number(0), FHS_OK);
  t.clear();
  t.put(5, "one longer");
  t.put(15, "tail");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  std::string file = bytes();
  EXPECT_EQ(file[26], 'D');
  EXPECT_EQ(file.substr(26, 10), "D000Aone\t\n");
  EXPECT_EQ(file.substr(36, 11), " 000Btwo\t2\n");
  // Rewrite the second shorter: padded in place, still readable.
  ASSERT_EQ(t.position_number(1), FHS_OK);
  int32_t second = t.block.recpos;
  t.clear();
  t.put(5, "2");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  EXPECT_EQ(bytes().size(), file.size());
  ASSERT_EQ(t.position_number(1), FHS_OK);
  EXPECT_EQ(+t.block.recpos, second);
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(5, 20), std::string("2") + std::string(19, ' '));
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(5, 20), "one longertail      ");
  EXPECT_FALSE(t.positioned());
  EXPECT_EQ(t.op(FHOP_BACKSPACE), FHS_NOBACKSPACE);
}

TEST_F(DataFileTest, ThreadsFollowMembershipNewestFirst) {
  Table t;
  make(t, kPeople);
  ASSERT_EQ(add(t, "A", "a", "PARIS"), FHS_OK);
  ASSERT_EQ(add(t, "B", "b", "ROME"), FHS_OK);
  ASSERT_EQ(add(t, "C", "c", "PARIS"), FHS_OK);
  ASSERT_EQ(add(t, "D", "d", "PARIS"), FHS_OK);
  EXPECT_EQ(thread(t), (Codes{"D", "C", "A"}));
  // B joins, C leaves, A (the last member) stops matching.
  ASSERT_EQ(add(t, "B", "b", "PARIS"), FHS_OK);
  EXPECT_EQ(thread(t), (Codes{"B", "D", "C", "A"}));
  ASSERT_EQ(add(t, "C", "c", "LYON"), FHS_OK);
  EXPECT_EQ(thread(t), (Codes{"B", "D", "A"}));
  ASSERT_EQ(add(t, "A", "a", "LYON"), FHS_OK);
  EXPECT_EQ(thread(t), (Codes{"B", "D"}));
  // A member staying in keeps its place; deleting the tail unlinks it.
  ASSERT_EQ(add(t, "D", "dd", "PARIS"), FHS_OK);
  EXPECT_EQ(thread(t), (Codes{"B", "D"}));
  t.clear();
  t.put(1, "D");
  ASSERT_EQ(t.op(FHOP_DELETE), FHS_OK);
  EXPECT_EQ(thread(t), (Codes{"B"}));
  // The head is kept in the header at the thread item's offset.
  ASSERT_EQ(t.close(), FHS_OK);
  std::string head = bytes().substr(25, 4);
  EXPECT_EQ(frombase95(head.c_str(), 4), 64u);
  Table again;
  ASSERT_EQ(again.open(dat()), FHS_OK);
  EXPECT_EQ(thread(again), (Codes{"B"}));
  t.clear();
  again.clear();
  again.put(1, "B");
  ASSERT_EQ(again.op(FHOP_DELETE), FHS_OK);
  EXPECT_EQ(thread(again), (Codes{}));
}

TEST_F(DataFileTest, VariableLengthThreadsSurviveMoves) {
  Table t;
  make(t, kVarPeople);
  ASSERT_EQ(add(t, "A", "a", "PARIS", 5), FHS_OK);
  ASSERT_EQ(add(t, "B", "b", "PARIS", 5), FHS_OK);
  ASSERT_EQ(add(t, "A", "a much longer", "PARIS", 5), FHS_OK);
  EXPECT_EQ(thread(t, 5), (Codes{"A", "B"}));
  ASSERT_EQ(add(t, "B", "b much longer", "PARIS", 5), FHS_OK);
  EXPECT_EQ(thread(t, 5), (Codes{"B", "A"}));
}

TEST_F(DataFileTest, DamagedThreadWalkEnds) {
  Table t;
  make(t, kPeople);
  ASSERT_EQ(add(t, "A", "a", "PARIS"), FHS_OK);
  ASSERT_EQ(add(t, "B", "b", "PARIS"), FHS_OK);
  ASSERT_EQ(add(t, "C", "c", "PARIS"), FHS_OK);
  ASSERT_EQ(t.close(), FHS_OK);
  // B (at 64) links to itself: a walk looking for A never meets it.
  poke(64 + 25, tobase95(64, 4));
  Table again;
  ASSERT_EQ(again.open(dat()), FHS_OK);
  again.clear();
  again.put(1, "A");
  EXPECT_EQ(again.op(FHOP_DELETE), FHS_READDATA);
  // A link outside the file is refused as well.
  poke(96 + 25, tobase95(5000, 4));
  again.clear();
  again.put(1, "B");
  EXPECT_EQ(again.op(FHOP_DELETE), FHS_READDATA);
}

TEST_F(DataFileTest, PositionByRecordNumber) {
  Table t;
  make(t, kPlain);
  for (const char *s : {"zero", "one", "two"}) {
    t.clear();
    t.put(1, s);
    ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  }
  ASSERT_EQ(+t.block.nrecs, 4u);
  ASSERT_EQ(t.position_number(2), FHS_OK);
  ASSERT_TRUE(t.positioned());
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(1, 3), "two");
  EXPECT_FALSE(t.positioned());
  ASSERT_EQ(t.position_number(3), FHS_OK);
  EXPECT_FALSE(t.positioned());
  // Rewrite in place by number, then step back from the end.
  ASSERT_EQ(t.position_number(1), FHS_OK);
  t.clear();
  t.put(1, "ONE");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  EXPECT_EQ(+t.block.nrecs, 4u);
  t.block.state &= static_cast<uint16_t>(~ST_POSITIONED);
  ASSERT_EQ(t.op(FHOP_BACKSPACE), FHS_OK);
  ASSERT_EQ(t.op(FHOP_BACKSPACE), FHS_OK);
  t.block.mode |= FH_STAY;
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(1, 3), "ONE");
  ASSERT_EQ(t.op(FHOP_BACKSPACE), FHS_OK);
  EXPECT_EQ(t.op(FHOP_BACKSPACE), FHS_NORECORD);  // never the header
  // A deleted record reads with 109, and the position moves on.
  t.block.mode &= static_cast<uint16_t>(~FH_STAY);
  poke(24, "D");
  ASSERT_EQ(t.position_number(1), FHS_OK);
  EXPECT_EQ(t.op(FHOP_READ), FHS_DELETED);
  EXPECT_EQ(t.get(0, 4), "DONE");
  EXPECT_EQ(+t.block.recpos, 36);
}

TEST_F(DataFileTest, ShortLastRecordIsFilledWith1A) {
  Table t;
  make(t, kPlain);
  t.clear();
  t.put(1, "full");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  ASSERT_EQ(truncate(dat().c_str(), 12 + 5), 0);
  ASSERT_EQ(t.position_number(0), FHS_OK);
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(t.get(0, 12), std::string(" full") + std::string(7, '\x1A'));
}

TEST_F(DataFileTest, StreamFilesMoveBytes) {
  Table t;
  ASSERT_EQ(t.start(FHOP_MAKE, dat(), 0, "*SEQ"), FHS_OK);
  EXPECT_EQ(+t.block.nitems, 0);
  char buf[8];
  t.block.recbuf = buf;
  t.block.reclen = 4;
  for (const char *s : {"abcd", "efgh"}) {
    memcpy(buf, s, 4);
    ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  }
  EXPECT_EQ(bytes(), "abcdefgh");
  ASSERT_EQ(t.close(), FHS_OK);
  ASSERT_EQ(t.start(FHOP_OPEN, dat(), 0, "*SEQ"), FHS_OK);
  EXPECT_EQ(+t.block.recpos, 0);
  t.block.recbuf = buf;
  t.block.reclen = 3;
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(std::string(buf, 3), "abc");
  ASSERT_EQ(t.op(FHOP_BACKSPACE), FHS_OK);
  EXPECT_EQ(+t.block.recpos, 0);
  EXPECT_EQ(t.op(FHOP_BACKSPACE), FHS_NORECORD);
  t.block.recpos = 5;
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(std::string(buf, 3), "fgh");
  t.block.recpos = 7;
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_EQ(std::string(buf, 3), "h\x1A\x1A");
  EXPECT_EQ(t.op(FHOP_READ), FHS_NORECORD);
  EXPECT_EQ(t.op(FHOP_POSITION), FHS_NOTSUPPORTED);
  ASSERT_EQ(t.op(FHOP_END), FHS_OK);
  EXPECT_EQ(+t.block.recpos, 8);
}

TEST_F(DataFileTest, DamagedHeadersAreRefused) {
  {
    Table t;
    make(t, kPeople);
    ASSERT_EQ(add(t, "A", "a", "PARIS"), FHS_OK);
  }
  std::string good = bytes();
  struct Case {
    long at;
    std::string text;
    int status;
  } cases[] = {
      {1, "0000000G", FHS_READDATA},       // not a digit
      {1, "00000009", FHS_RECOVER},        // more slots than the file holds: opened from the file's
      {1, "00000000", FHS_READDATA},       // no header slot
      {31, "x", FHS_DATFIDMISMATCH},       // no line feed at reclen - 1
      {25, tobase95(7, 4), FHS_READDATA},  // thread head inside the header
  };
  for (const Case &c : cases) {
    poke(0, good);
    poke(c.at, c.text);
    Table t;
    EXPECT_EQ(t.open(dat()), c.status) << c.at << " " << c.text;
  }
  poke(0, good);
  ASSERT_EQ(truncate(dat().c_str(), 5), 0);
  Table t;
  EXPECT_EQ(t.open(dat()), FHS_READDATA);
}

TEST_F(DataFileTest, DamagedVariableLengthRecordsAreRefused) {
  Table t;
  make(t, kVarPlain);
  t.clear();
  t.put(5, "x");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  t.clear();
  t.put(5, "y");
  ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK);
  poke(26 + 1, "FFFF");
  ASSERT_EQ(t.position_number(0), FHS_OK);
  EXPECT_EQ(t.op(FHOP_READ), FHS_READDATA);
  // Stepping over a record whose length cannot be read finds nothing.
  ASSERT_EQ(t.position_number(1), FHS_OK);
  EXPECT_FALSE(t.positioned());
}

TEST_F(DataFileTest, ReadOnlyAndUnopenedBlocks) {
  {
    Table t;
    make(t, kPeople);
  }
  Table t;
  ASSERT_EQ(t.open(dat(), FH_READONLY), FHS_OK);
  EXPECT_EQ(add(t, "A", "a", "ROME"), FHS_READONLY);
  EXPECT_EQ(t.op(FHOP_DELETE), FHS_READONLY);
  fhrequest closed = {};
  for (int op : {FHOP_READ, FHOP_WRITE, FHOP_DELETE, FHOP_BACKSPACE, FHOP_POSITION, FHOP_END, FHOP_CLOSE}) {
    closed.opcode = static_cast<uint8_t>(op);
    _filehandler(&closed);
    EXPECT_EQ(closed.status, FHS_NOTOPEN) << op;
  }
  Table missing;
  EXPECT_EQ(missing.open(scratch_.path("none.dat")), FHS_OPENFID);
}

}  // namespace
