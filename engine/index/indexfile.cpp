// Index files: the file, its header, and node input and output.
//
// An index file is a sequence of nodes of N bytes; node n lies at byte
// n * N. Node 0 is the header, zero-filled after its 114 bytes:
//
//   0   4 bytes   "QZT" and a zero byte (written, not checked)
//   4   u16       version 865 (864, the previous one, is refused)
//   6   u16       1 while changes of a single-user holder are pending, else 0
//   8   u32       next unused node number (1 in a new file)
//   12  u32       head of the free-node list (0 = empty)
//   16  u32       head of the deleted-record list (0 = empty)
//   20  18 x u32  root node of each key's tree (0 = empty tree)
//   92  u16       number of keys
//   94  u16       node size N
//   96  18 x u8   stored length of each key
//
// Bytes 8..91 are the dynamic part. N is fixed at creation from the longest
// key L: (L * 24 + 228) rounded down to a multiple of 128. A key of length l
// has node capacity C = (N - 4) / (l + 4).
//
// Tree node: u8 kind (2 leaf, 1 inner), u8 count, u8 key number, u8 zero,
// C u32 pointers from byte 4 (record positions in a leaf, child nodes in an
// inner node), then C keys of l bytes from byte 4 + 4C.
// Free node: zero-filled but for its first u32, the next free node.
// Deleted-record node: u32 next node, u16 count, then entries of u32
// record position and u16 record length; (N - 6) / 6 of them fit.
//
// Invariants of every tree (checked by the tests after every batch):
//   - entries of a node are in ascending key order, and a walk of the leaves
//     from left to right meets every key in ascending order; equal keys keep
//     their order of insertion;
//   - in an inner node the key of every entry but the last is the highest
//     key below that child; the last entry's key is never consulted;
//   - every node of a tree carries the tree's key number and 1..C - 1
//     entries (a node never stays empty: an emptied node is freed, and an
//     emptied root leaves the tree empty); all leaves lie at one depth;
//   - every node number below `next unused` is in exactly one tree, the
//     free-node list or the deleted-record list.
// Nodes are never merged. A node whose count fills its capacity is split at
// once; the count byte limits the capacity to 255 entries even where the
// layout has more slots.
//
// Crash safety. A shared block writes every node at once, in an order that
// keeps the tree on file whole after each single write: a new node before
// the node that points at it, a node that loses entries only after the
// entries' new home is reachable, a reference dropped before its node is
// freed, and the header after the nodes it names (a node taken from the
// free list is taken in the header first). A crash then leaves at worst
// nodes that nothing reaches. A block that is not shared keeps its changes
// in the node cache and writes them at a checkpoint: nodes, then header;
// until then the file is one node longer than its header says and the
// header's pending word is 1. Its cache writes nodes back in any order, so
// the tree on file of a holder that was killed may be broken: the open of
// a file left pending reports it (index_needs_rebuild) and the index is
// built again from the data file. A file only longer than its header says
// holds a whole tree (index_unfinished); the open raises the next node
// number to the file's node count, so that nodes written after the header
// never get taken twice.
#include "engine/index/index.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "engine/core/engine.h"
#include "engine/index/indexctx.h"
#include "engine/index/nodecache.h"
#include "engine/sharing/changecount.h"
#include "engine/sharing/mapping.h"
#include "util/fileio.h"
#include "util/memory.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

// Memory for the clean copies of one index's nodes.
constexpr size_t kMirrorBytesMax = size_t{64} << 20;

int largest_keylen(const fhrequest *block) {
  int largest = 0;
  for (int k = 0; k < block->nkeys; k++) {
    if (block->keydefs[k].keylen > largest) largest = block->keydefs[k].keylen;
  }
  return largest;
}

