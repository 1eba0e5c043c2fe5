// tessaly-rig's outages: the cycle arithmetic, and the simulator run as its own
// program, its terminal going away and coming back at the same path and its
// transceiver going deaf and answering again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tools/rig/outage.h"

extern char **environ;

namespace {

using rig::Outage;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

TEST(Outage, CyclesFromTheStart) {
  const Outage o(milliseconds(300), milliseconds(100));
  EXPECT_FALSE(o.down(milliseconds(0)));
  EXPECT_FALSE(o.down(milliseconds(299)));
  EXPECT_TRUE(o.down(milliseconds(300)));
  EXPECT_TRUE(o.down(milliseconds(399)));
  EXPECT_FALSE(o.down(milliseconds(400)));
  EXPECT_TRUE(o.down(milliseconds(1100)));
  EXPECT_EQ(o.nextSwitch(milliseconds(0)), milliseconds(300));
  EXPECT_EQ(o.nextSwitch(milliseconds(300)), milliseconds(400));
  EXPECT_EQ(o.nextSwitch(milliseconds(750)), milliseconds(800));
  EXPECT_EQ(o.nextSwitch(milliseconds(-5)), milliseconds(0));

  const Outage never;
  EXPECT_FALSE(never.configured());
  EXPECT_FALSE(never.down(milliseconds(12345)));
  EXPECT_EQ(never.nextSwitch(milliseconds(1)), Outage::Duration::max());
}

// tessaly-rig as a child process; its first line of stdout is read at start.
class RigProcess {
public:
  ~RigProcess() { stop(); }
  // Starts the simulator; returns its exit status at once when it ends
  // within `settleMs` (a refused option), else -1.
  int start(const std::vector<std::string> &options, int settleMs = 0) {
    stop();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return -2;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{TESSALY_RIG};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, TESSALY_RIG, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = out[0];
    if (rc != 0) return -2;
    if (settleMs > 0) {
      std::this_thread::sleep_for(milliseconds(settleMs));
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
      }
    }
    return -1;
  }
  void stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    if (stdout_ >= 0) ::close(stdout_);
    stdout_ = -1;
  }

private:
  pid_t pid_ = -1;
  int stdout_ = -1;
};

// Reads what arrives on `fd` within `ms`; stops early once `want` bytes came.
std::string readFor(int fd, int ms, size_t want) {
  std::string got;
  const Clock::time_point end = Clock::now() + milliseconds(ms);
  while (got.size() < want && Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    if (poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) break;
    if (p.revents & (POLLHUP | POLLERR)) break;
    char buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

// Opens `path` (following the published link) as a raw line.
int openLine(const std::string &path) { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }

const std::string kSetFrequency("\x00\x50\x07\x00\x08", 5);  // 7.005.00 kHz
const std::string kExecute("\x00\x00\x00\x00\x0B", 5);

// Sends a set-frequency command and returns the echo and reply (10 bytes when answered).
std::string tune(int fd) {
  std::string got;
  if (write(fd, kSetFrequency.data(), 5) != 5) return got;
  got = readFor(fd, 1000, 5);
  if (got.size() < 5 || write(fd, kExecute.data(), 5) != 5) return got;
  return got + readFor(fd, 1000, 5);
}

bool waitFor(const std::function<bool()> &condition, int ms) {
  const Clock::time_point end = Clock::now() + milliseconds(ms);
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

class RigOutage : public testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/rig-outage-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    link = dir + "/radio";
  }
  void TearDown() override {
    rig.stop();
    std::filesystem::remove_all(dir);
  }
  std::string dir, link;
  RigProcess rig;
};

TEST_F(RigOutage, TerminalVanishesAndComesBackAtTheSamePathWithTheSameState) {
  ASSERT_EQ(rig.start({"--pty-link", link, "--vanish-after", "0.8", "--back-after", "0.6"}), -1);
  ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); }, 3000));
  int fd = openLine(link);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(tune(fd), kSetFrequency + std::string("\x00\x50\x07\x00", 4) + std::string(1, '\0'));

  // The client still holding the old terminal is hung up; the path is gone meanwhile.
  ASSERT_TRUE(waitFor([&] { return !std::filesystem::is_symlink(link); }, 2000));
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 0), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  ::close(fd);

  ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); }, 2000));
  fd = openLine(link);
  ASSERT_GE(fd, 0);
  // The transceiver kept its frequency: the status's tail reports it.
  ASSERT_EQ(write(fd, "\x00\x00\x00\x10\x0A", 5), 5);
  ASSERT_EQ(readFor(fd, 1000, 5).size(), 5u);
  ASSERT_EQ(write(fd, kExecute.data(), 5), 5);
  const std::string status = readFor(fd, 1000, 22);
  ASSERT_EQ(status.size(), 22u);
  EXPECT_EQ(status.substr(17, 4), std::string("\x00\x50\x07\x00", 4));
  ::close(fd);
}

TEST_F(RigOutage, DeafTransceiverIgnoresCommandsThenAnswersAgain) {
  const Clock::time_point started = Clock::now();
  ASSERT_EQ(rig.start({"--pty-link", link, "--deaf-after", "1", "--deaf-for", "1"}), -1);
  ASSERT_TRUE(waitFor([&] { return std::filesystem::is_symlink(link); }, 3000));
  const int fd = openLine(link);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(tune(fd).size(), 10u);
  std::this_thread::sleep_until(started + milliseconds(1200));
  EXPECT_EQ(tune(fd), "");  // waits 1 s for an echo that does not come
  std::this_thread::sleep_until(started + milliseconds(2300));
  EXPECT_EQ(tune(fd).size(), 10u);
  // The terminal stayed: deafness is not a hang-up.
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  ::close(fd);
}

TEST_F(RigOutage, OutageOptionsAreCheckedBeforeAnythingIsMade) {
  EXPECT_EQ(rig.start({"--vanish-after", "1", "--back-after", "1"}, 300), 2);  // no path to keep
  EXPECT_EQ(rig.start({"--pty-link", link, "--vanish-after", "1"}, 300), 2);   // half a cycle
  EXPECT_EQ(rig.start({"--deaf-for", "1"}, 300), 2);
  EXPECT_EQ(rig.start({"--pty-link", link, "--deaf-after", "0", "--deaf-for", "1"}, 300), 2);
  EXPECT_EQ(rig.start({"--pty-link", link, "--deaf-after", "x", "--deaf-for", "1"}, 300), 2);
  EXPECT_FALSE(std::filesystem::exists(link));
}

}  // namespace
