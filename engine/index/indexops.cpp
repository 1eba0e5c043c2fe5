// The request-block operations of keyed files: stepping along the current
// key, positioning by key (opcode 8), set key (opcode 19) and make
// temporary index (opcode 15).
#include "engine/index/index.h"

#include <string.h>
#include <unistd.h>

#include "engine/core/engine.h"
#include "engine/core/keybuf.h"
#include "engine/core/openlist.h"
#include "engine/data/datafile.h"
#include "engine/fid/companion_names.h"
#include "engine/fid/fid.h"
#include "engine/index/indexctx.h"
#include "engine/index/keys.h"
#include "engine/ops/fileset.h"
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
int step_containing(fhrequest *block, int k, int mode, const char *needle, uint32_t *pos) {
  IndexCtx *ctx = ctx_of(block);
  int own = key_ownlen(block, k);
  char text[kTextMax];
  for (;;) {
    int status = index_search(block, k, mode, nullptr, pos);
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
    if (!fileset_index_attached(block)) return FHS_NOTSUPPORTED;
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

namespace {

// Opens the handles, making the index first when it cannot be opened.
int open_temp_set(fhrequest *block) {
  uint16_t flags = fileset_open_flags(block);
  int status = fileset_open_handles(block, flags);
  if (status == FHS_OPENINDEX) {
    status = index_make(block);
    if (status == FHS_OK) status = fileset_open_handles(block, flags);
    if (status != FHS_OK) unlink(block->idxname);
  } else if (status == FHS_OK) {
    block->state |= ST_TIDXEXISTED;
  }
  if (status != FHS_OK) return status;
  status = openlist_add(block, flags);
  if (status != FHS_OK) fileset_close_handles(block);
  return status;
}

int make_temp(fhrequest *block) {
  block->mode |= FH_TEMPINDEX;
  block->mode &= static_cast<uint16_t>(~(FH_NOKEY | FH_NOFID));
  if (!block->keybuf) return FHS_BADTEMPEXPR;
  int status = fid_prepare(block);
  if (status != FHS_OK) return status;
  block->mode &= static_cast<uint16_t>(~FH_HASHED);
  if (block->idxname[0] == 0 && !derive_name(block->datname, kTempExt, block->idxname, FH_NAMESIZE)) {
    return FHS_OPENINDEX;
  }
  block->state &= static_cast<uint16_t>(~ST_TIDXEXISTED);
  if ((status = open_temp_set(block)) != FHS_OK) return status;
  if ((status = index_open(block)) != FHS_OK) return status;
  block->state |= ST_POSITIONED | ST_HDRDIRTY;
  if ((status = header_read(block, true)) != FHS_OK) return status;
  block->recpos = block->reclen;
  block->keybuf = shared_keybuf();
  return FHS_OK;
}

}  // namespace

int op_tempindex(fhrequest *block) {
  int status = make_temp(block);
  if (status != FHS_OK) fileset_abandon(block);
  return status;
}

}  // namespace corvex
