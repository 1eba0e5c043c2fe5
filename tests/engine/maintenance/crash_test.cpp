// A writer killed at random moments: a child process writes, rewrites and
// deletes keyed records in a shared network mode and reports each call
// before it makes it and once it has returned; the parent kills it with
// SIGKILL, repairs the file set with RECOVER or PACK and checks that VERIFY
// finds it clean and that every record whose write had returned is there
// with its content (and every acknowledged delete stays deleted). A call
// that was under way at the kill may have happened or not.
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>

#include <cstring>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "tests/support/maint_fixture.h"

namespace {

constexpr int kKills = 50;
constexpr int kKeys = 40;

// One reported call: "B W key value", "B D key", then "A status" once the
// call returned.
struct Call {
  char op = 0;
  int key = 0;
  std::string value;
};

class CrashTest : public MaintTest {
 protected:
  // The child: runs calls until it is killed, reporting on `out`.
  [[noreturn]] void writer(int out, unsigned seed) {
    fhrequest control = {};
    char mode[] = "MSNET";
    control.keybuf = mode;
    call(&control, FHOP_NETMODE);
    fhrequest &block = existing("C");
    if (_rfhopen(&block) != 0) _exit(3);
    std::mt19937 random(seed);
    for (int seq = 0;; seq++) {
      int k = static_cast<int>(random() % kKeys);
      bool remove = random() % 3 == 0;
      std::string value = "s" + std::to_string(seed % 1000) + "n" + std::to_string(seq);
      std::string before = remove ? "B D " + std::to_string(k) + "\n"
                                  : "B W " + std::to_string(k) + " " + value + "\n";
      if (write(out, before.data(), before.size()) != static_cast<ssize_t>(before.size())) _exit(4);
      int status;
      if (remove) {
        fill(&block, {{"KEY", key(k).c_str()}});
        _rfhdelete(&block);
        status = block.status;
      } else {
        fill(&block, {{"KEY", key(k).c_str()}, {"VAL", value.c_str()}, {"TAG", "T"}});
        _rfhwrite(&block, 0);
        status = block.status;
      }
      std::string after = "A " + std::to_string(status) + "\n";
      if (write(out, after.data(), after.size()) != static_cast<ssize_t>(after.size())) _exit(4);
    }
  }

  // Reads what the child reports until `wait` has passed.
  static std::string listen(int in, std::chrono::microseconds wait) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + wait;
    char buf[4096];
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p = {in, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      ssize_t n = read(in, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  }

  static std::string drain(int in) {
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = read(in, buf, sizeof buf)) > 0;) got.append(buf, static_cast<size_t>(n));
    return got;
  }

  // Makes the table from `desc`, then kills and repairs kKills times.
  void kill_and_repair(const char *desc);

  // The record's value, or nothing when the key is not in the file.
  std::optional<std::string> value_of(int k) {
    fhrequest &block = existing("C");
    EXPECT_EQ(_rfhopen(&block), 0);
    set_key(&block, key(k), 10);
    std::optional<std::string> value;
    if (_rfhposn(&block, 1) == 0 && (block.state & ST_POSITIONED) && _rfhread(&block, 1) == 0) {
      std::string v = item(&block, "VAL");
      v.erase(v.find_last_not_of(' ') + 1);
      value = v;
    }
    _rfhclose(&block);
    return value;
  }
};

// Variable-length records move when a rewrite changes their length.
const char kVarlenDesc[] =
    "length 34\n"
    "varlen\n"
    "item KEY C 4 10\n"
    "item VAL C 14 10\n"
    "item TAG C 24 10\n"
    "key KEY\n"
    "key TAG\n";

