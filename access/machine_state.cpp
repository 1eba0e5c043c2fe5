#include "access/machine_state.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "util/robust_mutex.h"
#include "util/shared_memory.h"

namespace lumbra {
namespace {

constexpr uint32_t kMagic = 0x4C554D31;  // "LUM1": the layout below

struct SharedBlock {
  uint32_t ready;  // kMagic once the mutex is set up
  pthread_mutex_t mutex;
  uint8_t counter;
  uint8_t last_status[kMaxClient + 1];
};

// Maps the shared block, setting it up when this process is the first.
// Returns null, with the reason in *why, when it cannot be had.
SharedBlock *map_block(const std::string &name, corvex::SharedRefusal *why) {
  void *region = corvex::map_shared(
      name, sizeof(SharedBlock),
      [](void *r) {
        auto *block = static_cast<SharedBlock *>(r);
        if (block->ready == kMagic) return true;
        if (!corvex::init_robust_mutex(&block->mutex)) return false;
        block->ready = kMagic;
        return true;
      },
      why);
  return static_cast<SharedBlock *>(region);
}

// The block in use: the shared one, or this process's own when shared
// memory is unavailable; none when the shared object is refused.
struct State {
  SharedBlock *block = nullptr;
  SharedBlock local{};
  bool shared = false;
};

State &state() {
  static State s;
  static std::once_flag once;
  std::call_once(once, [] {
    corvex::SharedRefusal why;
    std::string name = machine_state_name();
    s.block = map_block(name, &why);
    s.shared = s.block != nullptr;
    if (why == corvex::SharedRefusal::kFailed) s.block = &s.local;
    if (!s.block)
      fprintf(stderr, "lumbra: /dev/shm%s %s; no client is started\n", name.c_str(),
              why == corvex::SharedRefusal::kNotPrivate ? "belongs to another user or is not private"
                                                        : "stayed locked by another program");
  });
  return s;
}

// Holds the shared mutex for one change. The data it guards are single bytes,
// always consistent, so a holder that died leaves nothing to repair.
class Guard {
 public:
  explicit Guard(State &s) : usable_(s.block != nullptr) {
    if (!s.shared) return;
    lock_.emplace(&s.block->mutex);
    usable_ = lock_->held();
  }
  bool usable() const { return usable_; }

 private:
  std::optional<corvex::RobustLock> lock_;
  bool usable_;
};

}  // namespace

uint8_t advance_client_counter(uint8_t &counter) {
  if (counter >= kMaxClient) counter = 0;
  return ++counter;
}

uint8_t machine_next_client() {
  State &s = state();
  Guard g(s);
  return g.usable() ? advance_client_counter(s.block->counter) : 0;
}

uint8_t machine_last_status(uint8_t client) {
  if (client > kMaxClient) return 0;
  State &s = state();
  Guard g(s);
  return g.usable() ? s.block->last_status[client] : 0;
}

void machine_set_last_status(uint8_t client, uint8_t status) {
  if (client > kMaxClient) return;
  State &s = state();
  Guard g(s);
  if (g.usable()) s.block->last_status[client] = status;
}

std::string machine_state_name() {
  const char *env = getenv("LUMBRA_SHM_NAME");
  if (env != nullptr && env[0] != '\0') {
    return env[0] == '/' ? std::string(env) : std::string("/") + env;
  }
  char name[32];
  snprintf(name, sizeof name, "/lumbra-%u", static_cast<unsigned>(getuid()));
  return name;
}

}  // namespace lumbra