void decode_dynamic(IndexCtx *ctx, const uint8_t *bytes) {
  ctx->nextnode = get32(bytes);
  ctx->freehead = get32(bytes + 4);
  ctx->delhead = get32(bytes + 8);
  for (int k = 0; k < IDX_MAXKEYS; k++) ctx->roots[k] = get32(bytes + 12 + 4 * k);
}

void encode_dynamic(const IndexCtx *ctx, uint8_t *bytes) {
  put32(bytes, ctx->nextnode);
  put32(bytes + 4, ctx->freehead);
  put32(bytes + 8, ctx->delhead);
  for (int k = 0; k < IDX_MAXKEYS; k++) put32(bytes + 12 + 4 * k, ctx->roots[k]);
}

void free_ctx(IndexCtx *ctx) {
  if (!ctx) return;
  globalmfree(ctx->keytext);
  globalmfree(ctx->work);
  for (KeyCursor &c : ctx->cur) globalmfree(c.buf);
  delete ctx;
}

// Fills the context from a header already checked against the block.
int build_ctx(const fhrequest *block, const uint8_t *head, IndexCtx **out) {
  IndexCtx *ctx = new (std::nothrow) IndexCtx;
  if (!ctx) return FHS_NOMEMORY;
  ctx->version = get16(head + 4);
  ctx->nkeys = get16(head + 92);
  ctx->nodesize = get16(head + 94);
  decode_dynamic(ctx, head + IDX_DYNAMICAT);
  int n = ctx->nodesize;
  ctx->keytext_size = static_cast<size_t>(largest_keylen(block)) + 1;
  ctx->keytext = static_cast<char *>(globalmalloc(ctx->keytext_size));
  ctx->work = static_cast<uint8_t *>(globalmalloc(3 * static_cast<size_t>(n)));
  ctx->mirror.reset(new (std::nothrow) NodeMirror(ctx->nodesize, kMirrorBytesMax));
  bool ok = ctx->keytext && ctx->work;
  for (int k = 0; k < ctx->nkeys && ok; k++) {
    KeyCursor &c = ctx->cur[k];
    ctx->keylens[k] = head[96 + k];
    c.keylen = ctx->keylens[k];
    c.capacity = (n - NODE_KEYSAT) / (c.keylen + 4);
    c.splitat = c.capacity < IDX_MAXCOUNT ? c.capacity : IDX_MAXCOUNT;
    c.buf = static_cast<uint8_t *>(globalmalloc(n));
    ok = c.buf != nullptr;
  }
  if (!ok) {
    free_ctx(ctx);
    return FHS_NOMEMORY;
  }
  ctx->spare = ctx->work + n;
  *out = ctx;
  return FHS_OK;
}

// Checks a header against the block's description.
int check_header(const fhrequest *block, const uint8_t *head) {
  int nkeys = get16(head + 92);
  if (nkeys != block->nkeys || nkeys > IDX_MAXKEYS || !block->keydefs) return FHS_IDXFIDMISMATCH;
  for (int k = 0; k < nkeys; k++) {
    if (head[96 + k] != block->keydefs[k].keylen) return FHS_IDXFIDMISMATCH;
  }
  int n = get16(head + 94);
  if (n < IDX_HEADERSIZE) return FHS_CORRUPTINDEX;
  for (int k = 0; k < nkeys; k++) {
    if ((n - NODE_KEYSAT) / (head[96 + k] + 4) < IDX_MINCAPACITY) return FHS_CORRUPTINDEX;
  }
  return FHS_OK;
}

// The pending word and the dynamic part after it, as one transfer.
constexpr int kPendingAt = 6;
constexpr int kStateSize = IDX_DYNAMICAT - kPendingAt + IDX_DYNAMICSIZE;

int64_t file_size(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? st.st_size : -1;
}

