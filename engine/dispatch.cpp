#include "engine/dispatch.h"

#include "engine/engine.h"
#include "engine/locks.h"
#include "engine/mapping.h"
#include "engine/openlist.h"
#include "engine/plug.h"

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
  hdr_unlock(block);
}

}  // namespace

}  // namespace corvex

int32_t _filehandler(fhrequest *block) {
  if (!block) return -1;
  corvex::mapping_next_call();
  int status = corvex::run(block);
  corvex::cleanup(block);
  block->status = static_cast<uint8_t>(status);
  return status == FHS_OK ? 0 : -1;
}
