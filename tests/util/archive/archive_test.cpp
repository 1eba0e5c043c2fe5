// Archive runs through compress_files: round trips of many generated files,
// replacing and deleting members, passwords, the questions, the listing and
// damaged archives.
#include "util/archive/archive.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/recording_progress.h"
#include "tests/support/scratch.h"
#include "util/archive/header.h"
#include "util/archive/member_output.h"
#include "util/fastfile.h"

namespace corvex {
namespace {

struct RecordingOutput : ArchiveOutput {
  void message(const std::string &text) override { messages += text; }
  void error(int kind, const std::string &subject) override { errors.push_back({kind, subject}); }
  bool has_error(int kind) const {
    for (const auto &e : errors)
      if (e.first == kind) return true;
    return false;
  }
  std::string messages;
  std::vector<std::pair<int, std::string>> errors;
};

class Archive : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    corvex_set_archive_output(&output);
  }
  void TearDown() override {
    corvex_set_archive_output(nullptr);
    for (int slot = 0; slot < 5; ++slot) EXPECT_NE(_fastclose(slot), 0) << "slot " << slot << " left open";
  }
  std::string path(const std::string &name) const { return scratch_.path(name); }
  void put(const std::string &name, const std::string &content) {
    std::ofstream(path(name), std::ios::binary) << content;
  }
  std::string get(const std::string &name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool exists(const std::string &name) const { return access(path(name).c_str(), F_OK) == 0; }
  // Temporary files left in the folder (their names hold "~").
  int temporaries(const std::string &sub = "") const {
    int found = 0;
    for (const auto &entry : std::filesystem::directory_iterator(path(sub)))
      if (entry.path().filename().string().find('~') != std::string::npos) found++;
    return found;
  }
  void dir(const std::string &name) { ASSERT_EQ(mkdir(path(name).c_str(), 0777), 0); }
  int run(const std::string &options, const std::string &archive, std::vector<std::string> names = {}) {
    output = RecordingOutput{};
    std::vector<const char *> argv;
    for (const std::string &n : names) argv.push_back(n.c_str());
    return compress_files(options.c_str(), path(archive).c_str(), static_cast<int>(argv.size()), argv.data());
  }
  std::vector<MemberHeader> members(const std::string &archive) const {
    std::string bytes = get(archive);
    std::vector<MemberHeader> list;
    for (size_t at = 0; at + kMemberHeaderSize <= bytes.size();) {
      MemberHeader h;
      if (!unpack_header(reinterpret_cast<const unsigned char *>(bytes.data() + at), &h)) break;
      list.push_back(h);
      at += kMemberHeaderSize + h.stored_size;
    }
    return list;
  }
  std::string target(const std::string &sub) const { return "T\"" + path(sub) + "\""; }

  // Thousands of small files: a memory file system keeps their creation cheap.
  Scratch scratch_{memory_base()};
  RecordingOutput output;
  testing::RecordingProgress window;
  testing::InstalledProgress installed{window};
};

std::string random_text(std::mt19937 &rng, size_t n, bool compressible) {
  static const char kWords[][8] = {"log", "scan", "14250", "usb", "cw-n", "net", "dx", "qsl"};
  std::string s;
  while (s.size() < n) {
    if (compressible)
      s += std::string(kWords[rng() % 8]) + (rng() % 5 ? " " : "\r\n");
    else
      s += static_cast<char>(rng());
  }
  s.resize(n);
  return s;
}

// The sizes worth trying: empty, one byte, around one input block, and around
// each power of two where the code width changes.
std::vector<size_t> boundary_sizes() {
  std::vector<size_t> sizes = {0, 1, 2, 2047, 2048, 2049, 4095, 4096};
  for (int b = 9; b <= 16; b++)
    for (long d : {-1L, 0L, 1L}) sizes.push_back(static_cast<size_t>((1L << b) + d));
  return sizes;
}

TEST_F(Archive, ThousandsOfGeneratedFilesComeBackIdentical) {
  std::mt19937 rng(2026);
  const std::vector<size_t> boundaries = boundary_sizes();
  struct Batch {
    std::string dir, password;
  };
  const std::vector<Batch> batches = {{"b0", ""}, {"b1", "secret"}, {"b2", ""}, {"b3", "0123456789"}};
  std::vector<std::vector<std::pair<std::string, std::string>>> contents(batches.size());
  for (size_t b = 0; b < batches.size(); b++) {
    dir(batches[b].dir);
    for (int i = 0; i < 500; i++) {
      size_t size;
      if (i < static_cast<int>(boundaries.size()))
        size = boundaries[static_cast<size_t>(i)];
      else
        size = rng() % 4 == 0 ? rng() % 6000 : rng() % 300;
      std::string data;
      switch (i % 4) {
        case 0: data = random_text(rng, size, true); break;
        case 1: data = random_text(rng, size, false); break;
        case 2: data = std::string(size, static_cast<char>('a' + i % 26)); break;
        default: data = random_text(rng, size / 2, true) + random_text(rng, size - size / 2, false); break;
      }
      std::string name = "F" + std::to_string(10000 + i) + (i % 3 ? ".dat" : "");
      put(batches[b].dir + "/" + name, data);
      contents[b].push_back({name, data});
    }
  }
  for (size_t b = 0; b < batches.size(); b++) {
    std::string password = batches[b].password.empty() ? "" : "P\"" + batches[b].password + "\"";
    ASSERT_EQ(run("-A" + password, "set" + std::to_string(b), {path(batches[b].dir) + "/*"}), 0);
    dir("out" + std::to_string(b));
    ASSERT_EQ(run("-X" + password + target("out" + std::to_string(b)), "set" + std::to_string(b) + ".cmp"), 0)
        << output.messages;
    EXPECT_TRUE(output.errors.empty());
    for (const auto &[name, data] : contents[b]) {
      std::string lowered = name;
      lowered[0] = 'f';
      ASSERT_EQ(get("out" + std::to_string(b) + "/" + lowered), data) << name;
    }
  }
  // Each kind of member was made: stored ones, and coded ones of several widths.
  std::set<int> kinds;
  for (size_t b = 0; b < batches.size(); b++)
    for (const MemberHeader &h : members("set" + std::to_string(b) + ".cmp"))
      kinds.insert(h.method == kMethodStored ? 0 : h.bits);
  EXPECT_TRUE(kinds.count(0));
  for (int bits = 9; bits <= 15; bits++) EXPECT_TRUE(kinds.count(bits)) << bits;
}

// FNV-1a over an archive's bytes, its members' stamps (the files' times) taken as zero.
uint64_t archive_fingerprint(std::string bytes) {
  for (size_t at = 0; at + kMemberHeaderSize <= bytes.size();) {
    MemberHeader h;
    if (!unpack_header(reinterpret_cast<const unsigned char *>(bytes.data() + at), &h)) break;
    std::fill(bytes.begin() + static_cast<long>(at + 16), bytes.begin() + static_cast<long>(at + 22), '\0');
    at += kMemberHeaderSize + h.stored_size;
  }
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// Archives written by earlier versions must come out byte for byte the same:
// the fingerprints below were taken from them. The files take every path of
// the coder: each width, stored members (short noise, and noise that only
// shows after the first block), a width lowered after a noisy first block,
// table resets in long files, members too large to be gathered in memory,
// and the password offset.
TEST_F(Archive, ArchivesOfFixedFilesAreByteForByteAsBefore) {
  std::mt19937 rng(1948);
  dir("in");
  for (size_t size : boundary_sizes()) put("in/t" + std::to_string(size), random_text(rng, size, true));
  put("in/noise", random_text(rng, 3000, false));
  put("in/late.dat", random_text(rng, 4000, true) + random_text(rng, 90000, false));
  put("in/early.dat", random_text(rng, 2048, false) + random_text(rng, 60000, true));
  put("in/long.txt", random_text(rng, 700000, true));
  std::string mixed;
  while (mixed.size() < 500000) mixed += random_text(rng, 3000, true) + random_text(rng, 300, false);
  put("in/mixed.bin", mixed);
  // Members whose coded form passes a megabyte, one of them stored after all.
  put("in/huge.txt", random_text(rng, 3000000, true) + random_text(rng, 400000, false));
  put("in/noise.big", random_text(rng, 1200000, false));
  ASSERT_EQ(run("-A", "plain", {path("in/*")}), 0);
  ASSERT_EQ(run("-AP\"radio\"", "secret", {path("in/*")}), 0);
  std::set<int> widths;
  for (const MemberHeader &h : members("plain.cmp")) {
    widths.insert(h.method == kMethodStored ? 0 : h.bits);
    // More codes than a table holds: the long files went through resets.
    if (h.name == "long.txt" || h.name == "mixed.bin") {
      EXPECT_GT(h.stored_size * 8 / 15, 40000u) << h.name;
    } else if (h.name == "huge.txt") {
      EXPECT_GT(h.stored_size, kMemberGatherLimit);
    } else if (h.name == "noise.big") {
      EXPECT_EQ(h.method, kMethodStored);
    }
  }
  EXPECT_EQ(widths.size(), 8u);
  EXPECT_EQ(archive_fingerprint(get("plain.cmp")), 0xab8dafd4813cbc58ull);
  EXPECT_EQ(archive_fingerprint(get("secret.cmp")), 0xb98fcc0d5703c1c1ull);
}

TEST_F(Archive, AddingReplacesMembersInPlaceOfOrderAndKeepsTheOthers) {
  put("a.txt", std::string(1000, 'a'));
  put("b.txt", "bee");
  put("c.txt", "sea");
  ASSERT_EQ(run("-a", "set", {path("a.txt"), path("b.txt"), path("c.txt")}), 0);
  put("b.txt", "bumble bee");
  put("d.txt", "dee");
  ASSERT_EQ(run("-A", "set", {path("b.txt"), path("d.txt")}), 0);
  std::vector<std::string> names;
  for (const MemberHeader &h : members("set.cmp")) names.push_back(h.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "c.txt", "b.txt", "d.txt"}));
  EXPECT_EQ(members("set.cmp")[0].bits, 10);  // 1000 bytes: 2^10 is the first power above
  EXPECT_EQ(temporaries(), 0);
  dir("out");
  ASSERT_EQ(run("-X" + target("out"), "set", {"B.TXT"}), 0);
  EXPECT_EQ(get("out/b.txt"), "bumble bee");
  EXPECT_FALSE(exists("out/a.txt"));
}

