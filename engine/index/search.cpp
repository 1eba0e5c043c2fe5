// Searching a key's tree.
//
// A search descends from the root: in an inner node it takes the first
// child whose bound (the key of its entry; the last entry is not consulted)
// is >= the text, which is the child after the rightmost entry below the
// text (> the text when looking for the last entry <= it or the first one
// above it, since equal keys may continue over several leaves). In the
// leaf it finds the answer by the mode, stepping to the neighbouring leaf
// through the path stack when the answer lies beyond the leaf's ends. Entries are found by binary search, which gives the same
// answer as a scan from the right since entries are in order.
//
// Unless the block must read its files again (block_rereads), the cursor's
// leaf stays in its buffer; a search
// whose answer provably lies in that leaf or the next one (in the search's
// direction) is answered from there, which makes a walk in key order cost
// no descent from the root. A step from the cursor's own entry costs one
// comparison with its neighbour.
#include "engine/index/index.h"

#include "engine/core/engine.h"
#include "engine/index/indexctx.h"
#include "engine/index/keys.h"
#include "engine/sharing/changecount.h"

namespace corvex {

namespace {

// How a descent chooses children: by the text (the first child whose bound
// is >= the text, or > it), or always the first or the last child.
enum Pick { PICK_TEXT, PICK_ABOVE, PICK_FIRST, PICK_LAST };

// The first of the first n entries whose key is >= text (> text when
// strict), or n.
int bound(const fhrequest *block, int keynum, const Node &nd, int count, const char *text, bool strict) {
  int lo = 0, hi = count;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    int c = key_compare(block, keynum, nd.key(mid), text);
    if (strict ? c <= 0 : c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// The first entry of the leaf whose key is >= text (> text when strict). A
// hint entry equal to the text finds it by stepping over its equal
// neighbours, which in a walk costs two comparisons.
int leaf_bound(const fhrequest *block, int keynum, const Node &nd, int hint, const char *text, bool strict) {
  int n = nd.count();
  if (hint < 0 || hint >= n || key_compare(block, keynum, nd.key(hint), text) != 0) {
    return bound(block, keynum, nd, n, text, strict);
  }
  int i = hint;
  if (strict) {
    for (i++; i < n && key_compare(block, keynum, nd.key(i), text) == 0; i++) {
    }
  } else {
    while (i > 0 && key_compare(block, keynum, nd.key(i - 1), text) == 0) i--;
  }
  return i;
}

// Reads node `node` at `depth` and goes down to a leaf, choosing children by
// `pick`. The leaf ends in the cursor's buffer, its step last on the path.
int descend(fhrequest *block, int keynum, uint32_t node, int depth, Pick pick, const char *text) {
  KeyCursor &c = ctx_of(block)->cur[keynum];
  for (;;) {
    if (depth >= IDX_MAXDEPTH) return FHS_CORRUPTINDEX;
    int status = tree_read(block, keynum, node, c.buf);
    if (status != FHS_OK) return status;
    Node nd = node_view(c, c.buf);
    int count = nd.count();
    c.path[depth] = PathStep{node, 0, count};
    if (nd.kind() == NODE_LEAF) {
      c.depth = depth + 1;
      c.leaf = node;
      return FHS_OK;
    }
    int e = pick == PICK_FIRST  ? 0
            : pick == PICK_LAST ? count - 1
                                : bound(block, keynum, nd, count - 1, text, pick == PICK_ABOVE);
    c.path[depth].entry = e;
    node = nd.ptr(e);
    depth++;
  }
}

// Moves the cursor to the leaf after (dir > 0) or before its leaf. *moved
// is false at the edge of the tree, where the cursor's leaf stays.
int neighbour(fhrequest *block, int keynum, int dir, bool *moved) {
  KeyCursor &c = ctx_of(block)->cur[keynum];
  *moved = false;
  for (int d = c.depth - 2; d >= 0; d--) {
    PathStep &s = c.path[d];
    int e = s.entry + dir;
    if (e < 0 || e >= s.count) continue;
    int status = tree_read(block, keynum, s.node, c.buf);
    if (status != FHS_OK) return status;
    Node nd = node_view(c, c.buf);
    if (nd.count() != s.count || nd.kind() != NODE_INNER) return FHS_CORRUPTINDEX;
    s.entry = e;
    *moved = true;
    return descend(block, keynum, nd.ptr(e), d + 1, dir > 0 ? PICK_FIRST : PICK_LAST, nullptr);
  }
  return FHS_OK;
}

// The node mirror's copy of node `node` when it is a node of key `keynum`'s tree of
// the given kind; null otherwise (not kept, or not such a node).
const uint8_t *tree_copy(const fhrequest *block, int keynum, uint32_t node, int kind) {
  const IndexCtx *ctx = ctx_of(block);
  if (!ctx->mirror || block_rereads(block)) return nullptr;
  const uint8_t *copy = ctx->mirror->find(node);
  if (!copy || copy[0] != kind || copy[2] != keynum || copy[1] == 0 || copy[1] > ctx->cur[keynum].splitat) return nullptr;
  return copy;
}

// The mirror's copy of the leaf after (dir > 0) or before the cursor's
// leaf, found along the cursor's path as neighbour finds it but without
// reading anything: null when a node on the way is not kept or the cursor
// is at the edge of the tree. For reading ahead across the leaf's end.
const uint8_t *neighbour_copy(const fhrequest *block, int keynum, int dir) {
  const KeyCursor &c = ctx_of(block)->cur[keynum];
  for (int d = c.depth - 2; d >= 0; d--) {
    const PathStep &s = c.path[d];
    int e = s.entry + dir;
    if (e < 0 || e >= s.count) continue;
    const uint8_t *node = tree_copy(block, keynum, s.node, NODE_INNER);
    if (!node || node[1] != s.count) return nullptr;
    for (d++;; d++) {
      uint32_t child = get32(node + NODE_KEYSAT + 4 * e);
      bool leaf = d == c.depth - 1;
      node = tree_copy(block, keynum, child, leaf ? NODE_LEAF : NODE_INNER);
      if (!node || leaf) return node;
      e = dir > 0 ? 0 : node[1] - 1;
    }
  }
  return nullptr;
}

// The answer of `mode` within the cursor's leaf: the entry, or count (for
// forward modes) or -1 (backward modes) when it lies beyond the leaf.
// *certain is false when an earlier (forward) or later (backward) leaf may
// hold the answer instead.
int answer_in_leaf(const fhrequest *block, int keynum, int mode, const char *text, int hint, bool *certain) {
  KeyCursor &c = ctx_of(block)->cur[keynum];
  Node nd = node_view(c, c.buf);
  int n = nd.count();
  // NEXT and LE look at the first entry above the text, the others at the
  // first one not below it.
  int b = leaf_bound(block, keynum, nd, hint, text, mode == IDX_NEXT || mode == IDX_LE);
  switch (mode) {
    case IDX_NEXT:
      *certain = b > 0;
      return b;
    case IDX_LE:
    case IDX_PREV:
      *certain = b < n;
      return b - 1;
    default:  // IDX_EXACT, IDX_GE
      *certain = b > 0;
      return b;
  }
}

bool forward(int mode) { return mode == IDX_EXACT || mode == IDX_GE || mode == IDX_NEXT; }

// Marks the cursor at `entry` of its leaf; returns whether it names an entry
// that answers `mode`.
bool settle(fhrequest *block, int keynum, int mode, const char *text, int entry) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  Node nd = node_view(c, c.buf);
  bool found = entry >= 0 && entry < nd.count();
  if (found && mode == IDX_EXACT) found = key_compare(block, keynum, nd.key(entry), text) == 0;
  c.entry = entry;
  c.path[c.depth - 1].entry = entry;
  c.atend = !found;
  c.gen = ctx->gen;
  return found;
}

// Finds the answer of `mode` from the cursor's leaf on, stepping to the
// neighbouring leaves in the mode's direction while it lies beyond them.
// *i is the answer's entry in the cursor's leaf at the end, out of range
// when the tree holds none.
int walk_leaves(fhrequest *block, int keynum, int mode, const char *text, int *entry) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  int dir = forward(mode) ? 1 : -1;
  bool certain;
  // A bound may equal keys that continue in the next leaves; the walk is
  // bounded by the number of nodes.
  for (uint32_t steps = 0;; steps++) {
    *entry = answer_in_leaf(block, keynum, mode, text, -1, &certain);
    int n = node_view(c, c.buf).count();
    if ((dir > 0 && *entry < n) || (dir < 0 && *entry >= 0)) return FHS_OK;
    if (steps >= ctx->nextnode) return FHS_CORRUPTINDEX;
    bool moved = false;
    int status = neighbour(block, keynum, dir, &moved);
    if (status != FHS_OK || !moved) return status;
  }
}

// The cursor answers when its leaf is current and no leaf before it (in
// the mode's direction) can hold the answer, which lies in the leaf itself
// or the neighbouring one (or nowhere, at the edge of the tree). False when
// the search must start at the root; otherwise *status tells the outcome.
bool from_cursor(fhrequest *block, int keynum, int mode, const char *text, bool *found, int *status) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  if (block_rereads(block) || c.gen != ctx->gen || c.leaf == 0 || mode == IDX_FIRST || mode == IDX_LAST) {
    return false;
  }
  bool certain = false;
  int i = answer_in_leaf(block, keynum, mode, text, c.entry, &certain);
  if (!certain) return false;
  int n = node_view(c, c.buf).count();
  *status = FHS_OK;
  if (i < 0 || i >= n) {
    // Past the leaf's end the next leaf may answer; farther on, the root
    // gets there sooner.
    bool moved = false;
    *status = neighbour(block, keynum, forward(mode) ? 1 : -1, &moved);
    if (*status != FHS_OK) {
      c.leaf = 0;
      return true;
    }
    if (moved) {
      i = answer_in_leaf(block, keynum, mode, text, -1, &certain);
      if (i < 0 || i >= node_view(c, c.buf).count()) return false;
    }
  }
  *found = settle(block, keynum, mode, text, i);
  return true;
}

// A step (IDX_NEXT or IDX_PREV) from the cursor's own entry, whose key the
// text still is: the neighbouring entry, in this leaf or the first (last)
// one of the next (previous) leaf, answers when its key is above (below)
// the text, since every entry on the other side of it is not. One
// comparison instead of a search; an equal neighbour (equal keys may go
// on) or one out of order is left to the search. False when the search
// must decide; otherwise *found and *status tell the outcome, which was
// checked to lie on the right side of the text.
bool step_from_cursor(fhrequest *block, int keynum, int mode, const char *text, bool *found, int *status) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  if ((mode != IDX_NEXT && mode != IDX_PREV) || block_rereads(block) || c.gen != ctx->gen || c.leaf == 0) {
    return false;
  }
  Node nd = node_view(c, c.buf);
  if (c.entry < 0 || c.entry >= nd.count() || memcmp(nd.key(c.entry), text, c.keylen) != 0) return false;
  int dir = mode == IDX_NEXT ? 1 : -1;
  int i = c.entry + dir;
  *status = FHS_OK;
  if (i < 0 || i >= nd.count()) {
    bool moved = false;
    *status = neighbour(block, keynum, dir, &moved);
    if (*status != FHS_OK) {
      c.leaf = 0;
      return true;
    }
    if (!moved) {
      *found = settle(block, keynum, mode, text, i);
      return true;
    }
    i = dir > 0 ? 0 : node_view(c, c.buf).count() - 1;
  }
  int side = key_compare(block, keynum, node_view(c, c.buf).key(i), text);
  if (dir > 0 ? side <= 0 : side >= 0) return false;
  *found = settle(block, keynum, mode, text, i);
  return true;
}

