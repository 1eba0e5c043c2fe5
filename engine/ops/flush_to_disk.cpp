#include "engine/ops/flush_to_disk.h"

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/plug.h"
#include "engine/sharing/locks.h"

namespace corvex {

namespace {

int secure_locked(fhrequest *block) {
  const Plug &p = plug();
  if (!block_is_shared(block) && p.write_headers) {
    int status = p.write_headers(block);
    if (status != FHS_OK) return status;
  }
  if (p.flush_nodes) p.flush_nodes(block);
  if (p.park) {
    int status = p.park(block);
    if (status != FHS_OK) return status;
  }
  block->state &= static_cast<uint16_t>(~ST_HDRDIRTY);
  return FHS_OK;
}

}  // namespace

int op_secure(fhrequest *block) {
  if (!(block->state & ST_HDRDIRTY) || block->nitems == 0) return FHS_OK;
  int status = openlist_use(block);
  if (status != FHS_OK) return status;
  status = hdr_lock(block);
  if (status != FHS_OK) return status;
  status = secure_locked(block);
  hdr_unlock(block);
  return status;
}

}  // namespace corvex
