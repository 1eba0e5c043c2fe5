#include "engine/ops/ops.h"

#include <memory>
#include <new>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/data/datafile.h"
#include "engine/data/varlen_packing.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/ops/hashops.h"
#include "engine/ops/heal.h"
#include "engine/ops/steps.h"
#include "engine/sharing/locks.h"

namespace corvex {

namespace {

// Under the header lock: finds the record by key 0 of `recbuf` and deletes
// it with the keys built from its stored form, so that entries made from
// what is on disk are the ones removed.
int delete_locked(fhrequest *block) {
  int status = reload_header(block);
  if (status == FHS_OK) status = heal_noted(block);
  if (status != FHS_OK) return status;
  char key0[KEYTEXT_MAX];
  if (index_keylen(block, 0) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
  // The key as the record was stored (a tab in a text item is a space).
  if (block->mode & FH_VARLEN) pack_stored_form(block, block->recbuf);
  build_key_of(block, 0, block->recbuf, key0);
  uint32_t pos = 0;
  status = index_search(block, 0, IDX_EXACT, key0, &pos);
  if (status != FHS_OK) return status;
  if (pos == 0) return FHS_NORECORD;
  if (!record_pos_in_file(block, pos)) return FHS_CORRUPTINDEX;
  block->recpos = static_cast<int32_t>(pos);
  std::unique_ptr<char[]> old(new (std::nothrow) char[block->reclen]);
  if (!old) return FHS_NOMEMORY;
  uint32_t len;
  status = record_read(block, pos, old.get(), &len);
  if (status != FHS_OK) return status;
  if (!record_is_free(block, pos)) return FHS_RECLOCKED;
  status = delete_stored(block, pos, old.get(), len);
  if (status != FHS_OK) return status;
  if (block_is_shared(block) && block->nthreads > 0) {
    status = header_write(block);
    if (status != FHS_OK) return status;
  }
  char *text = index_keytext(block);
  if (text) build_key_of(block, block->curkey, old.get(), text);
  return advance(block, len);
}

}  // namespace

int op_delete(fhrequest *block) {
  int status = openlist_use(block);
  if (status != FHS_OK) return status;
  if (block->mode & FH_READONLY) return FHS_READONLY;
  if (block->mode & FH_HASHED) return hash_delete(block);
  if (block->nkeys == 0 || block->nitems == 0 || !block->idxctx || (block->mode & FH_NODATA)) {
    return FHS_NOTSUPPORTED;
  }
  status = hdr_lock(block);
  if (status != FHS_OK) return status;
  status = delete_locked(block);
  flush_if_shared(block);
  hdr_unlock(block);
  return status;
}

}  // namespace corvex