// Fits the dynamic part to the file's size: the next node number covers
// every node on file, and a list head beyond the file is dropped (its nodes
// are lost to reuse, never handed out twice). True when anything disagreed.
bool fit_to_file(IndexCtx *ctx, int64_t size) {
  int64_t n = ctx->nodesize;
  int64_t nodes = (size + n - 1) / n;
  bool disagree = size % n != 0 || nodes != ctx->nextnode;
  if (nodes > ctx->nextnode && nodes <= UINT32_MAX) ctx->nextnode = static_cast<uint32_t>(nodes);
  uint32_t limit = static_cast<uint32_t>(nodes < ctx->nextnode ? nodes : ctx->nextnode);
  for (uint32_t *head : {&ctx->freehead, &ctx->delhead}) {
    if (*head >= limit) {
      disagree = disagree || *head != 0;
      *head = 0;
    }
  }
  for (int k = 0; k < IDX_MAXKEYS; k++) disagree = disagree || ctx->roots[k] >= limit;
  return disagree;
}

}  // namespace

int index_make(fhrequest *block) {
  if (block->nkeys == 0 || block->nkeys > IDX_MAXKEYS || !block->keydefs) return FHS_IDXFIDMISMATCH;
  uint16_t n = static_cast<uint16_t>((largest_keylen(block) * 24 + 228) & ~127);
  uint8_t *head = static_cast<uint8_t *>(globalmalloc(n));
  if (!head) return FHS_NOMEMORY;
  memcpy(head, "QZT", 4);
  put16(head + 4, IDX_VERSION);
  put32(head + IDX_DYNAMICAT, 1);
  put16(head + 92, block->nkeys);
  put16(head + 94, n);
  for (int k = 0; k < block->nkeys; k++) head[96 + k] = block->keydefs[k].keylen;
  int status = FHS_OK;
  int fd = open(block->idxname, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    status = FHS_CREATEINDEX;
  } else {
    bool whole = pwrite_full(fd, head, n, 0) == n;
    if (close(fd) != 0 || !whole) {
      unlink(block->idxname);
      status = FHS_WRITEINDEX;
    }
  }
  globalmfree(head);
  return status;
}

int index_open(fhrequest *block) {
  mapping_forget(block, MAPPED_INDEX);
  uint8_t head[IDX_HEADERSIZE];
  if (pread_full(block->idxfd, head, 8, 0) != 8) return FHS_READINDEX;
  uint16_t version = get16(head + 4);
  if (version == IDX_OLDVERSION) return FHS_OLDINDEX;
  if (version != IDX_VERSION) return FHS_INDEXVERSION;
  if (pread_full(block->idxfd, head, IDX_HEADERSIZE, 0) != IDX_HEADERSIZE) return FHS_READINDEX;
  int status = check_header(block, head);
  if (status != FHS_OK) return status;
  IndexCtx *ctx = nullptr;
  status = build_ctx(block, head, &ctx);
  if (status != FHS_OK) return status;
  int64_t size = file_size(block->idxfd);
  if (size < 0) {
    free_ctx(ctx);
    return FHS_READINDEX;
  }
  // The fitted header reaches the file with the next change.
  ctx->unfinished = fit_to_file(ctx, size);
  ctx->pending = get16(head + kPendingAt) != 0;
  block->idxctx = ctx;
  return FHS_OK;
}

bool index_unfinished(const fhrequest *block) {
  const IndexCtx *ctx = ctx_of(block);
  return ctx && ctx->unfinished;
}

int index_settle(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx || !ctx->unfinished) return FHS_OK;
  ctx->changed = true;
  int status = index_write_header(block);
  if (status == FHS_OK) ctx->unfinished = false;
  return status;
}

bool index_needs_rebuild(const fhrequest *block) {
  const IndexCtx *ctx = ctx_of(block);
  return ctx && ctx->pending;
}

