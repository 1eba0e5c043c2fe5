// Inserting into and removing from a key's tree.
//
// Insertion places an entry before the first entry greater than it, so equal
// keys keep their order of insertion, and splits a node as soon as its
// count reaches the capacity: appending at the end keeps the left node
// seven-eighths full, any other insertion splits in the middle. Removal
// renews the bound of a leaf whose last entry went, and frees a node that
// became empty, removing its entry from the parent in the same way.
#include "engine/index/index.h"

#include <memory>
#include <new>

#include "engine/index/indexctx.h"
#include "engine/index/keys.h"

namespace corvex {

namespace {

enum { kMaxKey = 256 };

void copy_key(char *to, const Node &nd, int entry) { memcpy(to, nd.key(entry), nd.l); }

// Reads the node at path step `depth` of key `keynum` into `buf` and checks that its
// entry on the path still leads to the step below.
int read_step(fhrequest *block, int keynum, int depth, uint8_t *buf) {
  KeyCursor &c = ctx_of(block)->cur[keynum];
  int status = tree_read(block, keynum, c.path[depth].node, buf);
  if (status != FHS_OK) return status;
  Node nd = node_view(c, buf);
  const PathStep &s = c.path[depth];
  if (nd.kind() != NODE_INNER || s.entry >= nd.count() || nd.ptr(s.entry) != c.path[depth + 1].node) {
    return FHS_CORRUPTINDEX;
  }
  return FHS_OK;
}

// An insertion at the end of a node (keys that grow, as a log's dates do)
// leaves one entry in kAppendMovedShare to the new right node, which takes
// the following appends: a tree filled in key order ends up seven-eighths
// full rather than half full. Any other insertion splits in the middle, so
// both halves have room for the keys that land between their entries.
enum { kAppendMovedShare = 8 };

// The number of entries of a full node of `full` entries that stay in the
// left node after an insertion at entry `inserted`; the inserted entry
// never becomes the right node's first.
int left_count(int full, int inserted) {
  int left = inserted >= full - 1 ? full - full / kAppendMovedShare : full / 2;
  return inserted == left ? left + 1 : left;
}

// Splits the full node of path step `depth`, held in `buf` and not yet written,
// after an insertion at entry `inserted`. The writes go new node first, then the
// parent (or the new root and the header), and the old node, trimmed,
// last: after any one of them the tree on file reaches every entry it held
// before, some twice, and a split that fails half-way leaves it so.
int split(fhrequest *block, int keynum, int depth, uint8_t *buf, int inserted) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  Node b = node_view(c, buf);
  int full = b.count();
  int m = left_count(full, inserted);
  // The parent's split reuses the scratch nodes: the trimmed node waits here.
  std::unique_ptr<uint8_t[]> trimmed(new (std::nothrow) uint8_t[ctx->nodesize]);
  if (!trimmed) return FHS_NOMEMORY;
  uint32_t fresh;
  int status = node_take(block, &fresh);
  if (status != FHS_OK) return status;
  Node r = node_view(c, ctx->spare);
  memset(r.b, 0, ctx->nodesize);
  r.b[0] = b.b[0];
  r.b[2] = static_cast<uint8_t>(keynum);
  for (int j = m; j < full; j++) {
    r.set_ptr(j - m, b.ptr(j));
    copy_key(r.key(j - m), b, j);
    b.set_ptr(j, 0);
    memset(b.key(j), 0, b.l);
  }
  r.set_count(full - m);
  b.set_count(m);
  memcpy(trimmed.get(), b.b, ctx->nodesize);
  uint32_t left = c.path[depth].node;
  if ((status = node_write(block, fresh, r.b)) != FHS_OK) return status;
  char lkey[kMaxKey], rkey[kMaxKey];
  copy_key(lkey, b, m - 1);
  copy_key(rkey, r, full - m - 1);
  if (depth == 0) {
    uint32_t root;
    if ((status = node_take(block, &root)) != FHS_OK) return status;
    Node t = node_view(c, ctx->work);
    memset(t.b, 0, ctx->nodesize);
    t.b[0] = NODE_INNER;
    t.b[2] = static_cast<uint8_t>(keynum);
    t.set_count(2);
    t.set_ptr(0, left);
    memcpy(t.key(0), lkey, t.l);
    t.set_ptr(1, fresh);
    memcpy(t.key(1), rkey, t.l);
    if ((status = node_write(block, root, t.b)) != FHS_OK) return status;
    ctx->roots[keynum] = root;
    ctx->changed = true;
    if (index_shared(block) && (status = index_write_header(block)) != FHS_OK) return status;
    return node_write(block, left, trimmed.get());
  }
  Node p = node_view(c, ctx->work);
  if ((status = read_step(block, keynum, depth - 1, p.b)) != FHS_OK) return status;
  int e = c.path[depth - 1].entry;
  if (p.count() >= c.splitat) return FHS_CORRUPTINDEX;
  // The new node takes the top of the old node's range, so it inherits the
  // old bound; only a last entry, whose key is not consulted, takes the
  // new node's highest key.
  if (e < p.count() - 1) copy_key(rkey, p, e);
  memcpy(p.key(e), lkey, p.l);
  p.open_slot(e + 1);
  p.set_ptr(e + 1, fresh);
  memcpy(p.key(e + 1), rkey, p.l);
  status = p.count() >= c.splitat ? split(block, keynum, depth - 1, p.b, e + 1) : node_write(block, c.path[depth - 1].node, p.b);
  if (status != FHS_OK) return status;
  return node_write(block, left, trimmed.get());
}

int insert_locked(fhrequest *block, int keynum, const char *text, uint32_t pos) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  int s = 0;
  int status;
  bool new_root = ctx->roots[keynum] == 0;
  if (new_root) {
    uint32_t n;
    if ((status = node_take(block, &n)) != FHS_OK) return status;
    memset(c.buf, 0, ctx->nodesize);
    c.buf[0] = NODE_LEAF;
    c.buf[2] = static_cast<uint8_t>(keynum);
    c.depth = 1;
    c.path[0] = PathStep{n, 0, 0};
  } else {
    bool found;
    if ((status = index_locate(block, keynum, IDX_NEXT, text, &found)) != FHS_OK) return status;
    s = c.entry;
  }
  Node nd = node_view(c, c.buf);
  if (nd.count() >= c.splitat) return FHS_CORRUPTINDEX;
  nd.open_slot(s);
  memcpy(nd.key(s), text, nd.l);
  nd.set_ptr(s, pos);
  int d = c.depth - 1;
  // A full node never goes to the file: the split writes its halves.
  if (nd.count() >= c.splitat) return split(block, keynum, d, nd.b, s);
  if ((status = node_write(block, c.path[d].node, nd.b)) != FHS_OK) return status;
  if (new_root) {
    // The header names the root only once it is on file.
    ctx->roots[keynum] = c.path[0].node;
    ctx->changed = true;
  }
  return FHS_OK;
}