TEST_F(Archive, AFileStoredAfterCodingDidNotPayKeepsTheMembersBeforeIt) {
  put("a.txt", "alpha");
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  put("b.txt", "b");  // two codes take two bytes: stored instead
  ASSERT_EQ(run("-A", "set", {path("b.txt")}), 0);
  ASSERT_EQ(members("set.cmp").size(), 2u);
  EXPECT_EQ(members("set.cmp")[1].method, kMethodStored);
  dir("out");
  ASSERT_EQ(run("-X" + target("out"), "set"), 0);
  EXPECT_EQ(get("out/a.txt"), "alpha");
  EXPECT_EQ(get("out/b.txt"), "b");
}

TEST_F(Archive, TheArchiveItselfAndItsTemporaryFileAreNeverMembers) {
  put("a.txt", "alpha");
  ASSERT_EQ(run("-A", "set.cmp", {path("*.*")}), 0);
  ASSERT_EQ(run("-A", "set.cmp", {path("*.*")}), 0);
  ASSERT_EQ(members("set.cmp").size(), 1u);
  EXPECT_EQ(members("set.cmp")[0].name, "a.txt");
}

TEST_F(Archive, DeleteTakesMatchingMembersOnlyAndNeedsNames) {
  for (const char *n : {"a.txt", "b.txt", "c.log"}) put(n, n);
  ASSERT_EQ(run("-A", "set", {path("*")}), 0);
  std::remove(path("a.txt").c_str());  // a member goes even when its file is gone
  EXPECT_EQ(run("-D", "set"), -1);
  ASSERT_EQ(run("-D", "set", {"*.txt"}), 0);
  ASSERT_EQ(members("set.cmp").size(), 1u);
  EXPECT_EQ(members("set.cmp")[0].name, "c.log");
  EXPECT_NE(output.messages.find("Deleting: a.txt"), std::string::npos);
  EXPECT_EQ(run("-D", "missing", {"*.txt"}), -2);
  EXPECT_NE(output.messages.find("Error: Unable to open COMPRESS file.\r\n"), std::string::npos);
}

