// Reads through the files' mappings never see stale contents: another
// process changing, deleting and appending records while a shared-mode walk
// goes on, a second handle of the same file in this process, and a file
// that grows past what was mapped while it is read. The header counts that
// shared writes put through the mapping are on file at once, byte for byte
// what a pwrite would have left, and a write the file no longer reaches is
// refused, not a crash.
#include <fcntl.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/sharing/mapping.h"
#include "tests/support/data_fixture.h"
#include "tests/support/note_records.h"
#include "tests/support/scratch.h"

namespace {

constexpr size_t kNoteWidth = 20;

std::string seq(int n) { return note_seq(n); }
std::string note(const std::string &text) { return note_text(text, kNoteWidth); }
int store(Table &t, int n, const std::string &text) { return store_note(t, n, text, kNoteWidth); }

// SEQ 1..6, NOTE 7..26 (raised offsets).
const char kNotes[] =
    "length 28\n"
    "item SEQ C 0 6\n"
    "item NOTE C 6 20\n"
    "key SEQ\n";

class MappedReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    dat_ = scratch_.path("N.dat");
    write_fid(scratch_.path("N.fid"), kNotes);
  }
  // Makes the file set with records 0..n-1, each noting "v0".
  void fill(int n) {
    EngineSession session;
    Table t;
    ASSERT_EQ(t.make(dat_), FHS_OK);
    t.block.mode |= FH_STAY;
    for (int i = 0; i < n; i++) ASSERT_EQ(store(t, i, "v0"), FHS_OK);
    ASSERT_EQ(t.close(), FHS_OK);
  }
  Scratch scratch_;
  std::string dat_;
};

constexpr int kRecords = 200;
constexpr int kRounds = 20;

// The other process: for each round number read from `in` it rewrites
// record r * 10 + 5, deletes record r * 10 + 7 and appends record 1000 + r,
// then answers with one byte on `out` (0 when something failed).
int changer(const std::string &dat, int in, int out) {
  EngineSession session("MSNET");
  Table t;
  if (t.open(dat) != FHS_OK) return 1;
  t.block.mode |= FH_STAY;
  unsigned char r;
  while (read(in, &r, 1) == 1) {
    bool ok = store(t, r * 10 + 5, "changed " + std::to_string(r)) == FHS_OK;
    t.clear();
    t.put(1, seq(r * 10 + 7));
    ok = ok && t.op(FHOP_DELETE) == FHS_OK;
    ok = ok && store(t, 1000 + r, "appended " + std::to_string(r)) == FHS_OK;
    unsigned char answer = ok ? 1 : 0;
    if (write(out, &answer, 1) != 1) return 1;
  }
  return t.close() == FHS_OK ? 0 : 1;
}

