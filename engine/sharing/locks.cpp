#include "engine/sharing/locks.h"

#include <chrono>
#include <thread>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/plug.h"
#include "engine/sharing/changecount.h"
#include "engine/sharing/netmode.h"
#include "util/filelock.h"

namespace corvex {

namespace {

constexpr std::chrono::milliseconds kRetryWait{20};

// Tries `tries` times (at least once) to lock the byte at `pos`.
bool lock_with_tries(fhrequest *block, uint32_t pos, uint16_t tries) {
  if (tries == 0) tries = 1;
  for (uint16_t i = 0;; i++) {
    if (dlock(block, pos) == 0) return true;
    if (i + 1 >= tries) return false;
    std::this_thread::sleep_for(kRetryWait);
  }
}

}  // namespace

int hdr_lock(fhrequest *block) {
  if (!block_may_lock(block)) return FHS_OK;
  if (!lock_with_tries(block, 0, block->hdrtries)) return FHS_HDRLOCKED;
  engine().hdrlockheld = true;
  // Another program changed the files since this block last looked: what
  // it keeps of them is read again. A read that fails here is left to the
  // operation, which reads again what it uses while the block is stale.
  const Plug &p = plug();
  if (!changes_enter(block) && p.refresh_view && p.refresh_view(block) != FHS_OK) changes_forget(block);
  return FHS_OK;
}

void hdr_unlock(fhrequest *block) {
  engine().hdrlockheld = false;
  if (!block_may_lock(block)) return;
  changes_leave(block);
  udlock(block, 0);
}

bool record_is_free(const fhrequest *block, uint32_t pos) {
  if (!block_may_lock(block) || pos == block->lockpos) return true;
  if (!netmode_places_locks()) return true;
  return !bytelock_held_elsewhere(block->datfd, pos);
}

void release_record_lock(fhrequest *block) {
  if (block_may_lock(block) && block->nitems != 0 && block->lockpos != 0) {
    udlock(block, block->lockpos);
    block->lockpos = 0;
  }
}

int op_reclock(fhrequest *block) {
  int status = openlist_use(block);
  if (status != FHS_OK) return status;
  if (!block_may_lock(block) || block->nitems == 0) return FHS_OK;
  release_record_lock(block);
  // Position 0 is the header record, never a current record.
  if ((block->state & ST_POSITIONED) && block->recpos > 0) {
    uint32_t pos = static_cast<uint32_t>(block->recpos);
    if (lock_with_tries(block, pos, block->rectries)) {
      block->lockpos = pos;
    } else {
      status = FHS_RECLOCKED;
    }
  }
  hdr_unlock(block);
  return status;
}

int op_recunlock(fhrequest *block) {
  int status = openlist_use(block);
  if (status != FHS_OK) return status;
  release_record_lock(block);
  hdr_unlock(block);
  return FHS_OK;
}

}  // namespace corvex

using namespace corvex;

int32_t dlock(fhrequest *block, uint32_t pos) {
  if (!netmode_places_locks()) return 0;
  if (!block) return -1;
  return bytelock_try(block->datfd, pos) ? 0 : -1;
}

int32_t udlock(fhrequest *block, uint32_t pos) {
  if (!netmode_places_locks()) return 0;
  if (!block) return -1;
  return bytelock_release(block->datfd, pos) ? 0 : -1;
}

int32_t _fhclopen(int32_t) { return -1; }
