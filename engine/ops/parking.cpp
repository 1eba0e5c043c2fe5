#include "engine/ops/parking.h"

#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/hash/hashcache.h"
#include "engine/hash/hashfile.h"
#include "engine/index/index.h"
#include "engine/ops/fileset.h"
#include "engine/sharing/locks.h"
#include "util/fastfile.h"

namespace corvex {

namespace {

uint32_t position_of(int fd) {
  off_t at = fd >= 0 ? lseek(fd, 0, SEEK_CUR) : -1;
  return at > 0 && at <= UINT32_MAX ? static_cast<uint32_t>(at) : 0;
}

void seek_back(int fd, uint32_t pos) {
  if (fd >= 0) lseek(fd, static_cast<off_t>(pos), SEEK_SET);
}

bool hashed(const fhrequest *block) { return (block->mode & FH_HASHED) != 0; }

// Opens what the handles alone do not restore: the hash header's size index
// or a lost index context. A set that holds its index keeps it also when
// set-key 0 turned keys off before it was parked.
int reattach_index(const fhslot *slot) {
  fhrequest *block = slot->block;
  if (!(slot->openflags & OPEN_INDEX)) return FHS_OK;
  if (hashed(block)) return block->hashidx == 0 ? hash_check(block) : FHS_OK;
  return block->idxctx ? FHS_OK : index_open(block);
}

// Closing a handle drops the record lock taken through it: take it again.
void relock_record(fhrequest *block) {
  if (block->lockpos != 0 && dlock(block, block->lockpos) != 0) block->lockpos = 0;
}

fhslot *least_recently_used(bool force) {
  fhslot *pick = nullptr;
  for (fhslot *s = engine().openlist ? engine().openlist->next : nullptr; s; s = s->next) {
    if (s->state != SLOT_OPEN) continue;
    if (!force && ((s->block->mode & FH_EXCLUSIVE) || s->block->lockpos != 0)) continue;
    if (!pick || s->age >= pick->age) pick = s;
  }
  return pick;
}

int park_slot(fhslot *slot) {
  fhrequest *block = slot->block;
  if (slot->state != SLOT_OPEN) return FHS_OK;
  // Cached nodes are keyed by handle, and the handle number may be reused by
  // another file once it is closed: write them back first.
  int flushed = index_flush_nodes(block);
  slot->datpos = position_of(block->datfd);
  slot->idxpos = position_of(block->idxfd);
  slot->state = SLOT_PARKED;
  hash_cache_park(block);
  int status = fileset_close_handles(block);
  return status != FHS_OK ? status : flushed;
}

}  // namespace

int park_block(fhrequest *block) {
  fhslot *slot = openlist_find(block);
  return slot ? park_slot(slot) : FHS_NOTOPEN;
}

int reopen_slot(fhslot *slot) {
  fhrequest *block = slot->block;
  int status = fileset_open_handles(block, slot->openflags);
  if (status != FHS_OK) return status;
  status = reattach_index(slot);
  if (status != FHS_OK) {
    fileset_close_handles(block);
    return status;
  }
  seek_back(block->datfd, slot->datpos);
  seek_back(block->idxfd, slot->idxpos);
  relock_record(block);
  slot->state = SLOT_OPEN;
  return FHS_OK;
}

int closelru(int force) {
  fhslot *slot = least_recently_used(force != 0);
  if (!slot) return -1;
  fhrequest *block = slot->block;
  bool written = block_is_shared(block) || fileset_write_headers(block) == FHS_OK;
  park_slot(slot);
  // A header that could not be written stays pending for close to retry.
  if (written) block->state &= static_cast<uint16_t>(~ST_HDRDIRTY);
  return 0;
}

}  // namespace corvex

using namespace corvex;

int32_t _closelru(int32_t force) { return closelru(force); }

int32_t _fhlimball(void) {
  while (closelru(1) == 0) {
  }
  return -1;
}

int32_t _rfhlimbo(fhrequest *block) {
  if (!block) return -1;
  int status = park_block(block);
  block->status = static_cast<uint8_t>(status);
  return status == FHS_OK ? 0 : -1;
}

int32_t _fastlruopen(const char *name, int32_t flags, int32_t mode) {
  for (int attempt = 0; attempt < 2; attempt++) {
    int slot = _fastopen(name, flags, mode);
    if (slot >= 0) return slot;
    if (attempt == 0) closelru(0);
  }
  return -1;
}