int index_mark(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (ctx->marked || index_shared(block)) return FHS_OK;
  off_t want = (static_cast<off_t>(ctx->nextnode) + 1) * ctx->nodesize;
  int64_t size = file_size(block->idxfd);
  if (size < 0 || (size < want && io_truncate(block->idxfd, want) != 0)) return FHS_WRITEINDEX;
  // On the disk before any node the cache may write back.
  uint8_t pending[2];
  put16(pending, 1);
  if (pwrite_full(block->idxfd, pending, sizeof pending, kPendingAt) != sizeof pending ||
      io_datasync(block->idxfd) != 0) {
    return FHS_WRITEINDEX;
  }
  ctx->marked = true;
  return FHS_OK;
}

void index_mark_pending(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx) return;
  uint8_t pending[2];
  put16(pending, 1);
  if (pwrite_full(block->idxfd, pending, sizeof pending, kPendingAt) == sizeof pending) ctx->pending = true;
}

int index_file_mark_pending(const char *name) {
  int fd = open(name, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno == ENOENT ? FHS_OK : FHS_OPENINDEX;
  uint8_t pending[2];
  put16(pending, 1);
  bool ok = pwrite_full(fd, pending, sizeof pending, kPendingAt) == sizeof pending && io_datasync(fd) == 0;
  close(fd);
  return ok ? FHS_OK : FHS_WRITEINDEX;
}

int index_reset(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx) return FHS_NOTSUPPORTED;
  NodeCache *cache = nodecache();
  if (cache) cache->drop(block->idxfd);
  if (ctx->mirror) ctx->mirror->clear();
  ctx->gen++;
  ctx->nextnode = 1;
  ctx->freehead = 0;
  ctx->delhead = 0;
  for (uint32_t &root : ctx->roots) root = 0;
  ctx->changed = true;
  ctx->marked = false;
  ctx->pending = false;
  for (KeyCursor &c : ctx->cur) c.leaf = 0;
  return index_mark(block);
}

int index_checkpoint(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx) return FHS_OK;
  int status = index_flush_nodes(block);
  // A shared block has written everything at once.
  if (status != FHS_OK || index_shared(block) || (!ctx->marked && !ctx->changed)) return status;
  // The header must not name nodes the disk may not hold yet.
  if (io_datasync(block->idxfd) != 0) return FHS_WRITEINDEX;
  ctx->changed = ctx->changed || ctx->marked;
  if ((status = index_write_header(block)) != FHS_OK) return status;
  if (ctx->marked) {
    off_t end = static_cast<off_t>(ctx->nextnode) * ctx->nodesize;
    if (io_datasync(block->idxfd) != 0 || (file_size(block->idxfd) > end && io_truncate(block->idxfd, end) != 0)) {
      return FHS_WRITEINDEX;
    }
  }
  ctx->marked = false;
  ctx->unfinished = false;
  return FHS_OK;
}

int index_write_header(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx || !ctx->changed) return FHS_OK;
  // The pending word is cleared with the header that makes the file whole,
  // unless the tree on file was found broken and not built again.
  uint8_t state[kStateSize] = {};
  put16(state, ctx->pending ? 1 : 0);
  encode_dynamic(ctx, state + IDX_DYNAMICAT - kPendingAt);
  if (pwrite_full(block->idxfd, state, kStateSize, kPendingAt) != kStateSize) return FHS_WRITEINDEX;
  ctx->changed = false;
  return FHS_OK;
}

int index_flush_nodes(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx) return FHS_OK;
  ctx->gen++;
  // Once the nodes are on file another process may change them.
  if (ctx->mirror) ctx->mirror->clear();
  NodeCache *cache = nodecache();
  return cache ? cache->flush(block->idxfd) : FHS_OK;
}

int index_close(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx) return FHS_OK;
  int status = index_checkpoint(block);
  // Whatever failed, no cache entry may outlive the handle: a change that
  // cannot be written is lost here, and the pending word left on file has
  // the next open build the index again.
  int flushed = index_flush_nodes(block);
  if (NodeCache *cache = nodecache()) cache->drop(block->idxfd);
  free_ctx(ctx);
  block->idxctx = nullptr;
  return status != FHS_OK ? status : flushed;
}

