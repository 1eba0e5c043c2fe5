#include "engine/hash/hashcache.h"

#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "engine/core/engine.h"
#include "engine/hash/hashfile.h"
#include "engine/index/keys.h"

namespace corvex {

namespace {

// What the tags of a table depend on: key 0's segments and whether the
// block keeps a temporary index (whose keys have no fingerprint).
struct KeyRules {
  uint8_t keylen = 0;
  uint8_t nsegs = 0;
  bool temporary = false;
  fhsegment seg[FID_MAXSEGS] = {};

  explicit KeyRules(const fhrequest *block) {
    const fhkeydef &key = block->keydefs[0];
    keylen = key.keylen;
    nsegs = std::min<uint8_t>(key.nsegs, FID_MAXSEGS);
    temporary = (block->mode & FH_TEMPINDEX) != 0;
    memcpy(seg, key.seg, sizeof(fhsegment) * nsegs);
  }
  bool operator==(const KeyRules &o) const {
    return keylen == o.keylen && nsegs == o.nsegs && temporary == o.temporary &&
           memcmp(seg, o.seg, sizeof(fhsegment) * nsegs) == 0;
  }
};

// The copy of one hash file's table. Every cached block of the process
// that has the file open under the same key rules and record length uses
// the one copy.
struct Table {
  Table(dev_t d, ino_t i, const KeyRules &r, uint16_t l);
  ~Table();
  Table(const Table &) = delete;
  Table &operator=(const Table &) = delete;

  const dev_t dev;
  const ino_t ino;
  const KeyRules rules;
  const uint16_t reclen;
  int open_users = 0;  // blocks with open handles that use the copy
  bool usable = true;  // false: a position came that the slots cannot hold
  std::vector<HashSlot> slots;