// True when `found` lies where a search in `mode` from `text` may end.
bool answer_fits(const fhrequest *block, int keynum, int mode, const char *text, const char *found) {
  if (mode == IDX_FIRST || mode == IDX_LAST) return true;
  int c = key_compare(block, keynum, found, text);
  switch (mode) {
    case IDX_EXACT: return c == 0;
    case IDX_GE: return c >= 0;
    case IDX_LE: return c <= 0;
    case IDX_NEXT: return c > 0;
    default: return c < 0;
  }
}

}  // namespace

int index_locate(fhrequest *block, int keynum, int mode, const char *text, bool *found) {
  IndexCtx *ctx = ctx_of(block);
  KeyCursor &c = ctx->cur[keynum];
  *found = false;
  c.leaf = 0;
  c.depth = 0;
  c.atend = true;
  uint32_t root = ctx->roots[keynum];
  if (root == 0) return FHS_OK;
  // The leaf that holds the answer: the first one whose highest key is
  // above the text for IDX_NEXT and IDX_LE, the first one whose highest key
  // is not below it otherwise; IDX_LE and IDX_PREV may then find the answer
  // at the end of the leaf before.
  Pick pick = mode == IDX_FIRST                      ? PICK_FIRST
              : mode == IDX_LAST                     ? PICK_LAST
              : mode == IDX_NEXT || mode == IDX_LE ? PICK_ABOVE
                                                     : PICK_TEXT;
  int status = descend(block, keynum, root, 0, pick, text);
  int i = 0;
  if (status == FHS_OK && (pick == PICK_FIRST || pick == PICK_LAST)) {
    i = pick == PICK_FIRST ? 0 : node_view(c, c.buf).count() - 1;
  } else if (status == FHS_OK) {
    status = walk_leaves(block, keynum, mode, text, &i);
  }
  if (status != FHS_OK) {
    c.leaf = 0;
    return status;
  }
  *found = settle(block, keynum, mode, text, i);
  return FHS_OK;
}

