// The current key of a keyed file's request block: stepping along it,
// positioning by key (opcode 8), set key (opcode 19), building its text from
// the record, and the guard of operations that walk the index.
#include "engine/index/index.h"

#include <string.h>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/index/indexctx.h"
#include "engine/index/keys.h"
#include "engine/sharing/locks.h"
#include "util/text.h"

namespace corvex {

namespace {

enum { kTextMax = FH_KEYBUFSIZE };

bool current_key_ok(const fhrequest *block) {
  const IndexCtx *ctx = ctx_of(block);
  return ctx && block->curkey >= 0 && block->curkey < ctx->nkeys;
}

// The argument at `keybuf` as a terminated text of at most kTextMax - 1
// characters (the caller's text may lack a terminator).
void argument(const fhrequest *block, char *out) {
  size_t n = block->keybuf ? strnlen(block->keybuf, kTextMax - 1) : 0;
  memcpy(out, block->keybuf ? block->keybuf : "", n);
  out[n] = 0;
}

// Steps from the current key text in `mode` until an entry whose own key
// text contains `needle`, or none is left.
int step_containing(fhrequest *block, int keynum, int mode, const char *needle, uint32_t *pos) {
  IndexCtx *ctx = ctx_of(block);
  int own = key_ownlen(block, keynum);
  char text[kTextMax];
  for (;;) {
    int status = index_search(block, keynum, mode, nullptr, pos);
    if (status != FHS_OK || *pos == 0) return status;
    memcpy(text, ctx->keytext, own);
    text[own] = 0;
    if (instr(needle, text) > 0) return FHS_OK;
  }
}

}  // namespace

int index_step(fhrequest *block, int mode, uint32_t *pos) {
  *pos = 0;
  if (!current_key_ok(block)) return FHS_NOTSUPPORTED;
  ctx_of(block)->backward = mode == IDX_PREV;
  if (!(block->state & ST_CONTAINS)) return index_search(block, block->curkey, mode, nullptr, pos);
  char needle[kTextMax];
  argument(block, needle);
  return step_containing(block, block->curkey, mode, needle, pos);
}

int index_position(fhrequest *block) {
  if (!current_key_ok(block)) return FHS_NOTSUPPORTED;
  IndexCtx *ctx = ctx_of(block);
  int k = block->curkey;
  int length = ctx->keylens[k];
  int own = key_ownlen(block, k);
  bool reverse = (block->mode & FH_REVERSE) != 0;
  char given[kTextMax];
  argument(block, given);
  char *text = ctx->keytext;
  uint32_t pos = 0;
  int status;
  ctx->backward = reverse;
  if (block->state & ST_CONTAINS) {
    memset(text, ' ', own);
    memset(text + own, 0, length - own + 1);
    status = step_containing(block, k, reverse ? IDX_PREV : IDX_NEXT, given, &pos);
  } else {
    memset(text, 0, length + 1);
    size_t n = strnlen(given, own);
    memcpy(text, given, n);
    // The given characters, zero-padded: an exact match must start with them.
    char wanted[kTextMax];
    memcpy(wanted, text, own);
    if (reverse && k != 0 && static_cast<int>(n) < length) text[n] = '~';
    status = index_search(block, k, reverse ? IDX_LE : IDX_GE, nullptr, &pos);
    if (status == FHS_OK && pos != 0 && (block->mode & FH_EXACT) && memcmp(text, wanted, own) != 0) pos = 0;
  }
  if (status != FHS_OK) return status;
  if (pos != 0) {
    block->recpos = static_cast<int32_t>(pos);
    block->state |= ST_POSITIONED;
  } else {
    block->state &= static_cast<uint16_t>(~ST_POSITIONED);
  }
  if (!index_keeps_nodes(block)) return index_flush_nodes(block);
  return FHS_OK;
}

int op_setkey(fhrequest *block) {
  if (block->nkeys == 0) return FHS_NOTSUPPORTED;
  bool hashed = (block->mode & FH_HASHED) != 0;
  // A hashed file has one key, the hash's.
  if (block->keyarg > (hashed ? 1 : block->nkeys)) return FHS_BADKEY;
  if (block->keyarg == 0) {
    block->mode |= FH_NOKEY;
    block->curkey = 0;
    return FHS_OK;
  }
  if (hashed) {
    // Hashed access needs the hash file, which a set opened with FH_NOKEY
    // does not hold; there is no key text to keep.
    if (!openlist_index_attached(block)) return FHS_NOTSUPPORTED;
    block->mode &= static_cast<uint16_t>(~FH_NOKEY);
    block->curkey = 0;
    return FHS_OK;
  }
  // Without an index context (a file opened with FH_NOKEY) there is no
  // current key text to build: nothing changes.
  IndexCtx *ctx = ctx_of(block);
  if (!ctx || !block->recbuf || block->keyarg > ctx->nkeys) return FHS_NOTSUPPORTED;
  block->mode &= static_cast<uint16_t>(~FH_NOKEY);
  block->curkey = static_cast<int8_t>(block->keyarg - 1);
  int length = _bldkey(block, block->curkey, ctx->keytext);
  // Just above the record's key, so that a backspace returns the record.
  if (length > 0 && !(block->mode & FH_STAY)) ctx->keytext[length - 1]++;
  ctx->entry_text = false;
  return FHS_OK;
}

void build_current_key(fhrequest *block) {
  char *text = index_keytext(block);
  if (text && keys_in_use(block)) _bldkey(block, block->curkey, text);
  index_forget_entry(block);
}

void flush_if_shared(fhrequest *block) {
  if (block->idxctx && !index_keeps_nodes(block)) index_flush_nodes(block);
}

int with_index_guard(fhrequest *block, int (*step)(fhrequest *)) {
  bool guard = keys_in_use(block) && block->idxctx && !engine().unlocked_reads;
  if (guard) {
    int status = hdr_lock(block);
    if (status != FHS_OK) return status;
  }
  int status = step(block);
  flush_if_shared(block);
  if (guard) hdr_unlock(block);
  return status;
}

}  // namespace corvex
