#include "engine/core/engine.h"

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

bool keys_in_use(const fhrequest *block) { return block->nkeys > 0 && !(block->mode & FH_NOKEY); }

void set_positioned(fhrequest *block, bool on) {
  if (on) {
    block->state |= ST_POSITIONED;
  } else {
    block->state &= static_cast<uint16_t>(~ST_POSITIONED);
  }
}

}  // namespace corvex
