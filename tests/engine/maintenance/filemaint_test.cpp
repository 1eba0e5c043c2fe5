// File maintenance through the recording window: the texts, percentages and
// log of each action, the counts, and what is left on disk after a run.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "tests/support/maint_fixture.h"
#include "util/filelock.h"

using corvex::kFmAction;
using corvex::kFmComplete;
using corvex::kFmCurrent;
using corvex::kFmFileType;
using corvex::kFmMessage;
using corvex::kFmStatus;

namespace {

std::vector<std::string> read_lines(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

class FileMaintTest : public MaintTest {
 protected:
  // Temporary files left in the folder (their names hold "~").
  int temporaries() const {
    int found = 0;
    for (const auto &entry : std::filesystem::directory_iterator(path("")))
      if (entry.path().filename().string().find('~') != std::string::npos) found++;
    return found;
  }
  void overwrite(const std::string &file, size_t at, const std::string &bytes) {
    int fd = open(path(file).c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)), static_cast<ssize_t>(bytes.size()));
    close(fd);
  }

  // Writes record i after saving the index, then puts the saved index back:
  // the data file holds a record the index does not know.
  void add_unindexed(const std::string &name, int i) {
    std::filesystem::copy_file(path(name + ".idx"), path("saved.idx"));
    fhrequest &block = existing(name);
    ASSERT_EQ(_rfhopen(&block), 0);
    write_record(&block, i, "late");
    ASSERT_EQ(_rfhclose(&block), 0);
    std::filesystem::copy_file(path("saved.idx"), path(name + ".idx"),
                               std::filesystem::copy_options::overwrite_existing);
  }

  std::string lookup(const std::string &name, int i) {
    fhrequest &block = existing(name);
    if (_rfhopen(&block) != 0) return "<open " + std::to_string(block.status) + ">";
    set_key(&block, key(i), 10);
    std::string val = "<none>";
    if (_rfhposn(&block, 1) == 0 && (block.state & ST_POSITIONED) && _rfhread(&block, 1) == 0) {
      val = item(&block, "VAL");
      val.erase(val.find_last_not_of(' ') + 1);
    }
    _rfhclose(&block);
    return val;
  }
};

TEST_F(FileMaintTest, VerifyOfASoundFileShowsEveryStepAndTheCounts) {
  table("T", kKeyedDesc, 10, {2, 5, 7});
  ASSERT_EQ(run(FM_VERIFY, "T"), 0);
  EXPECT_EQ(window_.title, "Meridel File Maintenance v6.1");
  EXPECT_EQ(line(kFmAction), "Verifying file: " + path("T.dat"));
  EXPECT_EQ(line(kFmFileType), "File type: Indexed on 2 keys.");
  EXPECT_EQ(window_.history(kFmStatus),
            (std::vector<std::string>{"Status: Loading FID file...", "Status: Opening data file...",
                                      "Status: Reading data file header...", "Status: Opening index file...",
                                      "Status: Reading index file header...",
                                      "Status: Record/Key verification for key #1 in progress...",
                                      "Status: Record/Key verification for key #2 in progress...",
                                      "Status: Key/Record verification for key #1 in progress...",
                                      "Status: Key/Record verification for key #2 in progress...",
                                      "Status: Done. 7 active data records, 3 deleted records."}));
  EXPECT_EQ(line(kFmMessage), "Message: VERIFY completed successfuly.");
  EXPECT_EQ(line(kFmCurrent), "");
  // The percentage only rises, each value once, through the middle of the
  // passes to 100.
  std::vector<std::string> complete = window_.history(kFmComplete);
  ASSERT_FALSE(complete.empty());
  int last = -1;
  bool saw_half = false;
  for (const std::string &text : complete) {
    int value = atoi(text.c_str() + strlen("Complete: "));
    EXPECT_GT(value, last) << text;
    saw_half |= value == 50;
    last = value;
  }
  EXPECT_TRUE(saw_half);
  EXPECT_EQ(complete.back(), "Complete: 100%");
  EXPECT_EQ(window_.opens, 1);
  EXPECT_EQ(window_.closes, 1);
}

