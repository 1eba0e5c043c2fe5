// Fault injection through the seam of the engine's file calls
// (util/fault_seam.h): scripted runs of adds, rewrites (which move
// variable-length records) and deletes on fixed-length, variable-length and
// hashed tables, in the single-user mode and in MSNET, each meeting one
// fault at its Nth write, truncation, sync or rename, for every N:
//   - a kill just before the call;
//   - EIO or ENOSPC, once or from then on until the run has ended (then the
//     fault stops and the same process writes again);
//   - a torn write (only half its bytes reach the file) that fails with
//     ENOSPC, as a full disk leaves it.
// Then the table must open with 0 (nothing needs a command), every record
// whose operation returned 0 must be found by key with its value, no entry
// may lead to a record that does not hold its key, and new writes must
// succeed. Maintenance (RECOVER, PACK, PACK in key order) meets the same
// faults: a failure is never answered with 0, and the table opens whole
// afterwards.
//
// The bounded run steps over N; CORVEX_FAULT_RUNS=N (scripts/faults) asks
// for at least N faults per mode and table kind, with new scripts as needed,
// and every N of maintenance.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/maintenance/filemaint.h"
#include "tests/support/data_fixture.h"
#include "tests/engine/recovery.h"
#include "tests/support/scratch.h"
#include "util/fault_seam.h"

namespace {

using corvex::FaultAction;
using corvex::FileCall;

// ---- The fault, as the child process meets it --------------------------

enum Fault { KILL, EIO_ONCE, ENOSPC_ONCE, EIO_ALWAYS, ENOSPC_ALWAYS, TORN, kFaults };
const char *const kFaultNames[] = {"kill", "EIO once", "ENOSPC once", "EIO always", "ENOSPC always", "torn"};

Fault g_fault = KILL;
long g_at = 0;         // the 1-based call that meets the fault; 0 = none
long g_calls = 0;      // write, truncation, sync and rename calls so far
bool g_over = false;   // the fault has stopped (a full disk has room again)
bool g_hit = false;    // a fault was injected

FaultAction inject(FileCall call, size_t len) {
  FaultAction none;
  if (call == FileCall::kRead) return none;
  long n = ++g_calls;
  if (g_at == 0 || g_over) return none;
  bool always = g_fault == EIO_ALWAYS || g_fault == ENOSPC_ALWAYS;
  if (n < g_at || (n > g_at && !always)) return none;
  g_hit = true;
  FaultAction act;
  switch (g_fault) {
    case KILL: raise(SIGKILL); break;
    case EIO_ONCE:
    case EIO_ALWAYS: act.error = EIO; break;
    case ENOSPC_ONCE:
    case ENOSPC_ALWAYS: act.error = ENOSPC; break;
    case TORN:
      if (call == FileCall::kWrite && len > 1) {
        act.keep = len / 2;
      } else {
        act.error = EIO;
      }
      break;
    default: break;
  }
  return act;
}

// ---- The tables and their scripts --------------------------------------

struct Kind {
  Layout layout;
  bool hashed;
};

const Kind kKinds[] = {
    {kFixed, false},
    {kVarlen, false},
    {{"hashed", "length 34\nhashed 281\nitem ID C 0 6\nitem VALUE C 6 8\nitem NOTE C 14 20\nkey ID\n", 1, 7, 15},
     true},
};
const char *const kModes[] = {"SINGLE", "MSNET"};

constexpr int kBase = 30;  // records the table starts with
constexpr int kOps = 24;   // operations of a script

struct Op {
  enum What { WRITE, DELETE } what;
  std::string id;
  std::string value;
  int note = 1;  // length of NOTE: a longer one moves a variable-length record
};

// A script from `seed`: adds of new IDs, rewrites of existing ones with
// notes of other lengths, deletes (none on a hashed table, whose slots are
// never freed).
std::vector<Op> script(unsigned seed, bool hashed) {
  std::mt19937 random(seed);
  std::vector<Op> ops;
  int next = kBase;
  for (int i = 0; i < kOps; i++) {
    unsigned r = random() % 4;
    int value = static_cast<int>(random() % 90000000);
    int note = 1 + static_cast<int>(random() % 20);
    if (r == 0 && !hashed) {
      ops.push_back({Op::DELETE, field(static_cast<int>(random() % kBase), 6), "", 1});
    } else if (r == 1) {
      ops.push_back({Op::WRITE, field(next++, 6), field(value, 8), note});
    } else {
      ops.push_back({Op::WRITE, field(static_cast<int>(random() % next), 6), field(value, 8), note});
    }
  }
  return ops;
}

int run_op(Table &t, const Layout &l, const Op &op) {
  t.clear();
  t.put(l.id_at, op.id);
  if (op.what == Op::DELETE) return t.op(FHOP_DELETE);
  t.put(l.value_at, op.value);
  t.put(l.note_at, std::string(static_cast<size_t>(op.note), 'n'));
  return t.op(FHOP_WRITE);
}

// What each ID may hold: the values of the operations that may have
// happened since the last one that returned 0 ("" = no record).
using Model = std::map<std::string, std::set<std::string>>;

void apply(Model *m, const Op &op, bool surely) {
  std::string now = op.what == Op::DELETE ? "" : op.value;
  auto &may = (*m)[op.id];
  if (surely) may.clear();
  if (may.empty() && !surely) may.insert("");  // a new ID may still be missing
  may.insert(now);
}

// ---- The run ------------------------------------------------------------

// Messages from the child: the operation index and its status.
struct Ack {
  int index;
  int status;
};
constexpr int kStarted = -1;
constexpr int kAgain = 1000;  // the writes after the fault stopped
constexpr int kClosed = 2000;
constexpr int kCalls = 3000;  // the calls a run made (in status)

struct Figures {
  long faults = 0;
  long checked = 0;
  long lost = 0;
  long needing_command = 0;
  long silent = 0;  // failures answered with 0
};

class FaultsTest : public ::testing::Test {
 protected:
  void make_base(const Kind &kind) {
    kind_ = &kind;
    write_fid(base_.path("T.fid"), kind.layout.description);
    EngineSession session;
    Table t;
    ASSERT_EQ(t.make(base_.path("T.dat")), FHS_OK);
    for (int i = 0; i < kBase; i++) {
      ASSERT_EQ(run_op(t, kind.layout, {Op::WRITE, field(i, 6), field(i * 1000 + 7, 8), 1 + i % 7}), FHS_OK);
    }
    ASSERT_EQ(t.close(), FHS_OK);
  }