// Gives the node of path step `depth` the new highest key `key`: the first
// ancestor whose path entry is not its last (or else the root) records it.
int renew_bound(fhrequest *block, int keynum, int depth, const char *key) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  char copy[kMaxKey];
  memcpy(copy, key, c.keylen);
  for (int j = depth - 1; j >= 0; j--) {
    const PathStep &s = c.path[j];
    if (s.entry == s.count - 1 && j > 0) continue;
    Node p = node_view(c, ctx->work);
    int status = read_step(block, keynum, j, p.b);
    if (status != FHS_OK) return status;
    memcpy(p.key(s.entry), copy, p.l);
    return node_write(block, s.node, p.b);
  }
  return FHS_OK;
}

// Removes the entry of path step `depth` that leads to the freed node below it.
int remove_child(fhrequest *block, int keynum, int depth) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  if (depth < 0) {
    ctx->roots[keynum] = 0;
    ctx->changed = true;
    return FHS_OK;
  }
  Node p = node_view(c, ctx->work);
  int status = read_step(block, keynum, depth, p.b);
  if (status != FHS_OK) return status;
  PathStep &s = c.path[depth];
  bool was_last = s.entry == p.count() - 1;
  p.close_slot(s.entry);
  s.count = p.count();
  if (p.count() == 0) {
    // The reference goes before the node: a crash leaves it unreached.
    if ((status = remove_child(block, keynum, depth - 1)) != FHS_OK) return status;
    return node_free(block, s.node);
  }
  if ((status = node_write(block, s.node, p.b)) != FHS_OK) return status;
  return was_last ? renew_bound(block, keynum, depth, p.key(p.count() - 1)) : FHS_OK;
}

int remove_locked(fhrequest *block, int keynum, const char *text, uint32_t pos) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  bool found;
  // A delete has just found key 0 by the same text: the cursor answers.
  int status = index_find(block, keynum, IDX_EXACT, text, &found);
  if (status != FHS_OK) return status;
  Node nd = node_view(c, c.buf);
  if (!found || nd.ptr(c.entry) != pos) return FHS_INDEX;
  int d = c.depth - 1;
  bool was_last = c.entry == nd.count() - 1;
  nd.close_slot(c.entry);
  c.path[d].count = nd.count();
  if (nd.count() == 0) {
    if ((status = remove_child(block, keynum, d - 1)) != FHS_OK) return status;
    return node_free(block, c.path[d].node);
  }
  if ((status = node_write(block, c.path[d].node, nd.b)) != FHS_OK) return status;
  return was_last ? renew_bound(block, keynum, d, nd.key(nd.count() - 1)) : FHS_OK;
}

bool valid_key(const fhrequest *block, int keynum) {
  const IndexCtx *ctx = ctx_of(block);
  return ctx && keynum >= 0 && keynum < ctx->nkeys;
}

}  // namespace

int index_insert(fhrequest *block, int key, const char *text, uint32_t pos) {
  if (!valid_key(block, key)) return FHS_NOTSUPPORTED;
  int status = index_sync(block);
  if (status == FHS_OK) status = insert_locked(block, key, text, pos);
  return index_commit(block, status);
}

int index_remove(fhrequest *block, int key, const char *text, uint32_t pos) {
  if (!valid_key(block, key)) return FHS_NOTSUPPORTED;
  int status = index_sync(block);
  if (status == FHS_OK) status = remove_locked(block, key, text, pos);
  return index_commit(block, status);
}

}  // namespace corvex