int index_find(fhrequest *block, int keynum, int mode, const char *text, bool *found) {
  int status = FHS_OK;
  if (from_cursor(block, keynum, mode, text, found, &status)) return status;
  return index_locate(block, keynum, mode, text, found);
}

bool index_entry_text(const fhrequest *block) {
  const IndexCtx *ctx = ctx_of(block);
  return ctx && ctx->entry_text;
}

bool index_moved_back(const fhrequest *block) {
  const IndexCtx *ctx = ctx_of(block);
  return ctx && ctx->backward;
}

void index_forget_entry(fhrequest *block) {
  IndexCtx *ctx = ctx_of(block);
  if (ctx) ctx->entry_text = false;
}

namespace {

size_t keytext_bytes(const IndexCtx *ctx) {
  return ctx->keytext_size < sizeof IndexPlace::keytext ? ctx->keytext_size : sizeof IndexPlace::keytext;
}

}  // namespace

void index_save_place(fhrequest *block, IndexPlace *place) {
  const IndexCtx *ctx = ctx_of(block);
  if (!ctx) return;
  memcpy(place->keytext, ctx->keytext, keytext_bytes(ctx));
  place->entry_text = ctx->entry_text;
  place->backward = ctx->backward;
}

void index_restore_place(fhrequest *block, const IndexPlace &place) {
  IndexCtx *ctx = ctx_of(block);
  if (!ctx) return;
  memcpy(ctx->keytext, place.keytext, keytext_bytes(ctx));
  ctx->entry_text = place.entry_text;
  ctx->backward = place.backward;
  ctx->gen++;
}

