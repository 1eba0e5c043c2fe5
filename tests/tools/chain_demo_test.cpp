// chain-demo across two processes: the second program reads the files and
// strings that the first handed over, each file going on where it was left,
// and nothing stays behind in shared memory.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "access/kdb.h"
#include "tests/support/access_fixture.h"

namespace {

auto *const g_env = new access_test::PrivateState;
const auto *const g_registered = ::testing::AddGlobalTestEnvironment(g_env);

struct Outcome {
  int code;
  std::string out;
};

Outcome run(const std::string &args) {
  std::string command = std::string(CHAIN_DEMO) + " " + args + " 2>&1";
  Outcome r{-1, ""};
  FILE *p = popen(command.c_str(), "r");
  if (p == nullptr) return r;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// The shared memory objects of this test's chain tables that hold a block.
int chain_blocks() {
  std::string prefix = g_env->name().substr(1) + "-chain-";
  int n = 0;
  for (const auto &e : std::filesystem::directory_iterator("/dev/shm"))
    if (e.path().filename().string().rfind(prefix, 0) == 0) ++n;
  return n;
}

TEST(ChainDemo, SecondProgramTakesOverFilesAndStrings) {
  Scratch dir;
  std::string log = dir.path("Log.Dat"), in = dir.path("in.txt"), out = dir.path("out.txt");
  access_test::write_fid(access_test::read_file(TESSALY_DATA_DIR "/Log.desc"), dir.path("Log.fid"));
  int client = KDBinit(0);
  ASSERT_EQ(KDBmake(log.c_str(), "", "", client + 3, 3, 0), 0);
  const char *entries[][3] = {{"2612081700", "7074.00", "FSK"}, {"2612081845", "14250.00", "USB"}};
  for (const auto &e : entries) {
    KDBcopyfput(e[0], "UNIKEY", client + 3);
    KDBcopyfput(e[1], "FRQ", client + 3);
    KDBcopyfput(e[2], "MODE", client + 3);
    ASSERT_EQ(KDBwrite(client + 3, 0, 0), 0);
  }
  ASSERT_EQ(KDBinit(client), 0);
  access_test::write_file(in, "CQ CQ de first\nQRZ second\n");
  access_test::write_file(out, "kept\n");

  Outcome r = run(log + " " + in + " " + out);
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("first:  input line \"CQ CQ de first\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("first:  handed over 3 files and 2 strings"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("second: string 0 \"73 from the first program\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("second: string 1 \"CQ CQ de first\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("second: log left on 2612081700   7074.00  FSK"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("second: next log entry 2612081845   14250.00 USB"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("second: next input line \"QRZ second\""), std::string::npos) << r.out;
  std::string written = access_test::read_file(out);
  EXPECT_EQ(written.substr(0, written.find_last_not_of('\n') + 2),
            "kept\nwritten by the first program\nwritten by the second program\n");
  EXPECT_EQ(chain_blocks(), 0);
}

TEST(ChainDemo, UsageAndNothingToTakeOver) {
  EXPECT_EQ(run("--help").code, 0);
  EXPECT_EQ(run("").code, 2);
  EXPECT_EQ(run("--receive 300").code, 2);
  Outcome r = run("--receive 32512");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("nothing was handed over under client 127"), std::string::npos) << r.out;
}

}  // namespace
