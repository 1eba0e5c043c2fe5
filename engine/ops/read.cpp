#include "engine/ops/ops.h"

#include <string.h>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/ops/steps.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

// A stream file moves up to `reclen` bytes at `recpos`.
int read_stream(fhrequest *block) {
  if (block->recpos < 0 || block->reclen == 0) return FHS_NORECORD;
  ssize_t got = pread_full(block->datfd, block->recbuf, block->reclen, block->recpos);
  if (got < 0) return FHS_READDATA;
  if (got == 0) return FHS_NORECORD;
  memset(block->recbuf + got, REC_FILL, block->reclen - static_cast<size_t>(got));
  block->recpos += static_cast<int32_t>(got);
  return FHS_OK;
}

// True when the record in `recbuf` holds `text` as key k; `built` is room
// for the key built from it when its bytes differ.
bool record_holds_key(fhrequest *block, int k, char *built, const char *text) {
  if (key_bytes_held(block, k, block->recbuf, text)) return true;
  build_key_of(block, k, block->recbuf, built);
  return key_compare(block, k, built, text) == 0;
}

// Reads the record of the current index entry. The record must still hold
// the entry's key and be active: another program may have deleted it or
// reused its slot since the entry was found (the entry is gone then), and a
// killed one may have left the entry of a deleted record behind. Such an
// entry is passed over in the direction the position last moved, and the
// read goes on from the entry's key, never from what the record holds now.
// An entry still in place that leads to another active record, or more such
// entries than the file has records, means a damaged index (28).
int read_keyed(fhrequest *block, uint32_t *len) {
  char *text = index_keytext(block);
  int k = block->curkey;
  bool reverse = index_moved_back(block);
  bool exact = (block->mode & FH_EXACT) != 0;
  int keylen = index_keylen(block, k);
  char built[KEYTEXT_MAX];
  char entry[KEYTEXT_MAX];
  if (keylen >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
  for (uint32_t passed = 0;; passed++) {
    uint32_t at = static_cast<uint32_t>(block->recpos);
    int status = record_read(block, at, block->recbuf, len);
    if (status != FHS_OK) return status;
    if (block->recbuf[0] == REC_ACTIVE && record_holds_key(block, k, built, text)) return FHS_OK;
    if (passed > block->nrecs) return FHS_CORRUPTINDEX;
    memcpy(entry, text, keylen);
    uint32_t pos = 0;
    status = index_search(block, k, reverse ? IDX_LE : IDX_GE, nullptr, &pos);
    if (status == FHS_OK && pos == at) {
      // The entry is still there: a deleted record's leftover is passed.
      if (block->recbuf[0] == REC_ACTIVE) return FHS_CORRUPTINDEX;
      status = index_step(block, reverse ? IDX_PREV : IDX_NEXT, &pos);
    }
    if (status != FHS_OK) return status;
    // An exact lookup takes only the same key, moved to another slot.
    if (exact && pos != 0 && key_compare(block, k, text, entry) != 0) pos = 0;
    if (pos == 0 || pos > INT32_MAX) {
      set_positioned(block, false);
      return FHS_NORECORD;
    }
    block->recpos = static_cast<int32_t>(pos);
  }
}

// Records read ahead of a walk along the current key: enough to cover the
// time memory takes to deliver a record, at a few hundred nanoseconds a step.
constexpr int kReadAhead = 12;

// Fetches the records of the next entries of a walk along the current key
// into the processor's cache while the caller handles this one and the
// next ones: the record kReadAhead entries on, or at the start of a leaf
// every one up to there (the earlier steps could not see them).
void read_ahead(fhrequest *block) {
  if (!keys_in_use(block) || !(block->state & ST_POSITIONED)) return;
  uint32_t pos[kReadAhead];
  int into;
  int n = index_ahead(block, kReadAhead, pos, 1, &into);
  if (into == 0) n = index_ahead(block, 1, pos, kReadAhead, &into);
  data_prefetch(block, pos, n);
}

int read_record(fhrequest *block) {
  if (block->recpos < block->reclen) {
    set_positioned(block, false);
    return FHS_NORECORD;
  }
  uint32_t len;
  int status;
  if (keys_in_use(block) && index_entry_text(block) && !(block->mode & (FH_KEYSONLY | FH_TEMPINDEX))) {
    status = read_keyed(block, &len);
  } else {
    status = record_read(block, static_cast<uint32_t>(block->recpos), block->recbuf, &len);
    build_current_key(block);
  }
  if (status != FHS_OK) return status;
  char mark = block->recbuf[0];
  if (!(block->mode & FH_STAY)) {
    const int64_t next_on_file = int64_t{block->recpos} + len;
    status = advance(block, len);
    if (status != FHS_OK) return status;
    // A walk that meets the records in file order (a file packed in key
    // order) is streamed by the processor's own prefetcher; reading ahead
    // would only cost the steps along the index.
    if (block->recpos != next_on_file) read_ahead(block);
  }
  return mark == REC_ACTIVE ? FHS_OK : FHS_DELETED;
}

}  // namespace

int op_read(fhrequest *block) {
  int status = openlist_use(block);
  if (status != FHS_OK) return status;
  if (!(block->state & ST_POSITIONED)) return FHS_NORECORD;
  if ((block->mode & FH_HASHED) && keys_in_use(block)) return FHS_OK;
  if (block->nitems == 0) return read_stream(block);
  return with_index_guard(block, read_record);
}

}  // namespace corvex
