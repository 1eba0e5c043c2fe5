#include "engine/dispatch.h"

#include <string.h>

#include <vector>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/index/index.h"
#include "engine/ops/steps.h"
#include "engine/plug.h"
#include "engine/sharing/changecount.h"
#include "engine/sharing/locks.h"
#include "engine/sharing/mapping.h"

namespace corvex {

namespace {

void shutdown() {
  EngineState &e = engine();
  OpHandler close = op_handler(FHOP_CLOSE);
  while (e.openlist && e.openlist->next) {
    fhslot *first = e.openlist->next;
    close(first->block);  // a failing close still unregisters its block
    if (e.openlist->next == first) break;
  }
  const Plug &p = plug();
  for (size_t i = p.nresources; i > 0; i--) p.resources[i - 1].shutdown();
  e.setup = false;
}

int setup() {
  EngineState &e = engine();
  // A set-up left in place by an earlier init is reclaimed, not leaked.
  if (e.setup) shutdown();
  const Plug &p = plug();
  for (size_t i = 0; i < p.nresources; i++) {
    int status = p.resources[i].setup();
    if (status != FHS_OK) {
      for (size_t j = i + 1; j > 0; j--) p.resources[j - 1].shutdown();
      return status;
    }
  }
  e.setup = true;
  return FHS_OK;
}

// Open, make and make-temporary-index fill a fresh block. On a block that is
// open already they are refused before anything is touched, so that the open
// file keeps its handles, tables and index context.
bool opens_a_file(uint8_t opcode) {
  return opcode == FHOP_OPEN || opcode == FHOP_MAKE || opcode == FHOP_TEMPINDEX;
}

int run(fhrequest *block) {
  EngineState &e = engine();
  switch (block->opcode) {
    case FHOP_INIT: {
      int status = e.initcount == 0 ? setup() : FHS_OK;
      if (e.initcount < INT8_MAX) e.initcount++;
      return status;
    }
    case FHOP_TERMINATE:
      if (e.initcount > 0) {
        e.initcount--;
      } else {
        shutdown();
      }
      return FHS_OK;
    default:
      break;
  }
  if (e.initcount == 0) return FHS_NOTINIT;
  if (opens_a_file(block->opcode) && openlist_find(block)) return FHS_OPENDATA;
  OpHandler handler = op_handler(block->opcode);
  return handler ? handler(block) : FHS_BADOPCODE;
}

// An operation that failed with the header lock held never leaves it held.
void cleanup(fhrequest *block) {
  if (!engine().hdrlockheld) return;
  if (block->idxctx && block_is_shared(block) && plug().flush_nodes) plug().flush_nodes(block);
  changes_forget(block);
  hdr_unlock(block);
}

// Reads of a tracked shared block are made without the header lock. The
// change count is looked at before and after; a read that another
// program's change overlapped is put back and made again, and after a few
// such tries (or while a change is under way) it is made under the lock.
constexpr int kUnlockedTries = 3;

bool reads_only(const fhrequest *block) {
  if (block->mode & FH_HASHED) return false;
  switch (block->opcode) {
    case FHOP_READ:
    case FHOP_POSITION:
    case FHOP_BACKSPACE:
    case FHOP_END:
      return true;
    default:
      return false;
  }
}

// What a read may change of the block, kept to be put back. The record
// copy lives in one buffer of the engine: reads do not nest.
class SavedPlace {
 public:
  explicit SavedPlace(fhrequest *block)
      : curkey_(block->curkey), recpos_(block->recpos), nrecs_(block->nrecs), state_(block->state),
        mode_(block->mode) {
    std::vector<char> &record = record_copy();
    record.clear();
    if (block->recbuf) record.assign(block->recbuf, block->recbuf + block->reclen);
    index_save_place(block, &place_);
  }
  void restore(fhrequest *block) const {
    block->curkey = curkey_;
    block->recpos = recpos_;
    block->nrecs = nrecs_;
    block->state = state_;
    block->mode = mode_;
    const std::vector<char> &record = record_copy();
    if (block->recbuf && !record.empty()) memcpy(block->recbuf, record.data(), record.size());
    index_restore_place(block, place_);
  }

 private:
  static std::vector<char> &record_copy() {
    static std::vector<char> copy;
    return copy;
  }
  int8_t curkey_;
  int32_t recpos_;
  uint32_t nrecs_;
  uint16_t state_;
  uint16_t mode_;
  IndexPlace place_;
};

// The block is open with its handles in place: its change count can be
// looked at.
bool handles_open(const fhrequest *block) {
  if (engine().initcount == 0 || opens_a_file(block->opcode)) return false;
  const fhslot *slot = openlist_find(block);
  return slot && slot->state != SLOT_PARKED;
}

// A read made without the lock: the refresh and the read are both taken
// back when a change overlapped them.
int run_unlocked(fhrequest *block, uint64_t count) {
  SavedPlace saved(block);
  EngineState &e = engine();
  for (int tries = 0; tries < kUnlockedTries && (count & 1) == 0; tries++) {
    int status = changes_current(block) ? FHS_OK : refresh_shared_view(block);
    if (status == FHS_OK) {
      e.unlocked_reads = true;
      status = run(block);
      e.unlocked_reads = false;
    }
    if (changes_settle(block, count)) return status;
    saved.restore(block);
    if (!changes_begin_call(block, &count)) break;
  }
  // Under the lock, which reads again what another program changed.
  return run(block);
}

int run_call(fhrequest *block) {
  uint64_t count;
  if (!handles_open(block) || !changes_begin_call(block, &count)) return run(block);
  if (reads_only(block) && !engine().unlocked_reads) return run_unlocked(block, count);
  // Other calls read again what they use while the block is not current,
  // and under the header lock all of it.
  int status = run(block);
  if (status != FHS_OK) changes_forget(block);
  return status;
}

}  // namespace

}  // namespace corvex

int32_t _filehandler(fhrequest *block) {
  if (!block) return -1;
  corvex::mapping_next_call();
  int status = corvex::run_call(block);
  corvex::cleanup(block);
  block->status = static_cast<uint8_t>(status);
  return status == FHS_OK ? 0 : -1;
}
