// Writers killed with SIGKILL, in the shared network mode and in the
// default one: at random moments, and just before each chosen write system
// call of a fixed run of adds, rewrites and deletes. After every kill the
// table must open, every record whose write had returned must be found by
// key (after at most one rebuild of the index, when the open reports an
// unfinished update), no key may lead to a record that does not hold it, a
// walk in key order must end, and new writes must succeed.
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/recovery.h"
#include "tests/support/data_fixture.h"
#include "tests/support/scratch.h"

// ---- Fault injection: the engine's write system calls, counted ----------
//
// The test program's own pwrite and ftruncate stand in front of the C
// library's for the engine linked into it. A child that is armed counts
// them and kills itself just before the chosen one.
namespace {

long g_kill_before = 0;  // 1-based number of the write to die before; 0 = none
long g_writes = -1;      // writes counted so far; -1 = not counting

void before_write() {
  if (g_writes < 0) return;
  if (++g_writes == g_kill_before) raise(SIGKILL);
}

template <typename Fn>
Fn real(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t pwrite(int fd, const void *buf, size_t n, off_t at) {
  using Fn = ssize_t (*)(int, const void *, size_t, off_t);
  static Fn next = real<Fn>("pwrite");
  before_write();
  return next(fd, buf, n, at);
}

extern "C" int ftruncate(int fd, off_t length) noexcept {
  using Fn = int (*)(int, off_t);
  static Fn next = real<Fn>("ftruncate");
  before_write();
  return next(fd, length);
}

namespace {

constexpr int kBaseRecords = 40;
constexpr int kRunOps = 28;
constexpr int kPlacedKillsPerMode = 40;
constexpr int kRandomKillsPerMode = 10;
constexpr int kStarted = -1;  // acknowledgement sent before the first operation

// One operation of the fixed run.
struct Op {
  enum Kind { ADD, REWRITE, DELETE } kind;
  std::string id;
  std::string value;
};

// The run: adds (some into slots that deletes freed), rewrites that change
// key 1, deletes.
std::vector<Op> fixed_run() {
  std::vector<Op> ops;
  int next_id = kBaseRecords;
  for (int i = 0; i < kRunOps; i++) {
    switch (i % 4) {
      case 0:
      case 3: ops.push_back({Op::ADD, field(next_id++, 6), field(90000000 - i * 7, 8)}); break;
      case 1: ops.push_back({Op::REWRITE, field(i, 6), field(50000000 + i * 13, 8)}); break;
      default: ops.push_back({Op::DELETE, field(i + 2, 6), ""}); break;
    }
  }
  return ops;
}

using Model = std::map<std::string, std::string>;  // ID -> VALUE

Model base_model() {
  Model m;
  for (int i = 0; i < kBaseRecords; i++) m[field(i, 6)] = field(i * 1000 + 7, 8);
  return m;
}

void apply_op(Model *m, const Op &op) {
  if (op.kind == Op::DELETE) {
    m->erase(op.id);
  } else {
    (*m)[op.id] = op.value;
  }
}

int run_op(Table &t, const Layout &l, const Op &op) {
  t.clear();
  t.put(l.id_at, op.id);
  if (op.kind == Op::DELETE) return t.op(FHOP_DELETE);
  t.put(l.value_at, op.value);
  t.put(l.note_at, std::string(static_cast<size_t>(op.value.back() - '0' + 1), 'w'));
  return t.op(FHOP_WRITE);
}

class CrashTest : public ::testing::Test {
 protected:
  // Makes the table the runs start from.
  void make_base(const Layout &l) {
    layout_ = &l;
    write_fid(base_.path("T.fid"), l.description);
    EngineSession session;
    Table t;
    ASSERT_EQ(t.make(base_.path("T.dat")), FHS_OK);
    for (const auto &[id, value] : base_model()) {
      ASSERT_EQ(run_op(t, l, {Op::ADD, id, value}), FHS_OK);
    }
    ASSERT_EQ(t.close(), FHS_OK);
  }

  std::string dat() const { return work_.path("T.dat"); }

  void restore() {
    for (const char *name : {"T.dat", "T.fid", "T.idx"}) {
      std::filesystem::copy_file(base_.path(name), work_.path(name),
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }

  // Runs the fixed run in a child that acknowledges each operation whose
  // call returned. Placed: the child dies before write `kill_before`;
  // otherwise, with `kill_after` set, the parent kills it that long after
  // it started its run. Returns the number of acknowledged operations and
  // stores the writes a whole run made in *writes.
  int run_child(const char *mode, long kill_before, std::optional<std::chrono::microseconds> kill_after,
                long *writes, std::chrono::microseconds *took) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      EngineSession session(mode);
      Table t;
      int status = t.open(dat());
      auto ack = [&](int what) {
        ssize_t w = write(fds[1], &what, sizeof what);
        (void)w;
      };
      if (status != FHS_OK) _exit(2);
      ack(kStarted);
      g_kill_before = kill_before;
      g_writes = 0;
      std::vector<Op> ops = fixed_run();
      for (int i = 0; i < static_cast<int>(ops.size()); i++) {
        if (run_op(t, *layout_, ops[i]) != FHS_OK) _exit(3);
        ack(i);
      }
      if (t.close() != FHS_OK) _exit(4);
      ack(static_cast<int>(1000000 + g_writes));
      _exit(0);
    }
    close(fds[1]);
    int acked = 0;
    int what;
    auto started = std::chrono::steady_clock::now();
    bool killed = false;
    while (read(fds[0], &what, sizeof what) == static_cast<ssize_t>(sizeof what)) {
      if (what == kStarted) {
        started = std::chrono::steady_clock::now();
        if (kill_after) {
          struct timespec ts = {0, static_cast<long>(kill_after->count()) * 1000};
          nanosleep(&ts, nullptr);
          kill(pid, SIGKILL);
          killed = true;
        }
      } else if (what >= 1000000) {
        if (writes) *writes = what - 1000000;
      } else {
        acked = what + 1;
      }
    }
    if (took) *took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    bool fine = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    bool died = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    EXPECT_TRUE(fine || ((kill_before > 0 || killed) && died)) << "child status " << status;
    return acked;
  }

  // Checks the table after a run with `acked` acknowledged operations.
  void verify(const char *mode, int acked) {
    std::vector<Op> ops = fixed_run();
    Model sure = base_model();
    for (int i = 0; i < acked; i++) apply_op(&sure, ops[i]);
    // The operation in flight may have happened or not.
    std::optional<Op> flight;
    if (acked < static_cast<int>(ops.size())) flight = ops[acked];
    Model after = sure;
    if (flight) apply_op(&after, *flight);

    EngineSession session(mode);
    Table t;
    int status = t.open(dat());
    ASSERT_TRUE(status == FHS_OK || status == FHS_RECOVER) << "open answered " << status;
    if (status == FHS_RECOVER) {
      rebuilds_++;
      rebuild_index(&t.block);
    }
    // Every entry leads to a record that holds its key; key 0 reaches
    // every active record but the one in flight.
    std::map<uint32_t, std::string> active = active_records(&t.block);
    for (int k = 0; k < t.block.nkeys; k++) {
      std::string fault;
      std::vector<uint32_t> met = checked_entries(&t.block, k, &fault);
      ASSERT_EQ(fault, "") << "key " << k;
      size_t missing = active.size() - std::min(active.size(), met.size());
      EXPECT_LE(missing, flight ? 1u : 0u) << "key " << k << " misses records";
    }
    // Every acknowledged record by key, with its value.
    for (const auto &[id, value] : sure) {
      bool touched = flight && flight->id == id;
      checked_++;
      ASSERT_EQ(t.setkey(1), FHS_OK);
      t.block.mode |= FH_EXACT;
      ASSERT_EQ(t.position_key(id), FHS_OK);
      bool found = t.positioned() && t.op(FHOP_READ) == FHS_OK;
      t.block.mode &= static_cast<uint16_t>(~FH_EXACT);
      std::string got = found ? t.get(layout_->value_at, 8) : "";
      bool right = found && (got == value || (touched && after.count(id) && got == after[id]));
      if (!right && !(touched && !after.count(id) && !found)) {
        lost_++;
        ADD_FAILURE() << mode << ": record " << id << " " << (found ? "holds " + got : "not found");
      }
    }
    // A walk by key 1 ends, in order.
    ASSERT_EQ(t.setkey(2), FHS_OK);
    ASSERT_EQ(t.position_key(""), FHS_OK);
    std::string last;
    size_t steps = 0;
    while (t.positioned()) {
      ASSERT_LE(++steps, active.size() + 1) << "the walk does not end";
      ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
      std::string value = t.get(layout_->value_at, 8);
      EXPECT_LE(last, value);
      last = value;
    }
    // New writes succeed.
    ASSERT_EQ(run_op(t, *layout_, {Op::ADD, "999999", "00000001"}), FHS_OK);
    ASSERT_EQ(run_op(t, *layout_, {Op::REWRITE, "999999", "00000002"}), FHS_OK);
    ASSERT_EQ(t.setkey(1), FHS_OK);
    ASSERT_EQ(t.position_key("999999"), FHS_OK);
    ASSERT_TRUE(t.positioned());
    ASSERT_EQ(t.op(FHOP_READ), FHS_OK);
    EXPECT_EQ(t.get(layout_->value_at, 8), "00000002");
    EXPECT_EQ(t.close(), FHS_OK);
  }

  void crash_in(const Layout &l, const char *mode) {
    make_base(l);
    restore();
    long writes = 0;
    std::chrono::microseconds took{};
    ASSERT_EQ(run_child(mode, 0, std::nullopt, &writes, &took), kRunOps);
    verify(mode, kRunOps);
    ASSERT_GT(writes, 0);
    // Kills placed before writes spread over the whole run, the close's too.
    int placed = static_cast<int>(std::min<long>(writes, kPlacedKillsPerMode));
    for (int i = 0; i < placed && !HasFatalFailure(); i++) {
      long before = 1 + static_cast<long>(i) * writes / placed;
      restore();
      int acked = run_child(mode, before, std::nullopt, nullptr, nullptr);
      kills_++;
      SCOPED_TRACE(std::string(mode) + " killed before write " + std::to_string(before));
      verify(mode, acked);
    }
    unsigned seed = 12345;
    for (int i = 0; i < kRandomKillsPerMode && !HasFatalFailure(); i++) {
      seed = seed * 1103515245u + 12345u;
      auto after = std::chrono::microseconds((seed >> 8) % static_cast<unsigned>(took.count() + 1));
      restore();
      int acked = run_child(mode, 0, after, nullptr, nullptr);
      kills_++;
      SCOPED_TRACE(std::string(mode) + " killed after " + std::to_string(after.count()) + " us");
      verify(mode, acked);
    }
    printf("crash test (%s, %s): %d writes in a run; so far %d kills, %d records checked, %d lost, %d rebuilds\n",
           l.name, mode, static_cast<int>(writes), kills_, checked_, lost_, rebuilds_);
  }

  const Layout *layout_ = &kFixed;
  Scratch base_;
  Scratch work_;
  int kills_ = 0;
  int checked_ = 0;
  int lost_ = 0;
  int rebuilds_ = 0;
};

TEST_F(CrashTest, KilledWritersLoseNothingAcknowledged) {
  crash_in(kFixed, "MSNET");
  crash_in(kFixed, "SINGLE");
  EXPECT_EQ(lost_, 0);
  EXPECT_GT(rebuilds_, 0);
}

TEST_F(CrashTest, KilledWritersOfMovingRecordsLoseNothingAcknowledged) {
  crash_in(kVarlen, "MSNET");
  crash_in(kVarlen, "SINGLE");
  EXPECT_EQ(lost_, 0);
}

}  // namespace
