// The deleted-record list: slots of deleted data records kept for reuse.
//
// A chain of nodes from the header's deleted-record head; each holds a u32
// link, a u16 count and entries of (u32 position, u16 length). A slot is
// added to the first node with room (a new node at the head when none has
// any); a slot is taken by its exact length, and a node left empty goes
// back to the free-node list.
#include "engine/index/index.h"

#include "engine/index/indexctx.h"

namespace corvex {

namespace {

enum { kLinkAt = 0, kCountAt = 4, kEntriesAt = 6, kEntrySize = 6 };

int capacity(const IndexCtx *ctx) { return (ctx->nodesize - kEntriesAt) / kEntrySize; }

uint8_t *entry_at(uint8_t *buf, int entry) { return buf + kEntriesAt + entry * kEntrySize; }

// Reads list node `node` and checks its count; `steps` bounds the walk so that a
// list that loops ends with 28.
int read_list_node(fhrequest *block, uint32_t node, uint8_t *buf, uint32_t *steps) {
  IndexCtx *ctx = ctx_of(block);
  if (++*steps > ctx->nextnode) return FHS_CORRUPTINDEX;
  int status = node_read(block, node, buf);
  if (status != FHS_OK) return status;
  return get16(buf + kCountAt) > capacity(ctx) ? FHS_CORRUPTINDEX : FHS_OK;
}

int add_locked(fhrequest *block, uint32_t pos, uint16_t length) {
  IndexCtx *ctx = ctx_of(block);
  uint8_t *buf = ctx->work;
  uint32_t steps = 0;
  for (uint32_t n = ctx->delhead; n != 0; n = get32(buf + kLinkAt)) {
    int status = read_list_node(block, n, buf, &steps);
    if (status != FHS_OK) return status;
    int count = get16(buf + kCountAt);
    if (count < capacity(ctx)) {
      put32(entry_at(buf, count), pos);
      put16(entry_at(buf, count) + 4, length);
      put16(buf + kCountAt, static_cast<uint16_t>(count + 1));
      return node_write(block, n, buf);
    }
  }
  uint32_t fresh;
  int status = node_take(block, &fresh);
  if (status != FHS_OK) return status;
  memset(buf, 0, ctx->nodesize);
  put32(buf + kLinkAt, ctx->delhead);
  put16(buf + kCountAt, 1);
  put32(entry_at(buf, 0), pos);
  put16(entry_at(buf, 0) + 4, length);
  if ((status = node_write(block, fresh, buf)) != FHS_OK) return status;
  ctx->delhead = fresh;
  ctx->changed = true;
  return FHS_OK;
}

// Takes `entry` out of list node `node` (in `buf`), whose predecessor is `prev`
// (0 for the head). A node left empty is unlinked and freed.
int take_entry(fhrequest *block, uint32_t prev, uint32_t node, uint8_t *buf, int entry) {
  IndexCtx *ctx = ctx_of(block);
  int count = get16(buf + kCountAt);
  memmove(entry_at(buf, entry), entry_at(buf, entry + 1), static_cast<size_t>(count - 1 - entry) * kEntrySize);
  memset(entry_at(buf, count - 1), 0, kEntrySize);
  put16(buf + kCountAt, static_cast<uint16_t>(count - 1));
  if (count > 1) return node_write(block, node, buf);
  uint32_t next = get32(buf + kLinkAt);
  if (prev == 0) {
    ctx->delhead = next;
    ctx->changed = true;
  } else {
    uint8_t *pbuf = ctx->spare;
    int status = node_read(block, prev, pbuf);
    if (status != FHS_OK) return status;
    put32(pbuf + kLinkAt, next);
    if ((status = node_write(block, prev, pbuf)) != FHS_OK) return status;
  }
  return node_free(block, node);
}

int take_locked(fhrequest *block, uint16_t length, uint32_t *pos) {
  IndexCtx *ctx = ctx_of(block);
  uint8_t *buf = ctx->work;
  bool fixed = (block->mode & FH_VARLEN) == 0;
  uint32_t steps = 0;
  uint32_t prev = 0;
  for (uint32_t n = ctx->delhead; n != 0; prev = n, n = get32(buf + kLinkAt)) {
    int status = read_list_node(block, n, buf, &steps);
    if (status != FHS_OK) return status;
    int count = get16(buf + kCountAt);
    int look = fixed && count > 0 ? 1 : count;
    for (int i = 0; i < look; i++) {
      if (get16(entry_at(buf, i) + 4) != length) continue;
      uint32_t found = get32(entry_at(buf, i));
      if ((status = take_entry(block, prev, n, buf, i)) != FHS_OK) return status;
      *pos = found;
      return FHS_OK;
    }
    if (fixed) break;
  }
  return FHS_OK;
}

}  // namespace

int index_add_slot(fhrequest *block, uint32_t pos, uint16_t length) {
  if (!block->idxctx) return FHS_NOTSUPPORTED;
  int status = index_sync(block);
  if (status == FHS_OK) status = add_locked(block, pos, length);
  return index_commit(block, status);
}

int index_take_slot(fhrequest *block, uint16_t length, uint32_t *pos) {
  *pos = 0;
  if (!block->idxctx) return FHS_NOTSUPPORTED;
  int status = index_sync(block);
  if (status == FHS_OK) status = take_locked(block, length, pos);
  return index_commit(block, status);
}

}  // namespace corvex
