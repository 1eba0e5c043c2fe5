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
// Returns null when shared memory is not available.
SharedBlock *map_block(const std::string &name) {
  void *region = corvex::map_shared(name, sizeof(SharedBlock), [](void *r) {
    auto *block = static_cast<SharedBlock *>(r);
    if (block->ready == kMagic) return true;
    if (!corvex::init_robust_mutex(&block->mutex)) return false;
    block->ready = kMagic;
    return true;
  });
  return static_cast<SharedBlock *>(region);
}

// The block in use: the shared one, or this process's own when sharing failed.
struct State {
  SharedBlock *block = nullptr;
  SharedBlock local{};
  bool shared = false;
};

State &state() {
  static State s;
  static std::once_flag once;
  std::call_once(once, [] {
    s.block = map_block(machine_state_name());
    s.shared = s.block != nullptr;
    if (!s.shared) s.block = &s.local;
  });
  return s;
}

// Holds the shared mutex for one change. The data it guards are single bytes,
// always consistent, so a holder that died leaves nothing to repair.
class Guard {
 public:
  explicit Guard(State &s) {
    if (s.shared) lock_.emplace(&s.block->mutex);
  }

 private:
  std::optional<corvex::RobustLock> lock_;
};

}  // namespace

uint8_t advance_client_counter(uint8_t &counter) {
  if (counter >= kMaxClient) counter = 0;
  return ++counter;
}

uint8_t machine_next_client() {
  State &s = state();
  Guard g(s);
  return advance_client_counter(s.block->counter);
}

uint8_t machine_last_status(uint8_t client) {
  if (client > kMaxClient) return 0;
  State &s = state();
  Guard g(s);
  return s.block->last_status[client];
}

void machine_set_last_status(uint8_t client, uint8_t status) {
  if (client > kMaxClient) return;
  State &s = state();
  Guard g(s);
  s.block->last_status[client] = status;
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
