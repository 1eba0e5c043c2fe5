// The index context and the node-level helpers shared by the index sources.
// Internal to the index module; engine/index/index.h is its public face.
#ifndef CORVEX_ENGINE_INDEX_INDEXCTX_H
#define CORVEX_ENGINE_INDEX_INDEXCTX_H

#include <stdint.h>
#include <string.h>

#include <memory>

#include "engine/fhrequest.h"
#include "engine/index/nodemirror.h"

namespace corvex {

enum {
  IDX_VERSION = 865,
  IDX_OLDVERSION = 864,
  IDX_MAXKEYS = 18,
  IDX_HEADERSIZE = 114,  // bytes of node 0 that hold the header
  IDX_DYNAMICAT = 8,     // the dynamic part: next node, lists, roots
  IDX_DYNAMICSIZE = 84,
  IDX_MAXDEPTH = 16,     // levels of a key's path stack
  IDX_MAXCOUNT = 255,    // entries a node's count byte can hold
  IDX_MINCAPACITY = 16,  // smallest capacity whose splits leave both halves filled
  NODE_INNER = 1,
  NODE_LEAF = 2,
  NODE_KEYSAT = 4        // pointers start here, keys follow the pointers
};

inline uint32_t get32(const uint8_t *bytes) {
  uint32_t v;
  memcpy(&v, bytes, 4);  // the files are little-endian, as is the host
  return v;
}
inline void put32(uint8_t *bytes, uint32_t value) { memcpy(bytes, &value, 4); }
inline uint16_t get16(const uint8_t *bytes) {
  uint16_t v;
  memcpy(&v, bytes, 2);
  return v;
}
inline void put16(uint8_t *bytes, uint16_t value) { memcpy(bytes, &value, 2); }

// One step of a path from the root: the node, the entry taken, its count.
struct PathStep {
  uint32_t node;
  int entry;
  int count;
};

// Per key: the layout of its nodes, the cursor and its node buffer.
struct KeyCursor {
  int keylen = 0;
  int capacity = 0;   // C: slots in a node's layout
  int splitat = 0;    // the count that splits a node: min(C, 255)
  uint32_t leaf = 0;  // node of the current entry; 0 = none
  int entry = 0;
  bool atend = true;
  int depth = 0;      // steps in `path`, the leaf's own step last
  PathStep path[IDX_MAXDEPTH];
  uint8_t *buf = nullptr;  // the cursor's leaf when `gen` is current
  uint64_t gen = 0;
};

struct IndexCtx {
  uint16_t version = 0;
  uint16_t nkeys = 0;
  uint16_t nodesize = 0;
  // The dynamic part of the header.
  uint32_t nextnode = 1;
  uint32_t freehead = 0;
  uint32_t delhead = 0;
  uint32_t roots[IDX_MAXKEYS] = {};
  uint8_t keylens[IDX_MAXKEYS] = {};
  bool changed = false;  // the dynamic part differs from the file's
  // A block that is not shared keeps its changes in memory until a
  // checkpoint (close, secure, park with headers). While it has any, the
  // file is one node longer than its header's next node says, so that a
  // program killed before the checkpoint leaves an index that the next open
  // finds unfinished.
  bool marked = false;
  // The open found the header and the file's size disagreeing.
  bool unfinished = false;
  // The open found the pending word set: a single-user holder's changes
  // did not all reach the file, and the tree on file may be broken.
  bool pending = false;
  // The current key text is the key of the index entry that a search found
  // (so a read can check that the record still holds it).
  bool entry_text = false;
  // The last move along the current key went to lower keys (backspace, or
  // a walk in reverse): a read that passes over an entry goes on that way.
  bool backward = false;
  // Raised whenever the cache is flushed or a node that may belong to any
  // tree changes; a cursor whose `gen` differs no longer mirrors its leaf.
  // A write of a tree's own node retires only that tree's cursor.
  uint64_t gen = 1;
  char *keytext = nullptr;  // the current key text, largest length + 1
  size_t keytext_size = 0;
  uint8_t *work = nullptr;  // two scratch nodes for updates
  uint8_t *spare = nullptr;
  KeyCursor cur[IDX_MAXKEYS];
  // Clean copies of the nodes for a block that is not shared; null when
  // memory for it could not be had (the file then serves every miss).
  std::unique_ptr<NodeMirror> mirror;
};

inline IndexCtx *ctx_of(const fhrequest *block) { return static_cast<IndexCtx *>(block->idxctx); }

// A view of one tree node in a buffer, laid out for key length l and
// capacity C: pointers at 4, key i at 4 + 4C + i * l.
struct Node {
  uint8_t *b;
  int l;
  int c;
  int kind() const { return b[0]; }
  int count() const { return b[1]; }
  void set_count(int entries) { b[1] = static_cast<uint8_t>(entries); }
  uint32_t ptr(int entry) const { return get32(b + NODE_KEYSAT + 4 * entry); }
  void set_ptr(int entry, uint32_t value) { put32(b + NODE_KEYSAT + 4 * entry, value); }
  char *key(int entry) const { return reinterpret_cast<char *>(b + NODE_KEYSAT + 4 * c + entry * l); }
  // Opens slot i by moving entries i.. up one; the caller fills it.
  void open_slot(int entry) {
    int n = count();
    memmove(b + NODE_KEYSAT + 4 * (entry + 1), b + NODE_KEYSAT + 4 * entry, 4 * (n - entry));
    memmove(key(entry + 1), key(entry), static_cast<size_t>(l) * (n - entry));
    set_count(n + 1);
  }
  // Closes slot i by moving later entries down; the freed last slot is zeroed.
  void close_slot(int entry) {
    int n = count();
    memmove(b + NODE_KEYSAT + 4 * entry, b + NODE_KEYSAT + 4 * (entry + 1), 4 * (n - 1 - entry));
    memmove(key(entry), key(entry + 1), static_cast<size_t>(l) * (n - 1 - entry));
    set_ptr(n - 1, 0);
    memset(key(n - 1), 0, l);
    set_count(n - 1);
  }
};

inline Node node_view(const KeyCursor &cursor, uint8_t *buf) { return Node{buf, cursor.keylen, cursor.capacity}; }

// --- indexfile.cpp ---

// True when the block's header is shared with other processes (re-read
// before use, written at once).
bool index_shared(const fhrequest *block);

// Re-reads the dynamic part of the header for a shared block. Returns a status.
int index_sync(fhrequest *block);

// Ends an update: a shared block writes a changed header at once.
int index_commit(fhrequest *block, int status);

// Before the first change of a block that is not shared: marks the file as
// holding unwritten changes (see IndexCtx::marked). Returns 0 or 24.
int index_mark(fhrequest *block);

// Reads or writes node `node` through the node cache. Node numbers outside
// 1..nextnode-1 give 28.
int node_read(fhrequest *block, uint32_t node, uint8_t *buf);
int node_write(fhrequest *block, uint32_t node, const uint8_t *buf);

// Reads node `node` of key `keynum`'s tree and checks its kind, key number and count
// (1..splitat); 28 when the node cannot belong to the tree.
int tree_read(fhrequest *block, int keynum, uint32_t node, uint8_t *buf);

// Takes a node from the free-node list or the end of the file.
int node_take(fhrequest *block, uint32_t *node);

// Zero-fills node `node` and links it at the head of the free-node list.
int node_free(fhrequest *block, uint32_t node);

// --- search.cpp ---

// Finds `text` in key `keynum` from the root, filling the cursor's path; the leaf
// is in the cursor's buffer. For IDX_NEXT / IDX_GE / IDX_EXACT the cursor
// ends at the first entry > (>=) the text, possibly in a later leaf, or
// after the last entry of the last leaf; *found tells whether it names an
// entry. Returns a status.
int index_locate(fhrequest *block, int keynum, int mode, const char *text, bool *found);

// As index_locate, but answered from the cursor's leaf when the cursor is
// current and the answer provably lies there or in the next leaf.
int index_find(fhrequest *block, int keynum, int mode, const char *text, bool *found);

}  // namespace corvex

#endif