int index_ahead(const fhrequest *block, int from, uint32_t *pos, int max, int *into) {
  *into = 0;
  const IndexCtx *ctx = ctx_of(block);
  int k = block->curkey;
  if (!ctx || k < 0 || k >= ctx->nkeys) return 0;
  const KeyCursor &c = ctx->cur[k];
  if (c.leaf == 0 || c.atend || c.gen != ctx->gen) return 0;
  const uint8_t *leaf = c.buf;
  int count = leaf[1];
  if (c.entry < 0 || c.entry >= count) return 0;
  int dir = ctx->backward ? -1 : 1;
  *into = dir > 0 ? c.entry : count - 1 - c.entry;
  int n = 0;
  int e = c.entry + from * dir;
  bool crossed = false;
  while (n < max) {
    if (e >= 0 && e < count) {
      pos[n++] = get32(leaf + NODE_KEYSAT + 4 * e);
      e += dir;
      continue;
    }
    if (crossed || !(leaf = neighbour_copy(block, k, dir))) break;
    crossed = true;
    e = dir > 0 ? e - count : e + leaf[1];
    count = leaf[1];
  }
  return n;
}

int index_search(fhrequest *block, int key, int mode, const char *text, uint32_t *pos) {
  *pos = 0;
  IndexCtx *ctx = ctx_of(block);
  if (!ctx || key < 0 || key >= ctx->nkeys || mode < IDX_EXACT || mode > IDX_LAST) return FHS_NOTSUPPORTED;
  ctx->entry_text = false;
  int status = index_sync(block);
  if (status != FHS_OK) return status;
  if (!text) text = ctx->keytext;
  bool found = false;
  bool checked = step_from_cursor(block, key, mode, text, &found, &status);
  if (!checked && !from_cursor(block, key, mode, text, &found, &status)) {
    status = index_locate(block, key, mode, text, &found);
  }
  if (status != FHS_OK) return status;
  if (!found) return FHS_OK;
  KeyCursor &c = ctx->cur[key];
  Node nd = node_view(c, c.buf);
  // A damaged tree can lead anywhere; an answer that is not on the right
  // side of the text would make walks go back or loop.
  if (!checked && !answer_fits(block, key, mode, text, nd.key(c.entry))) {
    c.leaf = 0;
    return FHS_CORRUPTINDEX;
  }
  memmove(ctx->keytext, nd.key(c.entry), c.keylen);
  ctx->entry_text = true;
  ctx->keytext[c.keylen] = 0;
  *pos = nd.ptr(c.entry);
  return FHS_OK;
}

}  // namespace corvex