void CrashTest::kill_and_repair(const char *desc) {
  table("C", desc, 0);
  std::map<int, std::optional<std::string>> expected;  // absent: never written
  std::mt19937 random(20261208);
  int checked = 0, lost = 0, recovered = 0, packed = 0, repacked = 0, pending_calls = 0;
  for (int kill_no = 0; kill_no < kKills; kill_no++) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      writer(fds[1], 1000u + static_cast<unsigned>(kill_no));
    }
    close(fds[1]);
    std::string report = listen(fds[0], std::chrono::microseconds(2000 + random() % 25000));
    kill(child, SIGKILL);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    report += drain(fds[0]);
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(wstatus)) << "the writer ended by itself: " << wstatus;

    // What the child reported: acknowledged calls change the expectation,
    // the last call may be under way.
    std::istringstream lines(report);
    std::optional<Call> pending;
    for (std::string l; std::getline(lines, l);) {
      if (lines.eof() && !report.empty() && report.back() != '\n') break;  // cut off by the kill
      std::istringstream words(l);
      std::string tag;
      words >> tag;
      if (tag == "B") {
        Call c;
        words >> c.op >> c.key >> c.value;
        pending = c;
      } else if (tag == "A" && pending) {
        int status = -1;
        words >> status;
        if (pending->op == 'W') {
          ASSERT_EQ(status, 0) << "write of " << pending->key;
          expected[pending->key] = pending->value;
        } else if (status == 0) {
          expected[pending->key] = std::nullopt;
        } else {
          ASSERT_EQ(status, FHS_NORECORD) << "delete of " << pending->key;
        }
        pending.reset();
      }
    }

    // Repair as a user would: RECOVER or PACK, and PACK after a RECOVER
    // when VERIFY still finds the file set unsound (the header count short
    // of the records, or, in variable-length files, an index entry that
    // VERIFY cannot read back).
    if (kill_no % 2 == 0) {
      ASSERT_EQ(run(FM_RECOVER, "C"), 0) << window_.lines[corvex::kFmMessage];
      recovered++;
      const int verified = run(FM_VERIFY, "C");
      if (verified == FHS_READDATA || (verified == FHS_READINDEX && strstr(desc, "varlen"))) {
        ASSERT_EQ(run(FM_PACK, "C"), 0) << window_.lines[corvex::kFmMessage];
        repacked++;
      }
    } else {
      ASSERT_EQ(run(FM_PACK, "C"), 0) << window_.lines[corvex::kFmMessage];
      packed++;
    }
    ASSERT_EQ(run(FM_VERIFY, "C"), 0) << "after kill " << kill_no << ": " << window_.lines[corvex::kFmMessage];

    for (auto &[k, want] : expected) {
      std::optional<std::string> got = value_of(k);
      if (pending && pending->key == k) {
        // Either the old state or the one the call was making.
        std::optional<std::string> made =
            pending->op == 'W' ? std::optional<std::string>(pending->value) : std::nullopt;
        if (got != want && got != made) {
          lost++;
          ADD_FAILURE() << "key " << k << " under way at kill " << kill_no << ": " << got.value_or("<none>")
                        << " for " << want.value_or("<none>") << " or " << made.value_or("<none>");
        }
        want = got;
        continue;
      }
      checked++;
      if (got != want) {
        lost++;
        ADD_FAILURE() << "key " << k << " after kill " << kill_no << ": " << got.value_or("<none>") << " for "
                      << want.value_or("<none>");
      }
    }
    if (pending) {
      pending_calls++;
      if (!expected.count(pending->key)) expected[pending->key] = value_of(pending->key);
    }
  }
  printf("kills %d, records checked %d, lost %d; RECOVER %d (then PACK %d), PACK %d; calls under way %d\n", kKills,
         checked, lost, recovered, repacked, packed, pending_calls);
  EXPECT_EQ(lost, 0);
}

TEST_F(CrashTest, FixedLengthRecordsSurviveKillsAndRepairs) { kill_and_repair(kKeyedDesc); }

// A rewrite that changes a record's length moves it: the new copy is stored
// before the old one is marked deleted, so a kill between the two loses nothing.
TEST_F(CrashTest, VariableLengthRecordsSurviveKillsAndRepairs) { kill_and_repair(kVarlenDesc); }

}  // namespace
