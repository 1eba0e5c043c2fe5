#include "util/msgqueue.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "util/msgqueue_admin.h"
#include "util/robust_mutex.h"
#include "util/shared_memory.h"
#include "util/text.h"

namespace {

constexpr uint32_t kEntries = 1000;
constexpr uint32_t kMagic = 0x51564352;  // set once the ring is ready

struct Entry {
  int16_t id;
  int32_t tag;
  uint64_t block;  // number in the name of the text block
};

// The ring is empty when read == write and full when write is one behind read.
struct Ring {
  std::atomic<uint32_t> magic;
  uint32_t size;  // sizeof(Ring), so that a ring of another layout is refused
  pthread_mutex_t mutex;
  uint32_t read;
  uint32_t write;
  uint64_t next_block;
  Entry entries[kEntries];
};

uint32_t next(uint32_t i) { return (i + 1) % kEntries; }
uint32_t previous(uint32_t i) { return (i + kEntries - 1) % kEntries; }

std::string prefix() {
  const char *p = std::getenv("CORVEX_SHM_PREFIX");
  std::string s = p && *p ? p : "/corvex";
  return s[0] == '/' ? s : "/" + s;
}

std::string ring_name() { return prefix() + "-queue-" + std::to_string(getuid()); }

std::string block_name(uint64_t block) {
  return prefix() + "-text-" + std::to_string(getuid()) + "-" + std::to_string(block);
}

bool prepare(void *region) {
  Ring *r = static_cast<Ring *>(region);
  if (r->magic.load(std::memory_order_acquire) == kMagic) return r->size == sizeof(Ring);
  // Never set up, or its maker died while setting it up: the flock held by
  // map_shared makes this process the only one here.
  r->size = sizeof(Ring);
  r->read = r->write = 0;
  r->next_block = 0;
  if (!corvex::init_robust_mutex(&r->mutex)) return false;
  r->magic.store(kMagic, std::memory_order_release);
  return true;
}

// The process's mapping of the queue for the current name prefix.
struct Mapping {
  std::string name;
  Ring *ring = nullptr;
};

Mapping &mapping() {
  static Mapping m;
  return m;
}

Ring *queue() {
  Mapping &m = mapping();
  std::string name = ring_name();
  if (m.ring && m.name == name) return m.ring;
  corvex::unmap_shared(m.ring, sizeof(Ring));
  m.ring = static_cast<Ring *>(corvex::map_shared(name, sizeof(Ring), prepare));
  m.name = name;
  return m.ring;
}

// The ring is shared with other programs: its indexes are checked before use.
bool sane(const Ring &r) { return r.read < kEntries && r.write < kEntries; }

}  // namespace

int shmem_push(int16_t id, int32_t tag, const char *text) {
  Ring *r = queue();
  if (!r) return -1;
  corvex::RobustLock lock(&r->mutex);
  if (!lock.held() || !sane(*r)) return -1;
  if (next(r->write) == r->read) return -2;
  uint64_t block = r->next_block++;
  if (!corvex::write_text_block(block_name(block), text ? text : "")) return -1;
  r->entries[r->write] = Entry{id, tag, block};
  r->write = next(r->write);
  return 0;
}

int shmem_pop(int16_t id, int32_t *tag, char *target, int max) {
  if (!tag || !target) return -1;
  Ring *r = queue();
  if (!r) return -1;
  corvex::RobustLock lock(&r->mutex);
  if (!lock.held() || !sane(*r)) return -1;
  uint32_t found = r->read;
  for (; found != r->write; found = next(found)) {
    const Entry &e = r->entries[found];
    if (e.id == id && (*tag == 0 || e.tag == *tag)) break;
  }
  if (found == r->write) return -1;

  Entry e = r->entries[found];
  std::string name = block_name(e.block);
  if (!corvex::read_text_block(name, target, max)) nstrncpy(target, "", max);
  corvex::remove_shared(name);
  *tag = e.tag;
  // The older entries move one place up into the gap; the others keep their order.
  for (uint32_t i = found; i != r->read; i = previous(i)) r->entries[i] = r->entries[previous(i)];
  r->read = next(r->read);
  return 0;
}

namespace corvex {

void remove_message_queue() {
  Mapping &m = mapping();
  if (Ring *r = queue()) {
    RobustLock lock(&r->mutex);
    if (lock.held() && sane(*r))
      for (uint32_t i = r->read; i != r->write; i = next(i)) remove_shared(block_name(r->entries[i].block));
  }
  unmap_shared(m.ring, sizeof(Ring));
  remove_shared(ring_name());
  m = Mapping{};
}

}  // namespace corvex