TEST_F(Archive, BadOptionsAreRefused) {
  put("a.txt", "alpha");
  EXPECT_EQ(run("-AX", "set", {path("a.txt")}), -1);
  EXPECT_EQ(run("-", "set", {path("a.txt")}), -1);
  EXPECT_EQ(run("-LP\"01234567890\"", "set"), -2);
  EXPECT_EQ(output.messages, "Error: Bad password.\r\n");
  EXPECT_EQ(run("-XP", "set"), -2);
  EXPECT_EQ(run("-XT\"" + std::string(41, 'd') + "\"", "set"), -2);
  EXPECT_EQ(output.messages, "Error: Bad target directory.\r\n");
  EXPECT_EQ(run("-LP\"0123456789\"", "set"), -2);  // a good password, but no archive
  EXPECT_FALSE(exists("set.cmp"));
}

TEST_F(Archive, AWrongPasswordGivesAChecksumFailureAndTheRightOneTheBytes) {
  std::mt19937 rng(5);
  std::string text = random_text(rng, 20000, true), noise = random_text(rng, 300, false);
  put("t.txt", text);
  put("n.bin", noise);
  ASSERT_EQ(run("-AP\"radio\"", "set", {path("t.txt"), path("n.bin")}), 0);
  EXPECT_EQ(members("set.cmp")[1].method, kMethodStored);
  dir("out");
  EXPECT_EQ(run("-XP\"wrong\"" + target("out"), "set"), -1);
  EXPECT_TRUE(output.has_error(kArchiveChecksum));
  EXPECT_NE(get("out/n.bin"), noise);
  ASSERT_EQ(run("-XOP\"radio\"" + target("out"), "set"), 0);
  EXPECT_EQ(get("out/t.txt"), text);
  EXPECT_EQ(get("out/n.bin"), noise);
}