int index_keylen(const fhrequest *block, int key) {
  const IndexCtx *ctx = ctx_of(block);
  if (ctx && key >= 0 && key < ctx->nkeys) return ctx->keylens[key];
  return block->keydefs && key >= 0 && key < block->nkeys ? block->keydefs[key].keylen : 0;
}

char *index_keytext(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  return ctx ? ctx->keytext : nullptr;
}

bool index_shared(const fhrequest *block) { return block_is_shared(block); }

bool index_keeps_nodes(const fhrequest *block) { return !index_shared(block) || changes_tracked(block); }

int index_sync(fhrequest *block) {
  if (!block_rereads(block)) return FHS_OK;
  IndexCtx *ctx = ctx_of(block);
  uint8_t dyn[IDX_DYNAMICSIZE];
  ssize_t got = mapped_read(block, MAPPED_INDEX, IDX_DYNAMICAT, reinterpret_cast<char *>(dyn), IDX_DYNAMICSIZE);
  if (got < 0) got = pread_full(block->idxfd, dyn, IDX_DYNAMICSIZE, IDX_DYNAMICAT);
  if (got != IDX_DYNAMICSIZE) return FHS_READINDEX;
  decode_dynamic(ctx, dyn);
  int64_t size = file_size(block->idxfd);
  if (size < 0) return FHS_READINDEX;
  // Another program may have been killed half-way: never take its nodes.
  ctx->changed = fit_to_file(ctx, size);
  return FHS_OK;
}

int index_refresh(fhrequest *block) {
  int flushed = index_flush_nodes(block);
  int synced = index_sync(block);
  return flushed != FHS_OK ? flushed : synced;
}

int index_commit(fhrequest *block, int status) {
  int written = index_shared(block) ? index_write_header(block) : FHS_OK;
  return status != FHS_OK ? status : written;
}

namespace {

// The node mirror to use for the block: none for a shared block whose
// nodes other processes may change unseen (a copy left from before it
// became shared is dropped). A tracked block keeps one, dropped with its
// cached nodes when its change count moves.
NodeMirror *mirror_of(fhrequest *block) {
  NodeMirror *mirror = ctx_of(block)->mirror.get();
  if (!mirror || index_keeps_nodes(block)) return mirror;
  if (mirror->bytes() != 0) mirror->clear();
  return nullptr;
}

// After a failed node transfer the file may hold other contents than the
// copies: they are all dropped.
int mirror_check(NodeMirror *mirror, int status) {
  if (status != FHS_OK && mirror) mirror->clear();
  return status;
}

// Before node contents `buf` are written: a node of a tree changes that
// tree only, and only its cursor stops mirroring its leaf; any other node
// (a freed one, a deleted-record node) may have been part of any tree, and
// every cursor goes. Trees share no nodes, so the other cursors' leaves and
// paths stay what the file holds.
void retire_cursors(IndexCtx *ctx, const uint8_t *buf) {
  bool tree_node = (buf[0] == NODE_LEAF || buf[0] == NODE_INNER) && buf[2] < ctx->nkeys;
  if (tree_node) {
    ctx->cur[buf[2]].gen = ctx->gen - 1;
  } else {
    ctx->gen++;
  }
}

}  // namespace

