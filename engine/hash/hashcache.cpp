#include "engine/hash/hashcache.h"

#include <sys/stat.h>

#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "engine/core/engine.h"
#include "engine/hash/hashfile.h"
#include "engine/index/keys.h"

namespace corvex {

namespace {

struct Copy {
  int idxfd = -1;  // the handle the copy serves; -1 while the block is parked
  dev_t dev = 0;   // the hash file
  ino_t ino = 0;
  bool loaded = false;  // false: the table could not be read, the file serves
  bool keep = false;    // survives the next release (the block is parking)
  struct stat parked_hash = {}, parked_data = {};  // the files when parked
  std::vector<HashSlot> slots;
};

std::unordered_map<const fhrequest *, std::unique_ptr<Copy>> &copies() {
  static std::unordered_map<const fhrequest *, std::unique_ptr<Copy>> map;
  return map;
}

bool cacheable(const fhrequest *block) {
  return (block->mode & FH_EXCLUSIVE) && !block_is_shared(block) && block->idxfd >= 0 && block->hashsize > 0;
}

bool load(Copy *copy, fhrequest *block) {
  struct stat st;
  if (fstat(block->idxfd, &st) != 0) return false;
  copy->dev = st.st_dev;
  copy->ino = st.st_ino;
  std::vector<uint32_t> pos;
  try {
    pos.resize(block->hashsize);
    copy->slots.resize(block->hashsize);
  } catch (const std::bad_alloc &) {
    return false;
  }
  if (hash_table_read(block, pos.data()) != FHS_OK) return false;
  for (uint32_t slot = 0; slot < block->hashsize; slot++) {
    copy->slots[slot] = HashSlot{pos[slot], pos[slot] == 0 ? HASH_TAG_EMPTY : HASH_TAG_UNKNOWN};
  }
  return true;
}

bool same_stamps(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// A parked copy serves the block's new handles when they name the files it
// was parked with, unchanged since.
bool resume(Copy *copy, const fhrequest *block) {
  struct stat hash, data;
  if (copy->idxfd >= 0 || !copy->loaded || fstat(block->idxfd, &hash) != 0 || fstat(block->datfd, &data) != 0) {
    return false;
  }
  if (!same_stamps(hash, copy->parked_hash) || !same_stamps(data, copy->parked_data)) return false;
  copy->idxfd = block->idxfd;
  return true;
}

void follow(Copy *copy, uint32_t slot, uint32_t pos, uint16_t tag) {
  if (!copy->loaded || slot >= copy->slots.size()) return;
  copy->slots[slot] = HashSlot{pos, pos == 0 ? HASH_TAG_EMPTY : tag};
}

}  // namespace

uint16_t hash_key_tag(const fhrequest *block, const char *key) {
  uint32_t fp;
  if (!key0_fingerprint(block, key, &fp)) return HASH_TAG_UNKNOWN;
  // Folded to 16 bits and kept clear of the two reserved tags.
  uint16_t tag = static_cast<uint16_t>(fp ^ (fp >> 16));
  return tag > HASH_TAG_UNKNOWN ? tag : static_cast<uint16_t>(tag + 2);
}

HashSlot *hash_cached_slots(fhrequest *block) {
  auto &map = copies();
  if (!cacheable(block)) {
    if (!map.empty()) map.erase(block);
    return nullptr;
  }
  auto it = map.find(block);
  if (it != map.end() && (it->second->idxfd == block->idxfd || resume(it->second.get(), block))) {
    return it->second->loaded ? it->second->slots.data() : nullptr;
  }
  std::unique_ptr<Copy> copy(new (std::nothrow) Copy);
  if (!copy) return nullptr;
  copy->idxfd = block->idxfd;
  copy->loaded = load(copy.get(), block);
  if (!copy->loaded) copy->slots = std::vector<HashSlot>();
  Copy *raw = copy.get();
  try {
    map[block] = std::move(copy);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  return raw->loaded ? raw->slots.data() : nullptr;
}

int hash_cached_slot_store(fhrequest *block, uint32_t slot, uint32_t pos, uint16_t tag) {
  int status = hash_slot_write(block, slot, pos);
  auto &map = copies();
  if (map.empty()) return status;
  if (status != FHS_OK) {
    // What the slot holds on file is not known now.
    map.clear();
    return status;
  }
  auto own = map.find(block);
  if (own != map.end() && own->second->idxfd == block->idxfd) follow(own->second.get(), slot, pos, tag);
  if (map.size() == 1 && own != map.end()) return status;
  // Other blocks of the process may have the same hash file open.
  struct stat st;
  if (fstat(block->idxfd, &st) != 0) {
    map.clear();
    return status;
  }
  for (auto &[other, copy] : map) {
    if (other != block && copy->dev == st.st_dev && copy->ino == st.st_ino) {
      follow(copy.get(), slot, pos, HASH_TAG_UNKNOWN);
    }
  }
  return status;
}

void hash_cache_park(const fhrequest *block) {
  auto &map = copies();
  auto it = map.find(block);
  if (it == map.end()) return;
  Copy *copy = it->second.get();
  copy->keep = copy->loaded && copy->idxfd == block->idxfd && fstat(block->idxfd, &copy->parked_hash) == 0 &&
               fstat(block->datfd, &copy->parked_data) == 0;
}

void hash_cache_release(const fhrequest *block) {
  auto &map = copies();
  auto it = map.find(block);
  if (it == map.end()) return;
  if (!it->second->keep) {
    map.erase(it);
    return;
  }
  it->second->keep = false;
  it->second->idxfd = -1;
}

}  // namespace corvex