  // The slot for record position `pos` with `tag`; false when it cannot
  // be held.
  bool slot_for(uint32_t pos, uint16_t tag, HashSlot *out) const {
    if (pos == 0) {
      *out = HashSlot{0};
      return true;
    }
    if (pos % reclen != 0 || pos / reclen > (UINT32_MAX >> HASH_TAG_BITS)) return false;
    *out = HashSlot{(pos / reclen) << HASH_TAG_BITS | tag};
    return true;
  }
};

// Every table of the process, so that a store reaches each copy of its file.
std::vector<Table *> &tables() {
  static std::vector<Table *> all;
  return all;
}

Table::Table(dev_t d, ino_t i, const KeyRules &r, uint16_t l) : dev(d), ino(i), rules(r), reclen(l) {}

Table::~Table() {
  auto &all = tables();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

// What a block holds: the table it uses, if any.
struct Use {
  int idxfd = -1;  // the handle served; -1 while the block is parked
  std::shared_ptr<Table> table;  // null: the table could not be had, the file serves
  bool keep = false;  // survives the next release (the block is parking)
  struct stat parked_hash = {}, parked_data = {};  // the files when parked
};

std::unordered_map<const fhrequest *, Use> &uses() {
  static std::unordered_map<const fhrequest *, Use> map;
  return map;
}

bool cacheable(const fhrequest *block) {
  return (block->mode & FH_EXCLUSIVE) && !block_is_shared(block) && block->idxfd >= 0 && block->hashsize > 0 &&
         block->nkeys > 0 && block->keydefs && block->reclen > 0;
}

std::shared_ptr<Table> load(const fhrequest *block, const struct stat &st) {
  std::shared_ptr<Table> table;
  std::vector<uint32_t> pos;
  try {
    table = std::make_shared<Table>(st.st_dev, st.st_ino, KeyRules(block), block->reclen);
    pos.resize(block->hashsize);
    table->slots.resize(block->hashsize);
    tables().push_back(table.get());
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  if (hash_table_read(block, pos.data()) != FHS_OK) return nullptr;
  for (uint32_t slot = 0; slot < block->hashsize; slot++) {
    if (!table->slot_for(pos[slot], HASH_TAG_UNKNOWN, &table->slots[slot])) return nullptr;
  }
  return table;
}

// A table that blocks with open handles keep equal to the file, when one
// fits the block.
std::shared_ptr<Table> open_table_for(const fhrequest *block, const struct stat &st) {
  const KeyRules rules(block);
  for (const auto &[other, use] : uses()) {
    const Table *t = use.table.get();
    if (t && t->open_users > 0 && t->usable && t->dev == st.st_dev && t->ino == st.st_ino && t->rules == rules &&
        t->reclen == block->reclen && t->slots.size() == block->hashsize) {
      return use.table;
    }
  }
  return nullptr;
}

bool same_stamps(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// A table kept through parking serves the block's new handles when other
// blocks kept it up to date meanwhile, or when the handles name the files
// it was parked with, unchanged since.
bool resumes(const Use &use, const fhrequest *block) {
  if (!use.table || !use.table->usable) return false;
  if (use.table->open_users > 0) return true;
  struct stat hash, data;
  return fstat(block->idxfd, &hash) == 0 && fstat(block->datfd, &data) == 0 && same_stamps(hash, use.parked_hash) &&
         same_stamps(data, use.parked_data);
}

// Gives the block's new handles a table: the one it parked with, one that
// other blocks use, or one read from the file. Null when none can be had.
Table *attach(Use *use, const fhrequest *block) {
  if (!resumes(*use, block)) {
    use->table.reset();
    struct stat st;
    if (fstat(block->idxfd, &st) != 0) return nullptr;
    use->table = open_table_for(block, st);
    if (!use->table) use->table = load(block, st);
  }
  use->idxfd = block->idxfd;
  if (use->table) use->table->open_users++;
  return use->table.get();
}

void follow(Table *table, uint32_t slot, uint32_t pos, uint16_t tag) {
  if (slot < table->slots.size() && !table->slot_for(pos, tag, &table->slots[slot])) table->usable = false;
}

void drop_use(std::unordered_map<const fhrequest *, Use>::iterator it) {
  if (it->second.table && it->second.idxfd >= 0) it->second.table->open_users--;
  uses().erase(it);
}

}  // namespace

uint16_t hash_key_tag(const fhrequest *block, const char *key) {
  uint32_t fp;
  if (!key0_fingerprint(block, key, &fp)) return HASH_TAG_UNKNOWN;
  // Folded to the tag's bits and kept clear of the two reserved tags.
  uint16_t tag = static_cast<uint16_t>((fp ^ (fp >> 16)) & HASH_TAG_MASK);
  return tag > HASH_TAG_UNKNOWN ? tag : static_cast<uint16_t>(tag + 2);
}

HashSlot *hash_cached_slots(fhrequest *block) {
  auto &map = uses();
  if (!cacheable(block)) {
    if (!map.empty()) {
      auto it = map.find(block);
      if (it != map.end()) drop_use(it);
    }
    return nullptr;
  }
  Use *use;
  try {
    use = &map[block];
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
  Table *table;
  if (use->idxfd == block->idxfd) {
    table = use->table.get();
  } else {
    if (use->idxfd >= 0 && use->table) use->table->open_users--;
    table = attach(use, block);
  }
  return table && table->usable ? table->slots.data() : nullptr;
}

int hash_cached_slot_store(fhrequest *block, uint32_t slot, uint32_t pos, uint16_t tag) {
  int status = hash_slot_write(block, slot, pos);
  auto &all = tables();
  if (all.empty()) return status;
  if (status != FHS_OK) {
    // What the slot holds on file is not known now: no copy serves again.
    uses().clear();
    return status;
  }
  // The block's own table tells which file it is without asking the system.
  const Table *own = nullptr;
  auto it = uses().find(block);
  if (it != uses().end() && it->second.idxfd == block->idxfd) own = it->second.table.get();
  dev_t dev;
  ino_t ino;
  if (own) {
    dev = own->dev;
    ino = own->ino;
  } else {
    struct stat st;
    if (fstat(block->idxfd, &st) != 0) {
      uses().clear();
      return status;
    }
    dev = st.st_dev;
    ino = st.st_ino;
  }
  for (Table *t : all) {
    if (t->dev == dev && t->ino == ino) follow(t, slot, pos, t == own ? tag : HASH_TAG_UNKNOWN);
  }
  return status;
}

void hash_cache_park(const fhrequest *block) {
  auto it = uses().find(block);
  if (it == uses().end()) return;
  Use &use = it->second;
  use.keep = use.table && use.idxfd == block->idxfd && fstat(block->idxfd, &use.parked_hash) == 0 &&
             fstat(block->datfd, &use.parked_data) == 0;
}

void hash_cache_release(const fhrequest *block) {
  auto it = uses().find(block);
  if (it == uses().end()) return;
  Use &use = it->second;
  if (!use.keep) {
    drop_use(it);
    return;
  }
  use.keep = false;
  if (use.idxfd >= 0) use.table->open_users--;
  use.idxfd = -1;
}

}  // namespace corvex
