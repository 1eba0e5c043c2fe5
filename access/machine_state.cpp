#include "access/machine_state.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace lumbra {
namespace {

constexpr uint32_t kMagic = 0x4C554D31;  // "LUM1": the layout below

struct SharedBlock {
  std::atomic<uint32_t> ready;  // kMagic once the creator has set the mutex up
  pthread_mutex_t mutex;
  uint8_t counter;
  uint8_t last_status[kMaxClient + 1];
};

// Maps the shared block, creating and initialising it when this process is the
// first. Returns null when shared memory is not available.
SharedBlock *map_shared(const std::string &name) {
  bool created = true;
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = shm_open(name.c_str(), O_RDWR, 0600);
  }
  if (fd < 0) return nullptr;
  if (created && ftruncate(fd, sizeof(SharedBlock)) != 0) {
    close(fd);
    shm_unlink(name.c_str());
    return nullptr;
  }
  // Another process may have created the object a moment ago: wait until it
  // has its full size and its mutex is ready.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  struct stat st {};
  while (!created) {
    if (fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof(SharedBlock))) break;
    if (std::chrono::steady_clock::now() > deadline) {
      close(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  void *p = mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (p == MAP_FAILED) return nullptr;
  auto *block = static_cast<SharedBlock *>(p);
  if (created) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&block->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    block->ready.store(kMagic, std::memory_order_release);
    return block;
  }
  while (block->ready.load(std::memory_order_acquire) != kMagic) {
    if (std::chrono::steady_clock::now() > deadline) {
      munmap(p, sizeof(SharedBlock));
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return block;
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
    s.block = map_shared(machine_state_name());
    s.shared = s.block != nullptr;
    if (!s.shared) s.block = &s.local;
  });
  return s;
}

// Holds the shared mutex for one change. A holder that died leaves the mutex
// owner-dead; the data it guards are single bytes, always consistent, so the
// mutex is simply marked consistent again.
class Guard {
 public:
  explicit Guard(State &s) : s_(s) {
    if (!s_.shared) return;
    if (pthread_mutex_lock(&s_.block->mutex) == EOWNERDEAD)
      pthread_mutex_consistent(&s_.block->mutex);
  }
  ~Guard() {
    if (s_.shared) pthread_mutex_unlock(&s_.block->mutex);
  }
  Guard(const Guard &) = delete;
  Guard &operator=(const Guard &) = delete;

 private:
  State &s_;
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