int node_read(fhrequest *block, uint32_t node, uint8_t *buf) {
  IndexCtx *ctx = ctx_of(block);
  if (node == 0 || node >= ctx->nextnode) return FHS_CORRUPTINDEX;
  NodeMirror *mirror = mirror_of(block);
  const uint8_t *clean = mirror ? mirror->find(node) : nullptr;
  bool kept = clean != nullptr;
  NodeCache *cache = nodecache();
  // A node that neither the mirror nor the node cache holds comes from the
  // file's mapping when it has one.
  if (!clean && !(cache && cache->holds(block->idxfd, node, nullptr))) {
    clean = mapped_at(block, MAPPED_INDEX, static_cast<uint64_t>(node) * ctx->nodesize, ctx->nodesize);
  }
  int status;
  if (cache) {
    status = cache->read(block->idxfd, node, ctx->nodesize, buf, clean);
  } else if (clean) {
    memcpy(buf, clean, ctx->nodesize);
    status = FHS_OK;
  } else {
    off_t at = static_cast<off_t>(node) * ctx->nodesize;
    status = pread_full(block->idxfd, buf, ctx->nodesize, at) == ctx->nodesize ? FHS_OK : FHS_READINDEX;
  }
  if (status == FHS_OK && mirror && !kept) mirror->put(node, buf);
  return mirror_check(mirror, status);
}

int node_write(fhrequest *block, uint32_t node, const uint8_t *buf) {
  IndexCtx *ctx = ctx_of(block);
  if (node == 0 || node >= ctx->nextnode) return FHS_CORRUPTINDEX;
  retire_cursors(ctx, buf);
  NodeMirror *mirror = mirror_of(block);
  int status = index_mark(block);
  if (status != FHS_OK) return status;
  NodeCache *cache = nodecache();
  bool through = index_shared(block);
  if (cache) {
    status = through ? cache->write_through(block->idxfd, node, ctx->nodesize, buf)
                     : cache->write(block->idxfd, node, ctx->nodesize, buf);
  } else {
    off_t at = static_cast<off_t>(node) * ctx->nodesize;
    status = pwrite_full(block->idxfd, buf, ctx->nodesize, at) == ctx->nodesize ? FHS_OK : FHS_WRITEINDEX;
  }
  if (status == FHS_OK && mirror) mirror->put(node, buf);
  return mirror_check(mirror, status);
}

int tree_read(fhrequest *block, int keynum, uint32_t node, uint8_t *buf) {
  int status = node_read(block, node, buf);
  if (status != FHS_OK) return status;
  const KeyCursor &c = ctx_of(block)->cur[keynum];
  bool kind_ok = buf[0] == NODE_LEAF || buf[0] == NODE_INNER;
  if (!kind_ok || buf[2] != keynum || buf[1] == 0 || buf[1] > c.splitat) return FHS_CORRUPTINDEX;
  return FHS_OK;
}

int node_take(fhrequest *block, uint32_t *node) {
  IndexCtx *ctx = ctx_of(block);
  int status = index_mark(block);
  if (status != FHS_OK) return status;
  if (ctx->freehead != 0) {
    uint8_t *scratch = ctx->spare + ctx->nodesize;
    status = node_read(block, ctx->freehead, scratch);
    if (status != FHS_OK) return status;
    *node = ctx->freehead;
    ctx->freehead = get32(scratch);
    ctx->changed = true;
    // Off the list on file before it is used, or a crash would leave a
    // node both in a tree and on the free list.
    return index_shared(block) ? index_write_header(block) : FHS_OK;
  }
  if (ctx->nextnode == UINT32_MAX) return FHS_WRITEINDEX;
  // A new node lies beyond the header's count until the header is written:
  // a crash leaves it unreached, and the open finds the longer file.
  *node = ctx->nextnode++;
  ctx->changed = true;
  return FHS_OK;
}

int node_free(fhrequest *block, uint32_t node) {
  IndexCtx *ctx = ctx_of(block);
  // What the header still says about the node (a root, the deleted-record
  // list head) goes to the file before the node is emptied.
  if (index_shared(block)) {
    int status = index_write_header(block);
    if (status != FHS_OK) return status;
  }
  uint8_t *scratch = ctx->spare + ctx->nodesize;
  memset(scratch, 0, ctx->nodesize);
  put32(scratch, ctx->freehead);
  int status = node_write(block, node, scratch);
  if (status != FHS_OK) return status;
  ctx->freehead = node;
  ctx->changed = true;
  return FHS_OK;
}

}  // namespace corvex