TEST_F(MappedReadTest, SharedWalkSeesAnotherProcesssChangesAsTheyAreMade) {
  fill(kRecords);
  int to_child[2], to_parent[2];
  ASSERT_EQ(pipe(to_child), 0);
  ASSERT_EQ(pipe(to_parent), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(to_child[1]);
    close(to_parent[0]);
    _exit(changer(dat_, to_child[0], to_parent[1]));
  }
  close(to_child[0]);
  close(to_parent[1]);
  std::vector<std::string> walked;
  {
    EngineSession session("MSNET");
    Table t;
    ASSERT_EQ(t.open(dat_), FHS_OK);
    ASSERT_EQ(t.position_key(seq(0)), FHS_OK);
    int round = 0;
    while (t.positioned()) {
      ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
      std::string key = t.get(1, 6), text = t.get(7, 20);
      walked.push_back(key + "=" + text);
      int n = std::stoi(key);
      // Before the walk reaches records r * 10 + 5 and + 7, the other
      // process changes them.
      if (n < kRecords && n % 10 == 0 && round < kRounds) {
        unsigned char r = static_cast<unsigned char>(round++), answer = 0;
        ASSERT_EQ(write(to_child[1], &r, 1), 1);
        ASSERT_EQ(read(to_parent[0], &answer, 1), 1);
        ASSERT_EQ(answer, 1);
      }
    }
    EXPECT_EQ(round, kRounds);
    // Reads by key see the last committed content too.
    ASSERT_EQ(t.position_key(seq(15)), FHS_OK);
    ASSERT_TRUE(t.positioned());
    ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
    EXPECT_EQ(t.get(7, 20), note("changed 1"));
    t.block.mode |= FH_EXACT;
    ASSERT_EQ(t.position_key(seq(17)), FHS_OK);
    EXPECT_FALSE(t.positioned());
    ASSERT_EQ(t.position_key(seq(1000 + kRounds - 1)), FHS_OK);
    ASSERT_TRUE(t.positioned());
    ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
    EXPECT_EQ(t.get(7, 20), note("appended " + std::to_string(kRounds - 1)));
    ASSERT_EQ(t.close(), FHS_OK);
  }
  close(to_child[1]);
  int wstatus = 0;
  ASSERT_EQ(waitpid(child, &wstatus, 0), child);
  EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
  close(to_parent[0]);

  std::vector<std::string> expected;
  for (int n = 0; n < kRecords; n++) {
    if (n % 10 == 7) continue;
    std::string text = n % 10 == 5 ? "changed " + std::to_string(n / 10) : "v0";
    expected.push_back(seq(n) + "=" + note(text));
  }
  for (int r = 0; r < kRounds; r++) expected.push_back(seq(1000 + r) + "=" + note("appended " + std::to_string(r)));
  EXPECT_EQ(walked, expected);
}

TEST_F(MappedReadTest, SecondHandleInTheProcessSeesEveryWriteAtOnce) {
  fill(20);
  EngineSession session;
  Table writer, reader;
  ASSERT_EQ(writer.open(dat_), FHS_OK);
  ASSERT_EQ(reader.open(dat_), FHS_OK);
  writer.block.mode |= FH_STAY;
  for (int round = 1; round <= 3; round++) {
    std::string text = "round " + std::to_string(round);
    ASSERT_EQ(store(writer, 5, text), FHS_OK);
    ASSERT_EQ(reader.position_key(seq(5)), FHS_OK);
    ASSERT_TRUE(reader.positioned());
    ASSERT_EQ(reader.op(FHOP_READ), FHS_OK);
    EXPECT_EQ(reader.get(7, 20), note(text));
    // In physical order too: record 5 is the sixth slot.
    ASSERT_EQ(reader.setkey(0), FHS_OK);
    ASSERT_EQ(reader.position_number(5), FHS_OK);
    ASSERT_EQ(reader.op(FHOP_READ), FHS_OK);
    EXPECT_EQ(reader.get(1, 6), seq(5));
    EXPECT_EQ(reader.get(7, 20), note(text));
    ASSERT_EQ(reader.setkey(1), FHS_OK);
  }
  ASSERT_EQ(reader.close(), FHS_OK);
  ASSERT_EQ(writer.close(), FHS_OK);
}

// Long records, so that a few thousand of them outgrow the room a mapping
// keeps beyond the end of the file.
const char kLong[] =
    "length 1000\n"
    "item SEQ C 0 6\n"
    "item BODY C 6 992\n"
    "key SEQ\n";

TEST_F(MappedReadTest, FileGrowingPastTheMappedSizeIsReadWhole) {
  write_fid(scratch_.path("L.fid"), kLong);
  std::string dat = scratch_.path("L.dat");
  for (const char *mode : {"SINGLE", "MSNET"}) {
    SCOPED_TRACE(mode);
    EngineSession session(mode);
    Table t;
    ASSERT_EQ(t.make(dat), FHS_OK);
    t.block.mode |= FH_STAY;
    auto put = [&](int n) {
      t.clear();
      t.put(1, seq(n));
      t.put(7, std::string(992, static_cast<char>('a' + n % 26)));
      return t.op(FHOP_WRITE);
    };
    auto check = [&](int n) {
      ASSERT_EQ(t.position_key(seq(n)), FHS_OK);
      ASSERT_TRUE(t.positioned()) << n;
      ASSERT_EQ(t.op(FHOP_READ), FHS_OK) << n;
      EXPECT_EQ(t.get(1, 6), seq(n));
      EXPECT_EQ(t.get(7, 992), std::string(992, static_cast<char>('a' + n % 26))) << n;
    };
    ASSERT_EQ(put(0), FHS_OK);
    check(0);
    constexpr int kMore = 6000;
    for (int n = 1; n <= kMore; n++) {
      ASSERT_EQ(put(n), FHS_OK);
      if (n % 1500 == 0) check(n);
    }
    check(kMore);
    check(kMore / 2);
    ASSERT_EQ(t.close(), FHS_OK);
  }
}

