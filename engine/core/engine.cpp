#include "engine/core/engine.h"

namespace corvex {

constinit EngineState engine_state;

bool keys_in_use(const fhrequest *block) { return block->nkeys > 0 && !(block->mode & FH_NOKEY); }

void set_positioned(fhrequest *block, bool on) {
  if (on) {
    block->state |= ST_POSITIONED;
  } else {
    block->state &= static_cast<uint16_t>(~ST_POSITIONED);
  }
}

}  // namespace corvex