TEST_F(FileMaintTest, VerifyFindsARecordTheIndexLacksAndLogsWithIndents) {
  table("T", kKeyedDesc, 4);
  add_unindexed("T", 9);
  std::string log = path("maint.log");
  EXPECT_EQ(run(FM_VERIFY, "T", 0, log), 23);
  EXPECT_EQ(line(kFmMessage), "Message: Error reading index file.");
  std::vector<std::string> lines = read_lines(log);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Verifying file: " + path("T.dat") + "\r");
  EXPECT_EQ(lines[1], "  Error: Bad/No index entry for this key. Solution: RECOVER.\r");
  EXPECT_EQ(lines[2], "    DatPos=160  IdxPos=0  Key(1)=K009\r");
  EXPECT_EQ(lines[3], "  Error reading index file.\r");

  // Going on, VERIFY reaches the end and still reports what it found; the
  // counts of the second key are off by the one record too.
  window_.changes.clear();
  EXPECT_EQ(run(FM_VERIFY, "T", FM_KEEPGOING), 23);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 5 active data records, 0 deleted records.");
  EXPECT_EQ(line(kFmMessage), "Message: Error reading index file.");
  std::vector<std::string> messages = window_.history(kFmMessage);
  EXPECT_EQ(std::count(messages.begin(), messages.end(),
                       "Message: Key entries/data file header mismatch. Solution: PACK."), 2);

  // RECOVER rebuilds the index from the data file; VERIFY is then clean and
  // the late record is found by its key.
  EXPECT_EQ(run(FM_RECOVER, "T"), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 5 active data records, 0 deleted records.");
  EXPECT_EQ(line(kFmMessage), "Message: RECOVER completed successfuly.");
  EXPECT_EQ(temporaries(), 0);
  EXPECT_EQ(run(FM_VERIFY, "T"), 0);
  EXPECT_EQ(lookup("T", 9), "late");
}

TEST_F(FileMaintTest, VerifyChecksTheHeaderCountAndSkipsWhatTheFlagsSay) {
  table("T", kKeyedDesc, 5);
  overwrite("T.dat", 1, "00000009");
  EXPECT_EQ(run(FM_VERIFY, "T"), 3);
  EXPECT_EQ(window_.history(kFmMessage).front(),
            "Message: Data records/data file header mismatch. Solution: PACK.");
  // Without the record pass there are no counts to compare.
  EXPECT_EQ(run(FM_VERIFY, "T", FM_SKIPRECORDS | FM_SKIPINDEX), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done.");
  // PACK writes the right count.
  EXPECT_EQ(run(FM_PACK, "T"), 0);
  EXPECT_EQ(run(FM_VERIFY, "T"), 0);
}

TEST_F(FileMaintTest, RandomFilesGetOnePassAndNeedNoRepair) {
  table("R", "length 10\nitem A C 0 10\n", 0);
  {
    fhrequest &block = new_block();
    describe(&block, "R", "length 10\nitem A C 0 10\n");
    ASSERT_EQ(_rfhopen(&block), 0);
    fill(&block, {{"A", "x"}});
    ASSERT_EQ(_rfhwrite(&block, 0), 0);
    ASSERT_EQ(_rfhclose(&block), 0);
  }
  EXPECT_EQ(run(FM_VERIFY, "R"), 0);
  EXPECT_EQ(line(kFmFileType), "File type: Random.");
  std::vector<std::string> status = window_.history(kFmStatus);
  EXPECT_EQ(std::count(status.begin(), status.end(), "Status: Random record verification in progress..."), 1);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 1 active data records, 0 deleted records.");
  EXPECT_EQ(run(FM_RECOVER, "R"), 0);
  EXPECT_EQ(line(kFmMessage), "Message: Error: No need to Recover RANDOM files.");
  EXPECT_EQ(run(FM_PACK, "R"), 0);
  EXPECT_EQ(line(kFmMessage), "Message: Error: No need to Pack RANDOM files.");
  EXPECT_EQ(temporaries(), 0);
}

TEST_F(FileMaintTest, PackOfTenRecordsWithThreeDeleted) {
  table("T", kKeyedDesc, 10, {1, 4, 8});
  ASSERT_EQ(run(FM_PACK, "T"), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 7 active data records. 3 deleted records removed.");
  EXPECT_EQ(line(kFmMessage), "Message: PACK completed successfuly.");
  EXPECT_EQ(window_.history(kFmStatus)[1], "Status: Opening data file...");
  std::string data = contents("T.dat");
  EXPECT_EQ(data.substr(1, 8), "00000008");
  EXPECT_EQ(data.size(), 8u * 32u);
  EXPECT_EQ(temporaries(), 0);
  EXPECT_EQ(run(FM_VERIFY, "T"), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 7 active data records, 0 deleted records.");
  EXPECT_EQ(lookup("T", 9), "V9");
  EXPECT_EQ(lookup("T", 4), "<none>");
}

// The stored records of a fixed-length data file after its header, one a
// string, in file order.
std::vector<std::string> stored_records(const std::string &data, size_t reclen) {
  std::vector<std::string> records;
  for (size_t at = reclen; at + reclen <= data.size(); at += reclen) records.push_back(data.substr(at, reclen));
  return records;
}

TEST_F(FileMaintTest, PackByKeyWritesTheRecordsInKeyOrderAndKeepsEveryOne) {
  // Two twins written in a scrambled order, some records deleted and one
  // rewritten: the plain pack keeps the file order, the pack by key sorts.
  for (const char *name : {"P", "K"}) {
    fhrequest &block = new_block();
    make(&block, name, kKeyedDesc);
    for (int i : {7, 2, 11, 0, 5, 9, 1, 10, 3, 8, 6, 4}) write_record(&block, i, "V" + std::to_string(i));
    write_record(&block, 3, "again");
    for (int i : {9, 0}) {
      fill(&block, {{"KEY", key(i).c_str()}});
      ASSERT_EQ(_rfhdelete(&block), 0);
    }
    ASSERT_EQ(_rfhclose(&block), 0);
  }
  ASSERT_EQ(run(FM_PACK, "P"), 0);
  ASSERT_EQ(run(FM_PACK, "K", FM_BYKEY), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 10 active data records. 2 deleted records removed.");
  EXPECT_EQ(line(kFmComplete), "Complete: 100%");
  std::vector<std::string> status = window_.history(kFmStatus);
  EXPECT_NE(std::find(status.begin(), status.end(), "Status: Writing the records in key order..."), status.end());
  EXPECT_EQ(temporaries(), 0);

  std::vector<std::string> plain = stored_records(contents("P.dat"), 32);
  std::vector<std::string> sorted = stored_records(contents("K.dat"), 32);
  EXPECT_EQ(contents("K.dat").substr(0, 32), contents("P.dat").substr(0, 32));  // the same header
  ASSERT_EQ(sorted.size(), 10u);
  EXPECT_FALSE(std::is_sorted(plain.begin(), plain.end()));
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
  std::sort(plain.begin(), plain.end());
  EXPECT_EQ(sorted, plain);
  EXPECT_EQ(run(FM_VERIFY, "K"), 0);
  EXPECT_EQ(lookup("K", 3), "again");
  EXPECT_EQ(lookup("K", 11), "V11");
  EXPECT_EQ(lookup("K", 9), "<none>");

  // The second key is rebuilt too: walking it meets every record.
  fhrequest &block = existing("K");
  ASSERT_EQ(_rfhopen(&block), 0);
  ASSERT_EQ(_rfhsetkey(&block, 2), 0);
  set_key(&block, "", 10);
  ASSERT_EQ(_rfhposn(&block, 0), 0);
  int walked = 0;
  while ((block.state & ST_POSITIONED) && _rfhread(&block, 0) == 0) walked++;
  EXPECT_EQ(walked, 10);
}

TEST_F(FileMaintTest, PackByKeyOfAnEmptyOrAHashedFile) {
  table("E", kKeyedDesc, 3, {0, 1, 2});
  ASSERT_EQ(run(FM_PACK, "E", FM_BYKEY), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 0 active data records. 3 deleted records removed.");
  EXPECT_EQ(contents("E.dat").size(), 32u);
  EXPECT_EQ(run(FM_VERIFY, "E"), 0);
  const char desc[] = "length 20\nhashed 281\nitem KEY C 0 10\nitem VAL C 10 10\nkey KEY\n";
  fhrequest &block = new_block();
  make(&block, "H", desc);
  for (int i : {5, 1, 4, 2, 3}) write_record(&block, i, "V" + std::to_string(i));
  ASSERT_EQ(_rfhclose(&block), 0);
  ASSERT_EQ(run(FM_PACK, "H", FM_BYKEY), 0);
  std::vector<std::string> records = stored_records(contents("H.dat"), 22);
  ASSERT_EQ(records.size(), 5u);
  EXPECT_TRUE(std::is_sorted(records.begin(), records.end()));
  EXPECT_EQ(run(FM_VERIFY, "H"), 0);
  EXPECT_EQ(lookup("H", 4), "V4");
}

TEST_F(FileMaintTest, PackByKeyStoppedInEitherPassLeavesTheOldFiles) {
  table("A", kKeyedDesc, 200, {3});
  std::string data = contents("A.dat");
  std::string index = contents("A.idx");
  // A full run over a twin shows where the second pass starts.
  table("B", kKeyedDesc, 200, {3});
  ASSERT_EQ(run(FM_PACK, "B", FM_BYKEY), 0);
  size_t second = 0;
  while (second < window_.changes.size() && window_.changes[second].text != "Status: Writing the records in key order...") {
    second++;
  }
  ASSERT_LT(second, window_.changes.size());
  for (size_t stop : {second - 50, second + 50}) {
    window_.stop_after_changes = static_cast<int>(stop);
    EXPECT_EQ(run(FM_PACK, "A", FM_BYKEY), -1) << stop;
    EXPECT_EQ(line(kFmMessage), "Message: Stopped.");
    EXPECT_EQ(contents("A.dat"), data);
    EXPECT_EQ(contents("A.idx"), index);
    EXPECT_EQ(temporaries(), 0);
  }
}

TEST_F(FileMaintTest, PackStoppedHalfWayLeavesTheOldFilesAndNoTemporaries) {
  table("A", kKeyedDesc, 200, {3});
  table("B", kKeyedDesc, 200, {3});
  // A full run over the twin shows how many changes come before the walk.
  ASSERT_EQ(run(FM_PACK, "B"), 0);
  size_t walk_starts = 0;
  while (walk_starts < window_.changes.size() &&
         window_.changes[walk_starts].text != "Status: File PACK and RECOVER in progress...") {
    walk_starts++;
  }
  ASSERT_LT(walk_starts, window_.changes.size());
  std::string data = contents("A.dat");
  std::string index = contents("A.idx");
  window_.stop_after_changes = static_cast<int>(walk_starts) + 150;
  EXPECT_EQ(run(FM_PACK, "A"), -1);
  EXPECT_EQ(line(kFmMessage), "Message: Stopped.");
  EXPECT_EQ(line(kFmCurrent), "");
  EXPECT_NE(line(kFmComplete), "Complete: 100%");
  EXPECT_EQ(contents("A.dat"), data);
  EXPECT_EQ(contents("A.idx"), index);
  EXPECT_EQ(temporaries(), 0);
}

TEST_F(FileMaintTest, SameNameAndSecondRunAreRefusedAtOnce) {
  table("T", kKeyedDesc, 1);
  EXPECT_EQ(filemaint(FM_VERIFY, path("T.dat").c_str(), "", "/elsewhere/t.DAT", "", 0, nullptr), 1);
  EXPECT_EQ(window_.opens, 0);

  // A window whose line changes start another run, as a program's event
  // handler could while the first run lets events through.
  struct Reentering : corvex::testing::RecordingProgress {
    std::string data;
    int inner = 0;
    void set_line(int l, const std::string &text) override {
      RecordingProgress::set_line(l, text);
      if (inner == 0) inner = filemaint(FM_VERIFY, data.c_str(), "", "", "", 0, nullptr);
    }
  } reentering;
  reentering.data = path("T.dat");
  corvex_set_progress_window(&reentering);
  EXPECT_EQ(run(FM_VERIFY, "T"), 0);
  corvex_set_progress_window(&window_);
  EXPECT_EQ(reentering.inner, -2);
}

TEST_F(FileMaintTest, RecoverOfAHashedFilePacksIt) {
  const char desc[] = "length 20\nhashed 281\nitem KEY C 0 10\nitem VAL C 10 10\nkey KEY\n";
  table("H", desc, 6, {0, 2});
  ASSERT_EQ(run(FM_VERIFY, "H"), 0);
  EXPECT_EQ(line(kFmFileType), "File type: Hashed with 281 table entries.");
  EXPECT_EQ(line(kFmStatus), "Status: Done. 4 active data records, 2 deleted records.");
  ASSERT_EQ(run(FM_RECOVER, "H", 0, ""), 0);
  EXPECT_EQ(line(kFmAction), "Recovering file: " + path("H.dat"));
  std::vector<std::string> status = window_.history(kFmStatus);
  EXPECT_NE(std::find(status.begin(), status.end(), "Status: File PACK and RECOVER in progress..."), status.end());
  EXPECT_EQ(line(kFmStatus), "Status: Done. 4 active data records. 2 deleted records removed.");
  EXPECT_EQ(run(FM_VERIFY, "H"), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 4 active data records, 0 deleted records.");
}

TEST_F(FileMaintTest, PackResynchronisesVariableLengthRecordsAndAsksBeforeCutting) {
  const char desc[] = "length 40\nvarlen\nitem KEY C 4 10\nitem VAL C 14 26\nkey KEY\n";
  table("V", desc, 6);
  std::string data = contents("V.dat");
  // Records of " 0013K000\tV0\n" form follow the 42-byte header; damage the
  // length digits of the second record and the line feed of the fourth.
  size_t second = data.find("K001") - 5;
  size_t fourth = data.find("K003") - 5;
  overwrite("V.dat", second + 1, "zz");
  size_t len4 = std::stoul(data.substr(fourth + 1, 4), nullptr, 16);
  overwrite("V.dat", fourth + len4 - 1, "x");
  std::string damaged = contents("V.dat");
  EXPECT_NE(run(FM_VERIFY, "V"), 0);

  // Cancel on the question: nothing changes.
  EXPECT_EQ(run(FM_PACK, "V"), 3);
  ASSERT_EQ(window_.questions.size(), 1u);
  EXPECT_EQ(window_.questions[0].caption, "FileMaint: Error");
  EXPECT_EQ(window_.questions[0].text, "Data/FID record length mismatch. Do you want to fix it?");
  EXPECT_EQ(contents("V.dat"), damaged);
  EXPECT_EQ(temporaries(), 0);

  // OK: the record with the broken length is skipped, the one without its
  // line feed is cut and kept, and the walk finds the rest.
  window_.answers = {true};
  ASSERT_EQ(run(FM_PACK, "V"), 0);
  EXPECT_EQ(window_.questions.size(), 2u);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 5 active data records. 0 deleted records removed.");
  EXPECT_EQ(run(FM_VERIFY, "V"), 0);
  std::string plain = contents("V.dat");

  // In key order the cut record is read and cut again in the second pass:
  // the same records come out (the damaged file wrote them in key order).
  std::filesystem::copy_file(path("V.fid"), path("W.fid"));
  std::ofstream(path("W.dat"), std::ios::binary) << damaged;
  window_.answers = {true};
  ASSERT_EQ(run(FM_PACK, "W", FM_BYKEY), 0);
  EXPECT_EQ(window_.questions.size(), 3u);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 5 active data records. 0 deleted records removed.");
  EXPECT_EQ(contents("W.dat"), plain);
  EXPECT_EQ(run(FM_VERIFY, "W"), 0);
}

TEST_F(FileMaintTest, PackMovesNonPrintableRecordsToTheStripFile) {
  table("T", kKeyedDesc, 3);
  std::string data = contents("T.dat");
  overwrite("T.dat", data.find("V1") + 1, std::string(1, '\x01'));
  ASSERT_EQ(run(FM_PACK, "T", FM_STRIP), 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 3 active data records. 0 deleted records removed.");
  std::string stripped = contents("T.nas");
  EXPECT_EQ(stripped.size(), 32u);
  EXPECT_EQ(stripped.substr(1, 4), "K001");
  EXPECT_EQ(lookup("T", 1), "<none>");
  EXPECT_EQ(lookup("T", 2), "V2");
}

TEST_F(FileMaintTest, TemporaryDirectoryHoldsTheNewFilesUntilTheyAreCopied) {
  table("T", kKeyedDesc, 4, {0});
  std::filesystem::create_directory(path("tmp"));
  _rfhsettmpdir(path("tmp").c_str());
  int packed = run(FM_PACK, "T");
  int recovered = run(FM_RECOVER, "T");
  std::vector<std::string> status = window_.history(kFmStatus);
  _rfhsettmpdir(nullptr);
  EXPECT_EQ(packed, 0);
  EXPECT_EQ(recovered, 0);
  EXPECT_NE(std::find(status.begin(), status.end(), "Status: Copying temporary file."), status.end());
  EXPECT_TRUE(std::filesystem::is_empty(path("tmp")));
  EXPECT_EQ(run(FM_VERIFY, "T"), 0);
}

TEST_F(FileMaintTest, TemporaryDirectoryOnAnotherFileSystemIsCopiedFrom) {
  Scratch shm("/dev/shm");
  if (!shm.made()) GTEST_SKIP() << "no /dev/shm";
  const char *dir = shm.dir().c_str();
  struct stat here, there;
  ASSERT_EQ(stat(path("").c_str(), &here), 0);
  ASSERT_EQ(stat(dir, &there), 0);
  if (here.st_dev == there.st_dev) {
    GTEST_SKIP() << "/dev/shm is on the scratch directory's file system";
  }
  table("T", kKeyedDesc, 6, {2});
  _rfhsettmpdir(dir);
  int packed = run(FM_PACK, "T");
  _rfhsettmpdir(nullptr);
  bool empty = std::filesystem::is_empty(dir);
  EXPECT_EQ(packed, 0);
  EXPECT_EQ(line(kFmStatus), "Status: Done. 5 active data records. 1 deleted records removed.");
  EXPECT_TRUE(empty);
  EXPECT_EQ(temporaries(), 0);
  EXPECT_EQ(run(FM_VERIFY, "T"), 0);
  EXPECT_EQ(lookup("T", 5), "V5");
}

TEST_F(FileMaintTest, VerifyInNetworkUseReportsALockedRecord) {
  table("T", kKeyedDesc, 3);
  int other = open(path("T.dat").c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_TRUE(corvex::bytelock_try(other, 2 * 32));
  EXPECT_EQ(run(FM_VERIFY, "T", FM_NETWORK | FM_KEEPGOING | FM_SKIPINDEX), 107);
  EXPECT_EQ(window_.history(kFmMessage).front(), "Message: Error: Record is locked by another program.");
  EXPECT_EQ(line(kFmStatus), "Status: Done. 3 active data records, 0 deleted records.");
  close(other);
  EXPECT_EQ(run(FM_VERIFY, "T", FM_NETWORK), 0);
}

// A writer in the shared mode adds, rewrites and deletes records while
// VERIFY checks the table six times: a look taken halfway through a change
// is never reported, so every run finds the table sound.
TEST_F(FileMaintTest, VerifyInNetworkUseBesideAWriterFindsTheTableSound) {
  table("T", kKeyedDesc, 100);
  int ready[2], stop[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(stop), 0);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    fhrequest control = {};
    char mode[] = "MSNET";
    control.keybuf = mode;
    fhrequest block = {};
    strcpy(block.datname, path("T.dat").c_str());
    if (call(&control, FHOP_NETMODE) != 0 || _rfhopen(&block) != 0) _exit(2);
    block.hdrtries = 500;
    block.rectries = 500;
    auto set = [&](const std::string &name, const std::string &value) {
      return _rfhitemset(&block, name.c_str(), 0, value.c_str()) == 0;
    };
    // VERIFY locks each record it reads: a change of that record waits.
    auto done = [&](int32_t (*op)(fhrequest *, int32_t)) {
      for (int tries = 0; tries < 500; tries++) {
        if (op(&block, 0) == 0) return true;
        if (block.status != FHS_RECLOCKED) return false;
        usleep(1000);
      }
      return false;
    };
    auto erase = [](fhrequest *b, int32_t) { return _rfhdelete(b); };
    fcntl(stop[0], F_SETFL, O_NONBLOCK);
    char byte = 0;
    bool ok = write(ready[1], "g", 1) == 1;
    for (int i = 0; ok && read(stop[0], &byte, 1) != 1; i++) {
      ok = set("KEY", key(100 + i % 300)) && set("VAL", "W" + std::to_string(i)) &&
           set("TAG", "T" + std::to_string(i % 7)) && done(_rfhwrite);
      if (ok && i % 3 == 2) ok = set("KEY", key(100 + (i - 1) % 300)) && done(erase);
    }
    _exit(ok && _rfhclose(&block) == 0 ? 0 : 3);
  }
  close(ready[1]);
  close(stop[0]);
  char go = 0;
  ASSERT_EQ(read(ready[0], &go, 1), 1);
  close(ready[0]);
  int sound = 0;
  for (int run_number = 0; run_number < 6; run_number++) sound += run(FM_VERIFY, "T", FM_NETWORK) == 0;
  ASSERT_EQ(write(stop[1], "s", 1), 1);
  close(stop[1]);
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(sound, 6);
  EXPECT_EQ(run(FM_VERIFY, "T"), 0);
}

TEST_F(FileMaintTest, RepairRefusesAFileAnotherProgramHasOpen) {
  table("T", kKeyedDesc, 2);
  int other = open(path("T.dat").c_str(), O_RDONLY);
  ASSERT_TRUE(corvex::share_acquire(other, false));
  EXPECT_EQ(run(FM_RECOVER, "T"), 1);
  EXPECT_EQ(line(kFmMessage), "Message: Error opening data file.");
  EXPECT_EQ(run(FM_PACK, "T"), 1);
  EXPECT_EQ(temporaries(), 0);
  close(other);
}

TEST_F(FileMaintTest, RepairsKeepTheModesAndNeverWriteThroughPlantedLinks) {
  table("T", kKeyedDesc, 6, {2});
  std::ofstream(path("victim")) << "keep me";
  // The fixed temporary names of earlier versions.
  for (const char *planted : {"T.ziq", "T.zdq"})
    ASSERT_EQ(symlink(path("victim").c_str(), path(planted).c_str()), 0);
  ASSERT_EQ(chmod(path("T.dat").c_str(), 0640), 0);
  ASSERT_EQ(chmod(path("T.idx").c_str(), 0604), 0);
  EXPECT_EQ(run(FM_PACK, "T"), 0);
  EXPECT_EQ(run(FM_RECOVER, "T"), 0);
  EXPECT_EQ(contents("victim"), "keep me");
  struct stat st {};
  ASSERT_EQ(stat(path("T.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(stat(path("T.idx").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
  EXPECT_EQ(temporaries(), 0);
  EXPECT_EQ(lookup("T", 5), "V5");
}

TEST_F(FileMaintTest, MakingATableOverAPlantedLinkIsRefused) {
  std::ofstream(path("victim")) << "keep me";
  ASSERT_EQ(symlink(path("victim").c_str(), path("L.idx").c_str()), 0);
  fhrequest &block = new_block();
  describe(&block, "L", kKeyedDesc);
  EXPECT_NE(_rfhmake(&block), 0);
  EXPECT_EQ(contents("victim"), "keep me");
}

}  // namespace