// The first bytes of the file as another program reading it would find
// them.
std::string file_head(const std::string &path, size_t n) {
  std::string head(n, '\0');
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ssize_t got = fd >= 0 ? pread(fd, head.data(), n, 0) : -1;
  if (fd >= 0) ::close(fd);
  head.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return head;
}

std::string whole_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(MappedReadTest, SharedWritesPutTheCountOnFileAtOnceAndAsPwriteWould) {
  std::string files[2];
  for (bool mapped : {true, false}) {
    SCOPED_TRACE(mapped ? "mapped" : "pread and pwrite");
    corvex::mapping_enable(mapped);
    {
      EngineSession session("MSNET");
      Table t;
      ASSERT_EQ(t.make(dat_), FHS_OK);
      t.block.mode |= FH_STAY;
      for (int n = 0; n < 40; n++) {
        ASSERT_EQ(store(t, n, "v" + std::to_string(n)), FHS_OK);
        char count[16];
        snprintf(count, sizeof count, " %08X", n + 2);
        ASSERT_EQ(file_head(dat_, 9), count) << "after record " << n;
      }
      // Deletes and rewrites in place leave the count as it is.
      t.clear();
      t.put(1, seq(7));
      ASSERT_EQ(t.op(FHOP_DELETE), FHS_OK);
      ASSERT_EQ(store(t, 3, "again"), FHS_OK);
      EXPECT_EQ(file_head(dat_, 9), " 00000029");
      ASSERT_EQ(t.close(), FHS_OK);
    }
    files[mapped ? 0 : 1] = whole_file(dat_);
  }
  corvex::mapping_enable(true);
  EXPECT_EQ(files[0], files[1]);
}

TEST_F(MappedReadTest, MappedWriteRefusesBytesTheFileDoesNotHold) {
  fill(3);
  EngineSession session;
  Table t;
  ASSERT_EQ(t.open(dat_), FHS_OK);
  const std::string before = whole_file(dat_);
  const uint64_t size = before.size();
  ASSERT_EQ(t.position_key(seq(1)), FHS_OK);
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  EXPECT_FALSE(corvex::mapped_write(&t.block, corvex::MAPPED_DATA, size - 2, "XXXX", 4)) << "past the end";
  EXPECT_EQ(whole_file(dat_), before);
  // Another program cuts the file under the mapping: the write is refused
  // and the file keeps what the cut left.
  ASSERT_EQ(truncate(dat_.c_str(), 0), 0);
  EXPECT_FALSE(corvex::mapped_write(&t.block, corvex::MAPPED_DATA, 0, " 0000", 5));
  EXPECT_EQ(whole_file(dat_), "");
}

TEST_F(MappedReadTest, ReadOnlyHandleIsNeverWrittenThroughItsMapping) {
  fill(3);
  EngineSession session;
  Table t;
  ASSERT_EQ(t.open(dat_, FH_READONLY), FHS_OK);
  ASSERT_EQ(t.position_key(seq(1)), FHS_OK);
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  const std::string before = whole_file(dat_);
  EXPECT_FALSE(corvex::mapped_write(&t.block, corvex::MAPPED_DATA, 0, "X", 1));
  EXPECT_EQ(whole_file(dat_), before);
}

}  // namespace