TEST_F(Archive, ExistingFilesAreReplacedOnlyAfterAYesOrWithO) {
  put("a.txt", "new text");
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  dir("out");
  put("out/a.txt", "old");
  EXPECT_EQ(run("-X" + target("out"), "set"), 0);  // the window answers No
  ASSERT_EQ(window.questions.size(), 1u);
  EXPECT_EQ(window.questions[0].caption, "Compress");
  EXPECT_EQ(window.questions[0].text, "File '" + path("out/a.txt") + "' already exists, overwrite it?");
  EXPECT_EQ(window.questions[0].buttons, ProgressQuestion::Buttons::kYesNo);
  EXPECT_EQ(get("out/a.txt"), "old");
  window.answers = {true};
  EXPECT_EQ(run("-X" + target("out"), "set"), 0);
  EXPECT_EQ(get("out/a.txt"), "new text");
  put("out/a.txt", "old");
  window.questions.clear();
  EXPECT_EQ(run("-XO" + target("out"), "set"), 0);
  EXPECT_TRUE(window.questions.empty());
  EXPECT_EQ(get("out/a.txt"), "new text");
}

TEST_F(Archive, ExtractedFilesGetTheMemberStamp) {
  put("a.txt", "stamped");
  struct timespec old_times[2] = {{946728000, 0}, {946728000, 0}};  // 2000-01-01 12:00 UTC
  ASSERT_EQ(utimensat(AT_FDCWD, path("a.txt").c_str(), old_times, 0), 0);
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  dir("out");
  ASSERT_EQ(run("-X" + target("out"), "set"), 0);
  struct stat st {};
  ASSERT_EQ(stat(path("out/a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 946728000);
}

TEST_F(Archive, TheListingShowsEachMatchingMemberAndTotals) {
  put("a.txt", std::string(1000, 'a'));
  put("e.txt", "");
  ASSERT_EQ(run("-A", "set", {path("a.txt"), path("e.txt")}), 0);
  MemberHeader a = members("set.cmp")[0];
  ASSERT_EQ(run("-LB", "set"), 0);
  const unsigned char *st = a.stamp;
  char line[120];
  snprintf(line, sizeof line, "a.txt         %02d-%02d-%02d  %02d:%02d%cm      1000  %8u  %3d  %04x   10\r\n", st[1],
           st[2], st[0] % 100, st[3] % 12 == 0 ? 12 : st[3] % 12, st[4], st[3] < 12 ? 'a' : 'p', a.stored_size,
           static_cast<int>(100 - a.stored_size * 100 / 1000), a.checksum);
  std::string expected_start = "COMPRESS File: " + path("set.cmp") +
                               "\r\n\r\n File Name      Date     Time       Size       Now    %   CRC   Bits\r\n"
                               " ---------      ----     ----       ----       ---    -   ---   ----\r\n" +
                               line;
  EXPECT_EQ(output.messages.substr(0, expected_start.size()), expected_start);
  EXPECT_NE(output.messages.find("e.txt"), std::string::npos);
  char totals[120];
  snprintf(totals, sizeof totals, " 0002                                1000  %8u  %3d%%\r\n", a.stored_size,
           static_cast<int>(100 - a.stored_size * 100 / 1000));
  EXPECT_NE(output.messages.find(std::string(" ----                            --------  --------  ----\r\n") + totals),
            std::string::npos)
      << output.messages;
  ASSERT_EQ(run("-LQ", "set", {"e.*"}), 0);
  EXPECT_EQ(output.messages.find("a.txt"), std::string::npos);
  EXPECT_NE(output.messages.find(" 0001\r\n"), std::string::npos);
}

TEST_F(Archive, NamesFromListFilesAndLongOrCaseTwinNamesLeftOutWithAFailure) {
  put("one.txt", "1");
  put("Two.txt", "2");
  put("two.TXT", "2b");
  put("averylongname.txt", "long");
  put("list", path("one.txt") + "\r\n  \r\n" + path("*.TXT") + "\n" + path("*.txt") + "\n" + path("avery*") + "\n");
  // The others go in; the run says that not all did.
  ASSERT_EQ(run("-A", "set", {"@" + path("list")}), -1);
  std::vector<std::string> names;
  for (const MemberHeader &h : members("set.cmp")) names.push_back(h.name);
  EXPECT_EQ(names, (std::vector<std::string>{"one.txt", "two.txt"}));
  EXPECT_NE(get("set.cmp").find("2b"), std::string::npos);  // two.TXT came first, through *.TXT
  EXPECT_NE(output.messages.find(path("averylongname.txt")), std::string::npos);
  EXPECT_NE(output.messages.find(path("Two.txt")), std::string::npos);
  EXPECT_NE(output.messages.find("longer than 12 characters"), std::string::npos);
  EXPECT_EQ(run("-A", "set", {"@" + path("nolist")}), -2);
}

TEST_F(Archive, ListFilesAndArchivesAreRegularFilesOfBoundedSize) {
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  put("huge", std::string(2 << 20, 'x'));
  for (const std::string &list : {std::string("/dev/zero"), path("pipe"), path("huge")}) {
    EXPECT_EQ(run("-A", "set", {"@" + list}), -2) << list;
    EXPECT_NE(output.messages.find("Not a list file"), std::string::npos) << list;
  }
  EXPECT_FALSE(exists("set.cmp"));
  // Nor is anything but a regular file an archive.
  ASSERT_EQ(mkfifo(path("pipe.cmp").c_str(), 0600), 0);
  EXPECT_EQ(run("-L", "pipe.cmp"), -2);
  EXPECT_TRUE(output.has_error(kArchiveNotArchive));
}

TEST_F(Archive, APlantedFileOrLinkBesideTheArchiveIsNeverWrittenThrough) {
  put("victim", "keep me");
  put("a.txt", "alpha");
  // The temporary name of earlier versions, and the output of an extraction.
  ASSERT_EQ(symlink(path("victim").c_str(), path("set.$$$").c_str()), 0);
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  ASSERT_EQ(run("-D", "set", {"none"}), 0);
  EXPECT_EQ(get("victim"), "keep me");
  EXPECT_EQ(members("set.cmp").size(), 1u);
  dir("out");
  ASSERT_EQ(symlink(path("victim").c_str(), path("out/a.txt").c_str()), 0);
  ASSERT_EQ(run("-XO" + target("out"), "set"), 0);
  EXPECT_EQ(get("victim"), "keep me");
  struct stat st {};
  ASSERT_EQ(lstat(path("out/a.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link is replaced, not followed";
  EXPECT_EQ(get("out/a.txt"), "alpha");
  EXPECT_EQ(temporaries(), 0);
  EXPECT_EQ(temporaries("out"), 0);
}

TEST_F(Archive, ANewArchiveIsPrivateAndAnUpdateKeepsItsMode) {
  put("a.txt", "alpha");
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  struct stat st {};
  ASSERT_EQ(stat(path("set.cmp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(chmod(path("set.cmp").c_str(), 0640), 0);
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  ASSERT_EQ(stat(path("set.cmp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(Archive, DamagedArchivesEndWithAnErrorAndNeverWriteOutsideTheTarget) {
  put("a.txt", std::string(5000, 'a'));
  put("b.txt", "bbbb");
  ASSERT_EQ(run("-A", "set", {path("a.txt"), path("b.txt")}), 0);
  const std::string good = get("set.cmp");
  dir("out");

  // Not an archive at all: nothing extracted, and adding leaves the file as it was.
  put("junk.cmp", "this is no archive, just text");
  EXPECT_EQ(run("-X" + target("out"), "junk"), -1);
  EXPECT_TRUE(output.has_error(kArchiveNotArchive));
  EXPECT_EQ(run("-A", "junk", {path("b.txt")}), -1);
  EXPECT_EQ(get("junk.cmp"), "this is no archive, just text");
  EXPECT_EQ(temporaries(), 0);

  // A member that claims more data than the archive holds.
  std::string cut = good.substr(0, good.size() - 3);
  put("cut.cmp", cut);
  EXPECT_EQ(run("-XO" + target("out"), "cut"), -1);
  EXPECT_FALSE(output.errors.empty());

  // A second header without the magic.
  std::string bad = good;
  bad[kMemberHeaderSize + members("set.cmp")[0].stored_size] = 'x';
  put("bad.cmp", bad);
  EXPECT_EQ(run("-LQ", "bad"), -1);
  EXPECT_TRUE(output.has_error(kArchiveCorrupt));

  // Member names that would leave the target directory.
  for (const char *evil : {"../evil.txt", "..", "sub/x.txt"}) {
    std::string renamed = good;
    std::string name(evil);
    name.resize(kMemberNameMax, '\0');
    renamed.replace(2, kMemberNameMax, name);
    put("evil.cmp", renamed);
    EXPECT_EQ(run("-XO" + target("out"), "evil"), -1) << evil;
    EXPECT_TRUE(output.has_error(kArchiveCannotCreate));
  }
  EXPECT_FALSE(exists("evil.txt"));
  EXPECT_EQ(get("out/b.txt"), "bbbb");  // the members after the refused one still came out
}

TEST_F(Archive, AStopEndsTheRunAndKeepsTheOldArchive) {
  put("a.txt", std::string(100000, 'a'));
  ASSERT_EQ(run("-A", "set", {path("a.txt")}), 0);
  const std::string before = get("set.cmp");
  put("b.txt", std::string(100000, 'b'));
  window.stop_after_changes = 4;
  EXPECT_EQ(run("-A", "set", {path("b.txt")}), -1);
  EXPECT_EQ(get("set.cmp"), before);
  EXPECT_EQ(temporaries(), 0);
  EXPECT_EQ(window.title, "Compress v2.2");
  EXPECT_EQ(window.layout, ProgressLayout::kCompress);
  EXPECT_EQ(window.history(kCmpOperation), (std::vector<std::string>{"Updating: " + path("set.cmp")}));
  window.stop_after_changes = -1;
  ASSERT_EQ(run("-A", "set", {path("b.txt")}), 0);
  EXPECT_EQ(window.lines[kCmpOverall], "100%");
  EXPECT_EQ(window.lines[kCmpMember], "Adding:  b.txt        ");
  EXPECT_EQ(window.opens, window.closes);
}

TEST_F(Archive, FileListTextSplitsAtBlanksAndTabs) {
  put("a.txt", "a");
  put("b.txt", "b");
  std::string names = " " + path("a.txt") + "\t " + path("b.txt") + " ";
  ASSERT_EQ(compress_file_list("-A", path("set").c_str(), names.c_str()), 0);
  EXPECT_EQ(members("set.cmp").size(), 2u);
  std::string many;
  for (int i = 0; i < 51; i++) many += "x ";
  EXPECT_EQ(compress_file_list("-A", path("set").c_str(), many.c_str()), -1);
}

}  // namespace
}  // namespace corvex
