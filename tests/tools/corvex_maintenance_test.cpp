// corvex as a user runs it: the exit codes its help promises on every
// command, the options, the comma-separated dump and planted links.
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/maint_fixture.h"

namespace {

class CorvexToolTest : public MaintTest {
 protected:
  // Runs the tool with `args`; its exit code, with stdout in `out` (stdout
  // and stderr with `both`).
  int tool(const std::string &args, std::string *out = nullptr, bool both = false) {
    std::string command = std::string(CORVEX_TOOL) + " " + args + (both ? " 2>&1" : " 2>/dev/null");
    FILE *p = popen(command.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[512];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    int status = pclose(p);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(CorvexToolTest, VerifyRecoverAndPackExitAsTheHelpSays) {
  table("T", kKeyedDesc, 5, {1});
  const std::string file = path("T.dat");
  EXPECT_EQ(tool("verify " + file), 0);
  std::filesystem::resize_file(path("T.idx"), 20);
  // Damage is a failure (1), its engine status named on stderr.
  std::string said;
  EXPECT_EQ(tool("verify " + file + " --keep-going --log " + path("v.log"), &said, true), 1);
  EXPECT_NE(said.find("(engine status 23)"), std::string::npos) << said;
  EXPECT_TRUE(exists("v.log"));
  EXPECT_EQ(tool("recover " + file), 0);
  EXPECT_EQ(tool("verify " + file), 0);
  EXPECT_EQ(tool("pack " + file + " --strip --index " + path("T.idx")), 0);
  EXPECT_EQ(tool("verify " + file + " --network --skip-index"), 0);
  // Statuses 1 and 2 of the engine would read as "failed" and "wrong usage".
  EXPECT_EQ(tool("verify " + path("none.dat")), 1);
  EXPECT_EQ(tool("recover " + path("none.dat")), 1);
  EXPECT_EQ(tool("pack " + path("none.dat")), 1);
}

// Every command keeps to "0 done, 1 the command failed, 2 wrong usage".
TEST_F(CorvexToolTest, EveryCommandExitsWithTheCodesOfTheHelp) {
  std::string help;
  EXPECT_EQ(tool("--help", &help), 0);
  EXPECT_NE(help.find("0 done, 1 the command failed"), std::string::npos);
  EXPECT_EQ(tool(""), 2);
  EXPECT_EQ(tool("bogus"), 2);
  EXPECT_EQ(tool("make"), 2);
  EXPECT_EQ(tool("make " + path("none.desc")), 1);
  EXPECT_EQ(tool("make " + std::string(TESSALY_DATA_DIR) + "/Scans.desc " + path("S.Dat")), 0);
  EXPECT_EQ(tool("verify " + path("S.Dat")), 0);
  EXPECT_EQ(tool("dump " + path("S.Dat")), 0);
  EXPECT_EQ(tool("archive"), 2);
  EXPECT_EQ(tool("archive -Q " + path("b")), 2);
  EXPECT_EQ(tool("archive -L " + path("none")), 2);  // as its own help says
  EXPECT_EQ(tool("archive -A " + path("b") + " " + path("S.Dat")), 0);
  EXPECT_EQ(tool("archive -L " + path("b")), 0);
}

TEST_F(CorvexToolTest, PackByKeyWritesTheRecordsInKeyOrder) {
  table("T", kKeyedDesc, 4, {0});
  {
    fhrequest &block = existing("T");
    ASSERT_EQ(_rfhopen(&block), 0);
    write_record(&block, 9, "new");  // into the deleted record's slot, first on file
    ASSERT_EQ(_rfhclose(&block), 0);
  }
  std::string out;
  ASSERT_EQ(tool("dump " + path("T.dat"), &out), 0);
  EXPECT_EQ(out, "KEY,VAL,TAG\nK009,new,T1\nK001,V1,T1\nK002,V2,T2\nK003,V3,T3\n");
  EXPECT_EQ(tool("pack " + path("T.dat") + " --by-key"), 0);
  ASSERT_EQ(tool("dump " + path("T.dat"), &out), 0);
  EXPECT_EQ(out, "KEY,VAL,TAG\nK001,V1,T1\nK002,V2,T2\nK003,V3,T3\nK009,new,T1\n");
  EXPECT_EQ(tool("verify " + path("T.dat")), 0);
  EXPECT_EQ(tool("verify " + path("T.dat") + " --by-key"), 2);
  EXPECT_EQ(tool("pack " + path("none.dat") + " --by-key"), 1);
  ASSERT_EQ(tool("pack --help", &out), 0);
  EXPECT_NE(out.find("--by-key      pack: write the records in the order of the first key"), std::string::npos);
}

TEST_F(CorvexToolTest, UsageErrorsAndHelp) {
  table("T", kKeyedDesc, 1);
  for (const char *command : {"verify", "recover", "pack", "dump"}) {
    std::string out;
    EXPECT_EQ(tool(std::string(command) + " --help", &out), 0) << command;
    EXPECT_NE(out.find("usage: corvex verify|recover|pack"), std::string::npos) << command;
  }
  EXPECT_EQ(tool("verify"), 2);
  EXPECT_EQ(tool("verify " + path("T.dat") + " --strip"), 2);
  EXPECT_EQ(tool("pack " + path("T.dat") + " --fid"), 2);
  EXPECT_EQ(tool("recover " + path("T.dat") + " --bogus"), 2);
}

TEST_F(CorvexToolTest, DumpWritesTheActiveRecordsAsCommaSeparatedText) {
  table("T", kKeyedDesc, 3, {0});
  {
    fhrequest &block = existing("T");
    ASSERT_EQ(_rfhopen(&block), 0);
    fill(&block, {{"KEY", "K009"}, {"VAL", "a,\"b\""}, {"TAG", "x"}});
    ASSERT_EQ(_rfhwrite(&block, 0), 0);
    ASSERT_EQ(_rfhclose(&block), 0);
  }
  std::string out;
  EXPECT_EQ(tool("dump " + path("T.dat"), &out), 0);
  // Physical order: the new record took the deleted record's slot.
  EXPECT_EQ(out, "KEY,VAL,TAG\nK009,\"a,\"\"b\"\"\",x\nK001,V1,T1\nK002,V2,T2\n");
  EXPECT_EQ(tool("dump " + path("none.dat")), 1);
}

TEST_F(CorvexToolTest, ArchiveExitCodesSayWhatHappened) {
  std::ofstream(path("averylongname.txt")) << "long";
  std::ofstream(path("short.txt")) << "short";
  std::string out;
  EXPECT_EQ(tool("archive -A " + path("set") + " " + path("averylongname.txt") + " " + path("short.txt"), &out), 1);
  EXPECT_NE(out.find("longer than 12 characters, left out: " + path("averylongname.txt")), std::string::npos) << out;
  EXPECT_EQ(tool("archive -L " + path("set"), &out), 0);
  EXPECT_NE(out.find("short.txt"), std::string::npos);
  EXPECT_EQ(tool("archive -A " + path("set") + " @/dev/zero"), 2);
}

// A second user who may write a shared folder of archives plants a link at
// the temporary name earlier versions used; made with setpriv as that user.
TEST_F(CorvexToolTest, ALinkPlantedByAnotherUserInASharedFolderIsNotFollowed) {
  if (geteuid() != 0 || system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "needs root and setpriv";
  std::filesystem::create_directory(path("shared"));
  std::filesystem::permissions(path("shared"), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
  std::filesystem::permissions(path(""), std::filesystem::perms::others_exec, std::filesystem::perm_options::add);
  std::ofstream(path("victim")) << "keep me";
  std::ofstream(path("a.txt")) << "alpha";
  std::string as_nobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  ASSERT_EQ(system((as_nobody + "ln -s " + path("victim") + " '" + path("shared/set.$$$") + "'").c_str()), 0);
  EXPECT_EQ(tool("archive -A " + path("shared/set") + " " + path("a.txt")), 0);
  std::ifstream in(path("victim"));
  std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "keep me");
  EXPECT_TRUE(std::filesystem::is_symlink(path("shared/set.$$$")));
}

}  // namespace
