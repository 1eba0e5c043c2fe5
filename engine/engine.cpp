#include "engine/engine.h"

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

}  // namespace corvex
