// Module engine/index/: B+tree index files, key texts, the node cache and
// the block's current key. Its face is this header with keys.h and
// nodecache.h (indexctx.h and nodemirror.h are internal); it uses data/,
// sharing/, fid/ and core/.
//
// B+tree index files: one tree per key of a data file, plus the list of
// deleted data records available for reuse.
//
// An index belongs to a request block. The open-file code opens the file
// named `idxname` and puts the handle into `idxfd`; index_open then reads the
// header into an index context that `idxctx` points at until index_close.
// The file format and the tree invariants are described at the top of
// engine/index/indexfile.cpp.
//
// Every function returns a status (0 = success, the FHS_ codes of
// engine/fhrequest.h otherwise). Functions that find a record position store
// it through `pos`; 0 means "nothing found" and is not an error.
//
// In a network mode other than 0 without FH_EXCLUSIVE (a shared block) the
// dynamic part of the header is written back at once when it changes, and
// every search, insert, removal and deleted-list operation first re-reads it
// when other programs may have changed it (block_rereads). Otherwise the
// header is written by index_write_header / index_close. Changed nodes stay
// in the engine's node cache (engine/index/nodecache.h) until index_flush_nodes,
// or until the cache evicts them; a shared block's are written at once, and
// dropped when its change count moves (or after every call without one).
#ifndef CORVEX_ENGINE_INDEX_INDEX_H
#define CORVEX_ENGINE_INDEX_INDEX_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

// Search modes of index_search.
enum IndexMode {
  IDX_EXACT = 0,  // the entry equal to the text
  IDX_GE = 1,     // the first entry whose key >= the text
  IDX_LE = 2,     // the last entry whose key <= the text
  IDX_NEXT = 3,   // the first entry whose key > the text
  IDX_PREV = 4,   // the last entry whose key < the text
  IDX_FIRST = 5,  // the lowest entry of the key
  IDX_LAST = 6    // the highest entry of the key
};

// Creates (or truncates) the file `block->idxname` and writes a header node
// for `block->nkeys` keys with the key lengths of `block->keydefs`; the file
// is closed again. Returns 0, 22 when it cannot be created, or 24 when the
// header write is short (the file is then deleted).
int index_make(fhrequest *block);

// Reads the header of the index open on `block->idxfd` and attaches a new
// index context to `block->idxctx`. A next-node number below the file's
// node count is raised to it, so that no node on file is taken again, and
// list heads beyond the file are dropped (index_unfinished then answers
// true). Returns 0; 23 for a short header; 29 for
// the previous version (864); 26 for any other wrong version; 27 when the key
// count or a key length differs from the block's description; 28 when the
// node size cannot hold the keys; 9 when memory runs out. On failure no
// context is attached.
int index_open(fhrequest *block);

// Writes the pending changes as index_checkpoint does, drops the block's
// cached nodes, and frees the context; `idxctx`
// becomes null. The handle is not closed. Returns 0 or 24; the context is
// freed either way. Harmless without a context.
int index_close(fhrequest *block);

// Writes the dynamic part of the header if it changed. Returns 0 or 24.
int index_write_header(fhrequest *block);

// Writes every pending change of the index in an order that a crash cannot
// break: the cached nodes first (then synced), then the header, then the
// unfinished-update mark of a block that is not shared is taken off the file.
// The cached nodes are dropped as index_flush_nodes does. Returns 0 or 24.
int index_checkpoint(fhrequest *block);

// True when the open found the index header and the file's size
// disagreeing (an update that did not finish; see FHS_RECOVER).
bool index_unfinished(const fhrequest *block);

// Writes the header as the open fitted it to a file found unfinished (its
// tree is whole: the nodes past the old header's count are kept from being
// handed out twice). Returns 0 or 24.
int index_settle(fhrequest *block);

// True when the open found the pending word set: a single-user holder
// ended before its checkpoint, the tree on file may be broken, and only
// building the index again from the data file makes it whole.
bool index_needs_rebuild(const fhrequest *block);

// Sets the pending word on file: an update failed half way in a way that
// only building the index again mends (the next open does, when alone).
void index_mark_pending(fhrequest *block);

// Sets the pending word of the index file `name` (closed), so that its next
// open builds it again: maintenance does this before it puts a new data file
// in place, which the old index no longer matches. 0 when there is no such
// file; 21 or 24.
int index_file_mark_pending(const char *name);

// Starts the index over empty, for a rebuild by the caller: the block's
// cached nodes are dropped unwritten and the file is marked pending until
// the checkpoint that follows the rebuild (a kill meanwhile leaves it to be
// built again). The caller holds the files alone and keeps the block from
// being shared until then. Returns 0, 24 or 102.
int index_reset(fhrequest *block);

// Writes back the block's dirty cached nodes and drops all of them from the
// node cache; the key cursors are forgotten, so the next search starts at
// the root. Returns 0, or 24 when a write-back is short. Harmless without a
// context.
int index_flush_nodes(fhrequest *block);

// True when the node cache may keep the block's nodes from one call to the
// next: a block that is not shared, or one whose change count tells it when
// other programs change the file (engine/sharing/changecount.h).
bool index_keeps_nodes(const fhrequest *block);

