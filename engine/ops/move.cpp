#include "engine/ops/ops.h"

#include <string.h>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/index/index.h"
#include "engine/ops/hashops.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

bool hashed_keys(const fhrequest *block) { return (block->mode & FH_HASHED) && keys_in_use(block); }

bool reverse(const fhrequest *block) { return (block->mode & FH_REVERSE) != 0; }

int backspace_keyed(fhrequest *block) {
  if (!block->idxctx) return FHS_NOTSUPPORTED;
  uint32_t pos = 0;
  int status;
  if (block->state & ST_POSITIONED) {
    status = index_step(block, reverse(block) ? IDX_NEXT : IDX_PREV, &pos);
  } else {
    status = index_search(block, block->curkey, reverse(block) ? IDX_FIRST : IDX_LAST, nullptr, &pos);
  }
  if (status != FHS_OK) return status;
  if (pos != 0) block->recpos = static_cast<int32_t>(pos);
  set_positioned(block, pos != 0);
  return pos != 0 ? FHS_OK : FHS_NORECORD;
}

int backspace_plain(fhrequest *block) {
  if (block->mode & FH_VARLEN) return FHS_NOBACKSPACE;
  if (block->state & ST_POSITIONED) {
    if (block->recpos <= block->reclen) return FHS_NORECORD;
    block->recpos -= block->reclen;
    return FHS_OK;
  }
  int status = reload_header(block);
  if (status != FHS_OK) return status;
  if (block->nrecs <= 1) return FHS_NORECORD;
  int64_t pos = static_cast<int64_t>(block->nrecs - 1) * block->reclen;
  if (pos > INT32_MAX) return FHS_READDATA;
  block->recpos = static_cast<int32_t>(pos);
  set_positioned(block, true);
  return FHS_OK;
}

int backspace_stream(fhrequest *block) {
  if (block->recpos <= 0) return FHS_NORECORD;
  block->recpos = block->recpos > block->reclen ? block->recpos - block->reclen : 0;
  return FHS_OK;
}

int position_thread(fhrequest *block) {
  int status = reload_header(block);
  if (status != FHS_OK) return status;
  int t = block->curkey;
  if (t < 0 || t >= block->nthreads) return FHS_NOTSUPPORTED;
  uint32_t head = block->threaddefs[t].head;
  if (head != 0) block->recpos = static_cast<int32_t>(head);
  set_positioned(block, head != 0);
  return FHS_OK;
}

// Steps from the first record over `n` stored variable-length records.
void position_varlen(fhrequest *block, uint32_t n) {
  int64_t pos = block->reclen;
  for (uint32_t i = 0; i < n; i++) {
    char head[VAR_DATA_AT];
    ssize_t got = pread_full(block->datfd, head, sizeof head, static_cast<off_t>(pos));
    uint32_t len = got > 0 ? stored_length(head, static_cast<size_t>(got), block->reclen) : 0;
    if (len == 0 || pos + len > INT32_MAX) {
      set_positioned(block, false);
      return;
    }
    pos += len;
  }
  block->recpos = static_cast<int32_t>(pos);
  set_positioned(block, true);
}

int position_number(fhrequest *block) {
  if (!block->keybuf) return FHS_NOTSUPPORTED;
  uint32_t n;
  memcpy(&n, block->keybuf, sizeof n);
  int status = reload_header(block);
  if (status != FHS_OK) return status;
  if (static_cast<uint64_t>(n) + 1 >= block->nrecs) {
    set_positioned(block, false);
    return FHS_OK;
  }
  if (block->mode & FH_VARLEN) {
    position_varlen(block, n);
    return FHS_OK;
  }
  int64_t pos = (static_cast<int64_t>(n) + 1) * block->reclen;
  if (pos > INT32_MAX) return FHS_READDATA;
  block->recpos = static_cast<int32_t>(pos);
  set_positioned(block, true);
  return FHS_OK;
}

int backspace(fhrequest *block) {
  if (hashed_keys(block) || (block->state & ST_THREAD)) return FHS_NOTSUPPORTED;
  if (block->nitems == 0) return backspace_stream(block);
  return keys_in_use(block) ? backspace_keyed(block) : backspace_plain(block);
}

int position(fhrequest *block) {
  if (block->nitems == 0) return FHS_NOTSUPPORTED;
  if (hashed_keys(block)) return hash_position(block);
  if (keys_in_use(block)) return index_position(block);
  if (block->state & ST_THREAD) return position_thread(block);
  return position_number(block);
}

int end(fhrequest *block) {
  if (hashed_keys(block) || (block->state & ST_THREAD)) return FHS_NOTSUPPORTED;
  if (block->nitems > 0 && keys_in_use(block)) {
    if (block->mode & FH_VARLEN) return FHS_NOTSUPPORTED;
    int status = reload_header(block);
    if (status != FHS_OK) return status;
    int64_t pos = static_cast<int64_t>(block->nrecs) * block->reclen;
    if (pos > INT32_MAX) return FHS_READDATA;
    block->recpos = static_cast<int32_t>(pos);
    set_positioned(block, true);
    return FHS_OK;
  }
  int64_t size = data_size(block);
  if (size < 0 || size > INT32_MAX) return FHS_READDATA;
  block->recpos = static_cast<int32_t>(size);
  // Past the last record there is nothing to read.
  if (block->nitems > 0) set_positioned(block, false);
  return FHS_OK;
}

int run_move(fhrequest *block, int (*step)(fhrequest *)) {
  int status = openlist_use(block);
  return status == FHS_OK ? with_index_guard(block, step) : status;
}

}  // namespace

int op_backspace(fhrequest *block) { return run_move(block, backspace); }

int op_position(fhrequest *block) { return run_move(block, position); }

int op_end(fhrequest *block) { return run_move(block, end); }

}  // namespace corvex
