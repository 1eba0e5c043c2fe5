#include "engine/hashcache.h"

#include <string.h>

#include <algorithm>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "engine/datafile.h"
#include "engine/engine.h"
#include "engine/hashfile.h"

namespace corvex {

namespace {

constexpr size_t kRecordBytesMax = size_t{64} << 20;

struct Copy {
  int datfd = -1;  // the handles the copy was made for
  int idxfd = -1;
  std::vector<uint32_t> slots;
  std::vector<char> records;   // record i (position i x reclen) at i x reclen
  std::vector<bool> present;   // which records the copy holds
};

std::unordered_map<const fhrequest *, std::unique_ptr<Copy>> &copies() {
  static std::unordered_map<const fhrequest *, std::unique_ptr<Copy>> map;
  return map;
}

bool cacheable(const fhrequest *block) {
  return !block_is_shared(block) && block->hashsize > 0 && block->reclen > 0;
}

// The block's copy with its slot table loaded, or null when the block is
// not cached (or memory or the table read fails: the file then serves).
Copy *copy_of(fhrequest *block) {
  if (!cacheable(block)) {
    hash_cache_release(block);
    return nullptr;
  }
  auto &map = copies();
  auto it = map.find(block);
  if (it != map.end() && it->second->datfd == block->datfd && it->second->idxfd == block->idxfd) {
    return it->second.get();
  }
  std::unique_ptr<Copy> copy(new (std::nothrow) Copy);
  if (!copy) return nullptr;
  copy->datfd = block->datfd;
  copy->idxfd = block->idxfd;
  copy->slots.resize(block->hashsize);
  if (hash_table_read(block, copy->slots.data()) != FHS_OK) return nullptr;
  Copy *raw = copy.get();
  map[block] = std::move(copy);
  return raw;
}

// Where the copy keeps the record at `pos`, or null past the memory bound.
char *record_room(Copy *copy, const fhrequest *block, uint32_t pos, bool grow) {
  size_t index = pos / block->reclen;
  size_t end = (index + 1) * block->reclen;
  if (end > copy->records.size()) {
    if (!grow || end > kRecordBytesMax) return nullptr;
    copy->records.resize(std::max(end, copy->records.size() * 2));
    copy->present.resize(copy->records.size() / block->reclen);
  }
  return copy->records.data() + index * block->reclen;
}

// After a failed write the copy no longer knows the record.
void forget(Copy *copy, const fhrequest *block, uint32_t pos) {
  if (record_room(copy, block, pos, false)) copy->present[pos / block->reclen] = false;
}

void remember(Copy *copy, const fhrequest *block, uint32_t pos, const char *image) {
  char *room = record_room(copy, block, pos, true);
  if (!room) return;
  memcpy(room, image, block->reclen);
  copy->present[pos / block->reclen] = true;
}

}  // namespace

int hash_cached_slot(fhrequest *block, uint32_t slot, uint32_t *pos) {
  Copy *copy = copy_of(block);
  if (!copy) return hash_slot_read(block, slot, pos);
  *pos = copy->slots[slot];
  return FHS_OK;
}

int hash_cached_slot_store(fhrequest *block, uint32_t slot, uint32_t pos) {
  int status = hash_slot_write(block, slot, pos);
  Copy *copy = status == FHS_OK ? copy_of(block) : nullptr;
  if (copy) copy->slots[slot] = pos;
  return status;
}

int hash_cached_record(fhrequest *block, uint32_t pos, char *image) {
  Copy *copy = copy_of(block);
  if (copy) {
    const char *room = record_room(copy, block, pos, false);
    if (room && copy->present[pos / block->reclen]) {
      memcpy(image, room, block->reclen);
      return FHS_OK;
    }
  }
  uint32_t len;
  int status = record_read(block, pos, image, &len);
  if (status == FHS_OK && copy) remember(copy, block, pos, image);
  return status;
}

int hash_cached_record_store(fhrequest *block, uint32_t pos, char *image) {
  int status = record_store(block, pos, image, 0, nullptr);
  Copy *copy = copy_of(block);
  if (copy && status == FHS_OK) {
    remember(copy, block, pos, image);
  } else if (copy) {
    forget(copy, block, pos);
  }
  return status;
}

int hash_cached_mark(fhrequest *block, uint32_t pos, char mark) {
  int status = data_write(block, pos, &mark, 1);
  Copy *copy = copy_of(block);
  if (!copy) return status;
  char *room = record_room(copy, block, pos, false);
  if (status != FHS_OK) {
    forget(copy, block, pos);
  } else if (room) {
    room[0] = mark;
  }
  return status;
}

void hash_cache_release(const fhrequest *block) { copies().erase(block); }

}  // namespace corvex