// Drops the block's cached nodes (as index_flush_nodes) and, for a shared
// block that must read again (block_rereads), reads the dynamic part of
// the header. Returns 0, 23 or 24.
int index_refresh(fhrequest *block);

// The stored length of key `key` (its own segments, the appended key 0 for
// key > 0, the position suffix of a temporary index).
int index_keylen(const fhrequest *block, int key);

// The current key text: a buffer of the largest key length + 1 bytes that
// searches leave the found key in and that positioning reads. Null when the
// block has no index context.
char *index_keytext(fhrequest *block);

// True when the current key text is the key of the index entry that the
// last search found (searches set it; set key and key texts built from a
// record clear it).
bool index_entry_text(const fhrequest *block);

// True when the last step or position along the current key went towards
// lower keys (a backspace, or navigation under FH_REVERSE).
bool index_moved_back(const fhrequest *block);

// Clears what index_entry_text tells.
void index_forget_entry(fhrequest *block);

// What a call may change of the block's place along its keys: the current
// key text and how it was reached. A read that has to be made again puts
// it back; the key cursors are not part of it, so restoring forgets them.
struct IndexPlace {
  char keytext[256];
  bool entry_text = false;
  bool backward = false;
};
void index_save_place(fhrequest *block, IndexPlace *place);
void index_restore_place(fhrequest *block, const IndexPlace &place);

// Searches key `key` in `mode`. The text for IDX_EXACT, IDX_GE, IDX_LE,
// IDX_NEXT and IDX_PREV is `text` (stored key length bytes), or the current
// key text when `text` is null; IDX_FIRST and IDX_LAST ignore it. A found
// entry's key becomes the current key text and *pos its record position;
// nothing found gives *pos = 0 and leaves the current key text alone.
// Returns 0, 28 for a node that does not belong to the tree or an answer
// on the wrong side of the text (a damaged tree: a walk that relies on it
// would go back or loop), 23 for a short node read, or 102 without a
// context or for a key number out of range.
int index_search(fhrequest *block, int key, int mode, const char *text, uint32_t *pos);

// Inserts the entry (text, pos) into key `key`; an entry equal to others is
// placed after them. Splits full nodes. Returns 0 or the status of a failed
// node read or write (23, 24, 28).
int index_insert(fhrequest *block, int key, const char *text, uint32_t pos);

// Removes the entry of key `key` whose text is `text` and whose position is
// `pos`. Returns 0, 10 when the first entry equal to the text is missing or
// has another position, or the status of a failed node read or write.
int index_remove(fhrequest *block, int key, const char *text, uint32_t pos);

// Takes a deleted-record slot of `length` bytes from the deleted-record list
// (for fixed-length records only the first entry is looked at). *pos is its
// position, or 0 when there is none (the caller appends). Returns a status.
int index_take_slot(fhrequest *block, uint16_t length, uint32_t *pos);

// Adds the deleted-record slot (pos, length) to the deleted-record list.
// Returns a status.
int index_add_slot(fhrequest *block, uint32_t pos, uint16_t length);

// The record positions of up to `max` entries from the one `from` places
// on from the current entry of key `curkey`, in the direction of the last
// step, as far as the leaf that holds the current entry and the leaf after
// it have them (that one only from the memory copies of a block that is
// not shared; nothing is read); returns their count, and in *into the
// number of entries of the current leaf before the current one in that
// direction (0 when there is no current entry). They are for reading
// ahead only: the index may change before they are reached.
int index_ahead(const fhrequest *block, int from, uint32_t *pos, int max, int *into);

// Moves from the current key text of key `curkey` to the next entry
// (IDX_NEXT) or the previous one (IDX_PREV); with ST_CONTAINS set, to the
// next or previous entry whose own key text contains the text at `keybuf`.
// *pos is the entry's position or 0. Used by read, write, delete and
// backspace to advance. Returns a status.
int index_step(fhrequest *block, int mode, uint32_t *pos);

// Positioning by key (opcode 8 with keys in use): finds the first entry of
// key `curkey` >= the text at `keybuf` (under FH_REVERSE the last one <=
// it; with ST_CONTAINS the next one containing it; with FH_EXACT only an
// entry that starts with the given characters). Found: `recpos` is its
// position and ST_POSITIONED is set; otherwise ST_POSITIONED is cleared and
// the call still succeeds. Returns a status (102 without a context).
int index_position(fhrequest *block);

// Opcode 19: makes `keyarg` the current key. 102 without keys, 20 when
// `keyarg` exceeds `nkeys` (1 for a hashed file), 102 for a key number on a
// block opened without its index or hash file (nothing changes then). 0
// selects physical order (FH_NOKEY); 1 on a hashed file selects hashed
// access again.
int op_setkey(fhrequest *block);

// Builds key `curkey` of `recbuf` as the current key text (when the block
// has an index context).
void build_current_key(fhrequest *block);

// Drops the block's cached index nodes in a shared mode.
void flush_if_shared(fhrequest *block);

// Runs `step` for an operation that walks the index: in a shared mode it
// takes the header lock around the walk, since another process's insert
// writes several nodes and a tree read halfway through it is not one tree.
// Drops the cached nodes after it. Returns the step's status or 108.
int with_index_guard(fhrequest *block, int (*step)(fhrequest *));

}  // namespace corvex

#endif
