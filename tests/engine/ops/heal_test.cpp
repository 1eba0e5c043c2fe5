// What the open mends and what it leaves alone: records past the header's
// count, the older copy of a moved record, a torn last record, an index a
// single-user holder left pending; damage in the middle is reported and
// kept byte for byte; a file cut short under a mapped reader never ends in
// SIGBUS. Beside them RECOVER's repair of the count and of duplicates, and
// maintenance refusing a single-user holder.
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "engine/maintenance/filemaint.h"
#include "tests/support/data_fixture.h"
#include "tests/engine/recovery.h"
#include "tests/support/scratch.h"

namespace {

const Layout kHashed = {"hashed", "length 34\nhashed 281\nitem ID C 0 6\nitem VALUE C 6 8\nitem NOTE C 14 20\nkey ID\n",
                        1, 7, 15};

class HealTest : public ::testing::Test {
 protected:
  std::string path(const std::string &name) const { return dir_.path(name); }
  std::string dat() const { return path("T.dat"); }
  std::string index_name() const { return path(hashed() ? "T.hsh" : "T.idx"); }
  bool hashed() const { return layout_ == &kHashed; }

  std::string bytes(const std::string &name) const {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void put_bytes(const std::string &name, const std::string &data) const {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << data;
  }
  void poke(long at, const std::string &text) const {
    std::string data = bytes(dat());
    data.replace(static_cast<size_t>(at), text.size(), text);
    put_bytes(dat(), data);
  }

  int write(Table &t, int id, const std::string &value, int note = 3) {
    t.clear();
    t.put(layout_->id_at, field(id, 6));
    t.put(layout_->value_at, value);
    t.put(layout_->note_at, std::string(static_cast<size_t>(note), 'n'));
    return t.op(FHOP_WRITE);
  }
  // The value of record `id` found by key 0, or "" when there is none.
  std::string find(Table &t, int id) {
    if (t.setkey(1) != FHS_OK) return "?";
    t.block.mode |= FH_EXACT;
    t.position_key(field(id, 6));
    bool found = t.positioned() && t.op(FHOP_READ) == FHS_OK;
    t.block.mode &= static_cast<uint16_t>(~FH_EXACT);
    return found ? t.get(layout_->value_at, 8) : "";
  }

  // Makes the table with `n` records, closed.
  void make(const Layout &l, int n) {
    layout_ = &l;
    write_fid(path("T.fid"), l.description);
    Table t;
    ASSERT_EQ(t.make(dat()), FHS_OK);
    for (int i = 0; i < n; i++) ASSERT_EQ(write(t, i, field(i * 10, 8), 1 + i % 9), FHS_OK);
    ASSERT_EQ(t.close(), FHS_OK);
  }

  // Runs `change` on the open table and then puts back the index file and
  // the data header as they were before it: what a kill leaves when the
  // record reached the file and nothing after it did.
  template <typename Change>
  void lose_all_but_the_records(Change change) {
    std::string index = bytes(index_name());
    std::string header = bytes(dat()).substr(0, 9);
    {
      Table t;
      ASSERT_EQ(t.open(dat()), FHS_OK);
      change(t);
      ASSERT_EQ(t.close(), FHS_OK);
    }
    put_bytes(index_name(), index);
    poke(0, header);
  }

  int count_on_file() const { return std::stoi(bytes(dat()).substr(1, 8), nullptr, 16); }

  int verify() { return filemaint(FM_VERIFY, dat().c_str(), "", "", "", 0, nullptr); }

  EngineSession session_;
  Scratch dir_;
  const Layout *layout_ = &kFixed;
};

TEST_F(HealTest, RecordsPastTheCountGetTheirKeysAtOpen) {
  for (const Layout *l : {&kFixed, &kVarlen, &kHashed}) {
    SCOPED_TRACE(l->name);
    make(*l, 20);
    lose_all_but_the_records([&](Table &t) {
      ASSERT_EQ(write(t, 20, "00000200"), FHS_OK);
      ASSERT_EQ(write(t, 21, "00000210"), FHS_OK);
    });
    ASSERT_EQ(count_on_file(), 21);
    Table t;
    ASSERT_EQ(t.open(dat()), FHS_OK);
    EXPECT_EQ(find(t, 20), "00000200");
    EXPECT_EQ(find(t, 21), "00000210");
    EXPECT_EQ(find(t, 3), "00000030");
    EXPECT_EQ(count_on_file(), 23);
    ASSERT_EQ(t.close(), FHS_OK);
    EXPECT_EQ(verify(), 0);
  }
}

TEST_F(HealTest, TheOlderCopyOfAMovedRecordGoes) {
  make(kVarlen, 20);
  std::string before = bytes(dat());
  lose_all_but_the_records([&](Table &t) { ASSERT_EQ(write(t, 4, "00000444", 18), FHS_OK); });
  // The kill came before the older copy was marked deleted.
  std::string after = bytes(dat());
  size_t old_at = after.find("D0");
  ASSERT_NE(old_at, std::string::npos);
  poke(static_cast<long>(old_at), " ");
  Table t;
  ASSERT_EQ(t.open(dat()), FHS_OK);
  EXPECT_EQ(find(t, 4), "00000444");
  EXPECT_EQ(bytes(dat())[old_at], 'D');
  ASSERT_EQ(t.close(), FHS_OK);
  EXPECT_EQ(verify(), 0);
}

TEST_F(HealTest, ATornLastRecordIsCutAndNothingElse) {
  for (const Layout *l : {&kFixed, &kVarlen, &kHashed}) {
    SCOPED_TRACE(l->name);
    make(*l, 10);
    size_t reclen = 0;
    {
      Table t;
      ASSERT_EQ(t.open(dat()), FHS_OK);
      reclen = t.block.reclen;
      ASSERT_EQ(t.close(), FHS_OK);
    }
    std::string whole = bytes(dat());
    // The first half of a record: what a write cut short leaves at the end.
    std::string torn = l == &kVarlen ? " 0020000" : whole.substr(whole.size() - reclen, reclen / 2);
    put_bytes(dat(), whole + torn);
    Table t;
    ASSERT_EQ(t.open(dat()), FHS_OK);
    EXPECT_EQ(bytes(dat()), whole);
    ASSERT_EQ(write(t, 10, "00000100"), FHS_OK);
    EXPECT_EQ(find(t, 10), "00000100");
    ASSERT_EQ(t.close(), FHS_OK);
    EXPECT_EQ(verify(), 0);
  }
}

TEST_F(HealTest, DamageInTheMiddleIsReportedAndKept) {
  make(kVarlen, 30);
  std::string data = bytes(dat());
  size_t fifth = data.find('\n') + 1;
  for (int i = 0; i < 5; i++) fifth += static_cast<size_t>(std::stoi(data.substr(fifth + 1, 4), nullptr, 16));
  poke(static_cast<long>(fifth + 1), "FFFF");
  std::string damaged = bytes(dat());
  Table t;
  EXPECT_EQ(t.open(dat()), FHS_RECOVER);
  EXPECT_EQ(bytes(dat()), damaged) << "the open changed a damaged file";
  // A walk by key reads up to the damaged record, which answers 3.
  ASSERT_EQ(t.setkey(2), FHS_OK);
  ASSERT_EQ(t.position_key(""), FHS_OK);
  int read = 0;
  int status = FHS_OK;
  while (t.positioned() && read < 40 && (status = t.op(FHOP_READ)) == FHS_OK) read++;
  EXPECT_LT(read, 30);
  EXPECT_EQ(status, FHS_READDATA);
  EXPECT_EQ(find(t, 20), "00000200");
  t.close();
  EXPECT_EQ(bytes(dat()), damaged);
}

TEST_F(HealTest, AFileCutShortUnderAMappedReaderNeverFaults) {
  make(kFixed, 400);
  Table t;
  ASSERT_EQ(t.open(dat()), FHS_OK);
  ASSERT_EQ(t.setkey(0), FHS_OK);
  ASSERT_EQ(t.position_number(350), FHS_OK);
  ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
  // Another program cuts the file; this handle still counts 400 records.
  ASSERT_EQ(truncate(dat().c_str(), 1000), 0);
  ASSERT_EQ(t.position_number(300), FHS_OK);
  t.op(FHOP_READ);
  EXPECT_EQ(t.block.recbuf[0], '\x1A');
}

TEST_F(HealTest, ASingleUserIndexLeftPendingIsBuiltAgainWhenAlone) {
  make(kFixed, 20);
  pid_t pid = fork();
  if (pid == 0) {
    EngineSession session;
    Table t;
    if (t.open(dat()) != FHS_OK) _exit(2);
    for (int i = 20; i < 300; i++) {
      if (write(t, i, field(i * 10, 8)) != FHS_OK) _exit(3);
    }
    raise(SIGKILL);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  {
    // Read-only, or beside another holder, the open cannot build it: it
    // says so.
    Table holder;
    ASSERT_EQ(holder.open(dat(), FH_READONLY), FHS_RECOVER);
    Table second;
    EXPECT_EQ(second.open(dat()), FHS_RECOVER);
  }
  Table t;
  ASSERT_EQ(t.open(dat()), FHS_OK);
  for (int i : {0, 19, 20, 150, 299}) EXPECT_EQ(find(t, i), field(i * 10, 8)) << i;
  ASSERT_EQ(t.close(), FHS_OK);
  EXPECT_EQ(verify(), 0);
}

TEST_F(HealTest, MaintenanceRefusesASingleUserHolder) {
  make(kFixed, 20);
  {
    Table first;
    Table second;
    ASSERT_EQ(first.open(dat()), FHS_OK);
    ASSERT_EQ(second.open(dat()), FHS_OK);  // single-user handles admit each other
    EXPECT_NE(filemaint(FM_RECOVER, dat().c_str(), "", "", "", 0, nullptr), 0);
    EXPECT_NE(filemaint(FM_PACK, dat().c_str(), "", "", "", 0, nullptr), 0);
    ASSERT_EQ(write(first, 20, "00000200"), FHS_OK);
  }
  EXPECT_EQ(filemaint(FM_RECOVER, dat().c_str(), "", "", "", 0, nullptr), 0);
  Table t;
  ASSERT_EQ(t.open(dat()), FHS_OK);
  EXPECT_EQ(find(t, 20), "00000200");
}

TEST_F(HealTest, RecoverFixesTheCountAndDropsOlderCopies) {
  make(kVarlen, 20);
  lose_all_but_the_records([&](Table &t) {
    ASSERT_EQ(write(t, 20, "00000200"), FHS_OK);
    ASSERT_EQ(write(t, 4, "00000444", 18), FHS_OK);
  });
  std::string data = bytes(dat());
  size_t old_at = data.find("D0");
  ASSERT_NE(old_at, std::string::npos);
  poke(static_cast<long>(old_at), " ");
  std::string log = path("recover.log");
  ASSERT_EQ(filemaint(FM_RECOVER, dat().c_str(), "", "", "", 0, log.c_str()), 0);
  EXPECT_EQ(count_on_file(), 23);
  EXPECT_EQ(bytes(dat())[old_at], 'D');
  EXPECT_NE(bytes(log).find("21 active data records, 1 deleted records"), std::string::npos) << bytes(log);
  EXPECT_EQ(verify(), 0);
  Table t;
  ASSERT_EQ(t.open(dat()), FHS_OK);
  EXPECT_EQ(find(t, 4), "00000444");
}

}  // namespace