  void restore() {
    for (auto &entry : std::filesystem::directory_iterator(work_.path(""))) std::filesystem::remove(entry.path());
    for (auto &entry : std::filesystem::directory_iterator(base_.path(""))) {
      std::filesystem::copy_file(entry.path(), work_.path(entry.path().filename()));
    }
  }

  std::string dat() const { return work_.path("T.dat"); }

  // Runs `ops` in a child meeting `fault` at call `at` (0: none).
  std::vector<Ack> run_child(const char *mode, const std::vector<Op> &ops, Fault fault, long at) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      auto ack = [&](int index, int status) {
        Ack a{index, status};
        if (write(fds[1], &a, sizeof a) != static_cast<ssize_t>(sizeof a)) _exit(5);
      };
      EngineSession session(mode);
      Table t;
      if (t.open(dat()) != FHS_OK) _exit(2);
      ack(kStarted, 0);
      g_fault = fault;
      g_at = at;
      corvex::fault_hook_set(inject);
      for (int i = 0; i < static_cast<int>(ops.size()); i++) ack(i, run_op(t, kind_->layout, ops[i]));
      // The fault stops: a full disk got room again. The same handle writes.
      g_over = true;
      ack(kAgain, run_op(t, kind_->layout, {Op::WRITE, "900000", "00000001", 3}));
      ack(kAgain + 1, run_op(t, kind_->layout, {Op::WRITE, "900000", "00000002", 12}));
      ack(kClosed, t.close());
      ack(kCalls, static_cast<int>(g_calls));
      corvex::fault_hook_set(nullptr);
      _exit(g_hit ? 1 : 0);
    }
    close(fds[1]);
    std::vector<Ack> acks;
    Ack a;
    while (read(fds[0], &a, sizeof a) == static_cast<ssize_t>(sizeof a)) acks.push_back(a);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    bool ended = WIFEXITED(status) && WEXITSTATUS(status) <= 1;
    EXPECT_TRUE(ended || (killed && fault == KILL)) << "child status " << status;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1) figures_.faults++;
    if (killed) figures_.faults++;
    return acks;
  }

  // Checks the table after a run of `ops` that sent `acks`.
  void check(const char *mode, const std::vector<Op> &ops, const std::vector<Ack> &acks) {
    Model model;
    for (int i = 0; i < kBase; i++) model[field(i, 6)] = {field(i * 1000 + 7, 8)};
    std::map<int, int> status;
    for (const Ack &a : acks) status[a.index] = a.status;
    for (int i = 0; i < static_cast<int>(ops.size()); i++) {
      auto it = status.find(i);
      apply(&model, ops[i], it != status.end() && it->second == FHS_OK);
    }
    // Once the fault stopped, writes must succeed again.
    if (status.count(kAgain)) {
      EXPECT_EQ(status[kAgain], FHS_OK) << "a write after the fault stopped";
      EXPECT_EQ(status[kAgain + 1], FHS_OK) << "a write after the fault stopped";
      EXPECT_EQ(status[kClosed], FHS_OK) << "the close after the fault stopped";
      model["900000"] = {"00000002"};
    }
    check_model(mode, model);
  }

  // Opens the table and checks it against `model`.
  void check_model(const char *mode, const Model &model) {
    const Layout &l = kind_->layout;
    EngineSession session(mode);
    Table t;
    int opened = t.open(dat());
    if (opened != FHS_OK) figures_.needing_command++;
    ASSERT_EQ(opened, FHS_OK) << "the table needs a command to open";
    if (!kind_->hashed) {
      for (int k = 0; k < t.block.nkeys; k++) {
        std::string fault;
        checked_entries(&t.block, k, &fault);
        ASSERT_EQ(fault, "") << "key " << k;
      }
    }
    for (const auto &[id, may] : model) {
      figures_.checked++;
      ASSERT_EQ(t.setkey(1), FHS_OK);
      t.block.mode |= FH_EXACT;
      ASSERT_EQ(t.position_key(id), FHS_OK);
      bool found = t.positioned() && t.op(FHOP_READ) == FHS_OK && t.block.recbuf[0] == ' ';
      t.block.mode &= static_cast<uint16_t>(~FH_EXACT);
      std::string got = found ? t.get(l.value_at, 8) : "";
      if (!may.count(got)) {
        figures_.lost++;
        ADD_FAILURE() << mode << ": " << id << (found ? " holds " + got : " is missing");
      }
    }
    ASSERT_EQ(run_op(t, l, {Op::WRITE, "999999", "00000001", 2}), FHS_OK);
    ASSERT_EQ(run_op(t, l, {Op::WRITE, "999999", "00000002", 15}), FHS_OK);
    EXPECT_EQ(t.close(), FHS_OK);
  }

  // Every fault at every `stride`th call of scripts from `seed` on, until
  // `want` faults were injected (one script when `want` is 0).
  void sweep(const Kind &kind, const char *mode, int stride, long want) {
    make_base(kind);
    const Figures start = figures_;
    for (unsigned seed = 1;; seed++) {
      std::vector<Op> ops = script(seed, kind.hashed);
      restore();
      std::vector<Ack> clean = run_child(mode, ops, KILL, 0);
      ASSERT_FALSE(clean.empty());
      ASSERT_EQ(clean.back().index, kCalls);
      long calls = clean.back().status;
      for (int f = 0; f < kFaults && !HasFatalFailure(); f++) {
        for (long at = 1 + seed % stride; at <= calls && !HasFatalFailure(); at += stride) {
          restore();
          SCOPED_TRACE(std::string(kind.layout.name) + " " + mode + " seed " + std::to_string(seed) + ": " +
                       kFaultNames[f] + " at call " + std::to_string(at));
          check(mode, ops, run_child(mode, ops, static_cast<Fault>(f), at));
        }
      }
      if (HasFatalFailure() || figures_.faults - start.faults >= want) break;
    }
    printf("faults (%s, %s): %ld faults injected, %ld records checked, %ld lost, %ld needing a command\n",
           kind.layout.name, mode, figures_.faults - start.faults, figures_.checked - start.checked,
           figures_.lost - start.lost, figures_.needing_command - start.needing_command);
    fflush(stdout);
  }

  void sweep_all(int stride) {
    const char *runs = getenv("CORVEX_FAULT_RUNS");
    long want = runs ? atol(runs) : 0;
    if (want > 0) stride = 1;
    for (const Kind &kind : kKinds) {
      for (const char *mode : kModes) {
        sweep(kind, mode, stride, want);
        if (HasFatalFailure()) return;
      }
    }
    EXPECT_EQ(figures_.lost, 0);
    EXPECT_EQ(figures_.needing_command, 0);
  }

  // Maintenance meeting each fault at each `stride`th call: RECOVER, then
  // PACK, on the table a whole script left (with deleted records).
  void sweep_maintenance(const Kind &kind, int stride) {
    make_base(kind);
    std::vector<Op> ops = script(7, kind.hashed);
    restore();
    std::vector<Ack> clean = run_child("SINGLE", ops, KILL, 0);
    for (auto &entry : std::filesystem::directory_iterator(work_.path(""))) {
      std::filesystem::copy_file(entry.path(), base_.path(entry.path().filename()),
                                 std::filesystem::copy_options::overwrite_existing);
    }
    Model model;
    for (int i = 0; i < kBase; i++) model[field(i, 6)] = {field(i * 1000 + 7, 8)};
    for (int i = 0; i < static_cast<int>(ops.size()); i++) apply(&model, ops[i], clean[i + 1].status == FHS_OK);
    model["900000"] = {"00000002"};
    const Figures start = figures_;
    restore();
    long calls = maintain(KILL, 0);
    for (int f = 0; f < kFaults && !HasFatalFailure(); f++) {
      for (long at = 1; at <= calls && !HasFatalFailure(); at += stride) {
        restore();
        SCOPED_TRACE(std::string(kind.layout.name) + " maintenance: " + kFaultNames[f] + " at call " +
                     std::to_string(at));
        maintain(static_cast<Fault>(f), at);
        check_model("SINGLE", model);
        EXPECT_EQ(filemaint(FM_VERIFY, dat().c_str(), "", "", "", 0, nullptr), 0) << "VERIFY after the run";
      }
    }
    printf("faults (%s, maintenance): %ld faults injected, %ld records checked, %ld lost, %ld needing a command, "
           "%ld failures answered with 0\n",
           kind.layout.name, figures_.faults - start.faults, figures_.checked - start.checked,
           figures_.lost - start.lost, figures_.needing_command - start.needing_command,
           figures_.silent - start.silent);
    fflush(stdout);
  }

  // RECOVER, PACK and PACK in key order in a child meeting `fault` at call
  // `at`; a failure injected into a run that then answers 0 is counted as
  // silent. Returns the calls the three runs made.
  long maintain(Fault fault, long at) {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      g_fault = fault;
      g_at = at;
      corvex::fault_hook_set(inject);
      long silent = 0;
      const std::pair<int, int> runs[] = {{FM_RECOVER, 0}, {FM_PACK, 0}, {FM_PACK, FM_BYKEY}};
      for (auto [action, flags] : runs) {
        g_hit = false;
        int status = filemaint(action, dat().c_str(), "", "", "", flags, nullptr);
        if (g_hit && status == 0) silent++;
      }
      corvex::fault_hook_set(nullptr);
      long out[2] = {g_calls, silent};
      if (write(fds[1], out, sizeof out) != static_cast<ssize_t>(sizeof out)) _exit(5);
      _exit(at != 0 && g_at <= g_calls ? 1 : 0);
    }
    close(fds[1]);
    long out[2] = {0, 0};
    bool reported = read(fds[0], out, sizeof out) == static_cast<ssize_t>(sizeof out);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (at != 0 && (WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 1))) figures_.faults++;
    EXPECT_TRUE(reported || (fault == KILL && WIFSIGNALED(status))) << "child status " << status;
    EXPECT_EQ(out[1], 0) << "a failure answered with 0";
    figures_.silent += out[1];
    return out[0];
  }

  const Kind *kind_ = &kKinds[0];
  // In memory: every run syncs its files many times.
  Scratch base_{memory_base()};
  Scratch work_{memory_base()};
  Figures figures_;
};

TEST_F(FaultsTest, EveryFaultLeavesTablesWholeAndNothingAcknowledgedLost) {
  ASSERT_TRUE(corvex::fault_hook_set(nullptr)) << "the test tree is built without the fault seam";
  sweep_all(3);
}

TEST_F(FaultsTest, MaintenanceReportsEveryFaultAndLeavesTablesWhole) {
  for (const Kind &kind : kKinds) {
    sweep_maintenance(kind, getenv("CORVEX_FAULT_RUNS") ? 1 : 4);
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(figures_.lost, 0);
  EXPECT_EQ(figures_.needing_command, 0);
}

}  // namespace
