#include "engine/core/engine.h"

#include "engine/sharing/changecount.h"

namespace corvex {

EngineState &engine() {
  static EngineState state;
  return state;
}

bool block_may_lock(const fhrequest *block) {
  return engine().netmode != 0 && (block->mode & (FH_EXCLUSIVE | FH_READONLY)) == 0;
}

bool block_is_shared(const fhrequest *block) {
  return engine().netmode != 0 && (block->mode & FH_EXCLUSIVE) == 0;
}

bool block_rereads(const fhrequest *block) { return block_is_shared(block) && !changes_current(block); }

}  // namespace corvex
