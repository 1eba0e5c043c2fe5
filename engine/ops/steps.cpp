#include "engine/ops/steps.h"

#include "engine/core/engine.h"
#include "engine/data/datafile.h"
#include "engine/data/record_threads.h"
#include "engine/data/records.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"

namespace corvex {

int refresh_shared_view(fhrequest *block) {
  int status = block->idxctx ? index_refresh(block) : FHS_OK;
  if (status == FHS_OK && block->nitems > 0) status = reload_header(block);
  return status;
}

int advance(fhrequest *block, uint32_t len) {
  if (keys_in_use(block)) {
    if (!block->idxctx) return FHS_OK;
    uint32_t pos = 0;
    int status = index_step(block, (block->mode & FH_REVERSE) ? IDX_PREV : IDX_NEXT, &pos);
    if (status != FHS_OK) return status;
    if (pos != 0) block->recpos = static_cast<int32_t>(pos);
    set_positioned(block, pos != 0);
    return FHS_OK;
  }
  if (block->state & ST_THREAD) {
    int t = block->curkey;
    uint32_t link = 0;
    if (t >= 0 && t < block->nthreads) {
      int status = thread_link(block, t, block->recbuf, &link);
      if (status != FHS_OK) return status;
    }
    if (link != 0) block->recpos = static_cast<int32_t>(link);
    set_positioned(block, link != 0);
    return FHS_OK;
  }
  int64_t reclen = block->reclen;
  if (block->mode & FH_REVERSE) {
    if (block->mode & FH_VARLEN) return FHS_OK;
    int64_t pos = static_cast<int64_t>(block->recpos) - reclen;
    set_positioned(block, pos >= reclen);
    if (pos >= 0) block->recpos = static_cast<int32_t>(pos);
    return FHS_OK;
  }
  int64_t pos = static_cast<int64_t>(block->recpos) + len;
  int64_t end;
  if (block->mode & FH_VARLEN) {
    end = data_size(block);
  } else {
    int status = reload_header(block);
    if (status != FHS_OK) return status;
    end = static_cast<int64_t>(block->nrecs) * reclen;
  }
  bool inside = pos < end && pos <= INT32_MAX;
  if (inside) block->recpos = static_cast<int32_t>(pos);
  set_positioned(block, inside);
  return FHS_OK;
}

int delete_stored(fhrequest *block, uint32_t pos, char *old, uint32_t len, DeleteWhy why) {
  int status = thread_leave_all(block, pos, old);
  if (status != FHS_OK) return status;
  const char mark = REC_DELETED;
  block->state |= ST_HDRDIRTY;
  if (why == DELETE_MOVED && (status = data_write(block, pos, &mark, 1)) != FHS_OK) return status;
  if (block->idxctx) {
    char text[KEYTEXT_MAX];
    for (int k = block->nkeys - 1; k >= 0; k--) {
      if (index_keylen(block, k) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
      build_key_of(block, k, old, text);
      status = index_remove(block, k, text, pos);
      if (status != FHS_OK) return status;
    }
  }
  if (why == DELETE_GONE && (status = data_write(block, pos, &mark, 1)) != FHS_OK) return status;
  old[0] = REC_DELETED;
  return block->idxctx ? index_add_slot(block, pos, static_cast<uint16_t>(len)) : FHS_OK;
}

}  // namespace corvex
