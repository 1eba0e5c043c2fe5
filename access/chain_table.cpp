#include "access/chain_table.h"

#include <pthread.h>

#include <cstdio>
#include <mutex>

#include "access/machine_state.h"
#include "util/robust_mutex.h"
#include "util/shared_memory.h"

namespace lumbra {
namespace {

constexpr uint32_t kMagic = 0x4C434831;  // "LCH1": the layout below

// A slot byte is 1 while the slot's block exists. A program that died in the
// middle of a change can leave a slot marked whose block is missing (it reads
// as empty) or a block whose slot is clear (the next store replaces it).
struct ClientChain {
  uint8_t busy;
  uint8_t data[kChainSlots];
  uint8_t files[kChainSlots];
};

struct Tables {
  uint32_t ready;  // kMagic once the mutex is set up
  pthread_mutex_t mutex;
  ClientChain clients[kMaxClient + 1];
};

std::string tables_name() { return machine_state_name() + "-chain"; }

Tables *tables() {
  static Tables *mapped = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    corvex::SharedRefusal why;
    std::string name = tables_name();
    mapped = static_cast<Tables *>(corvex::map_shared(
        name, sizeof(Tables),
        [](void *r) {
          auto *t = static_cast<Tables *>(r);
          if (t->ready == kMagic) return true;
          if (!corvex::init_robust_mutex(&t->mutex)) return false;
          t->ready = kMagic;
          return true;
        },
        &why));
    if (why == corvex::SharedRefusal::kNotPrivate)
      fprintf(stderr, "lumbra: /dev/shm%s belongs to another user or is not private; nothing is handed over\n",
              name.c_str());
  });
  return mapped;
}

bool valid(uint8_t client, int slot) { return client <= kMaxClient && slot >= 0 && slot < kChainSlots; }

uint8_t &slot_byte(Tables &t, uint8_t client, ChainKind kind, int slot) {
  ClientChain &c = t.clients[client];
  return kind == ChainKind::kData ? c.data[slot] : c.files[slot];
}

std::string block_name(uint8_t client, ChainKind kind, int slot) {
  return tables_name() + "-" + std::to_string(client) + static_cast<char>(kind) + std::to_string(slot);
}

// Removes the block of a slot in use; the caller holds the mutex.
void release_locked(Tables &t, uint8_t client, ChainKind kind, int slot) {
  uint8_t &used = slot_byte(t, client, kind, slot);
  if (used) corvex::remove_shared(block_name(client, kind, slot));
  used = 0;
}

}  // namespace

bool chain_set_busy(uint8_t client, uint8_t busy) {
  Tables *t = tables();
  if (t == nullptr || client > kMaxClient) return false;
  corvex::RobustLock lock(&t->mutex);
  if (!lock.held()) return false;
  t->clients[client].busy = busy;
  return true;
}

uint8_t chain_busy(uint8_t client) {
  Tables *t = tables();
  if (t == nullptr || client > kMaxClient) return 0;
  corvex::RobustLock lock(&t->mutex);
  return lock.held() ? t->clients[client].busy : 0;
}

bool chain_store(uint8_t client, ChainKind kind, int slot, const void *data, size_t size) {
  Tables *t = tables();
  if (t == nullptr || !valid(client, slot)) return false;
  corvex::RobustLock lock(&t->mutex);
  if (!lock.held()) return false;
  release_locked(*t, client, kind, slot);
  if (!corvex::write_block(block_name(client, kind, slot), data, size)) return false;
  slot_byte(*t, client, kind, slot) = 1;
  return true;
}

bool chain_read(uint8_t client, ChainKind kind, int slot, size_t max, std::string *bytes) {
  Tables *t = tables();
  if (t == nullptr || !valid(client, slot)) return false;
  corvex::RobustLock lock(&t->mutex);
  if (!lock.held() || !slot_byte(*t, client, kind, slot)) return false;
  return corvex::read_block(block_name(client, kind, slot), max, bytes);
}

void chain_release(uint8_t client, ChainKind kind, int slot) {
  Tables *t = tables();
  if (t == nullptr || !valid(client, slot)) return;
  corvex::RobustLock lock(&t->mutex);
  if (lock.held()) release_locked(*t, client, kind, slot);
}

void chain_release_all(uint8_t client) {
  Tables *t = tables();
  if (t == nullptr || client > kMaxClient) return;
  corvex::RobustLock lock(&t->mutex);
  if (!lock.held()) return;
  for (int slot = 0; slot < kChainSlots; ++slot) {
    release_locked(*t, client, ChainKind::kData, slot);
    release_locked(*t, client, ChainKind::kFile, slot);
  }
  t->clients[client].busy = 0;
}

}  // namespace lumbra
