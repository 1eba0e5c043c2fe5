// The postings file of a word index (layout in engine/words/words.h) and
// what the engine keeps of it in memory.
//
// Open postings files are kept in a process-wide table by handle, one entry
// per file: every request block of the process that opens the same file gets
// the same handle and shares the entry. While the keyword block is
// single-user (engine/core/engine.h, block_is_shared) the entry holds the
// whole file in memory and the chains walked or made so far, by keyword
// (engine/words/word_table.h; engine/words/chain.h), and writes go to the
// copy first: postings_flush writes the appended postings, then the changed
// links, so that the file on disk never links to a posting it does not
// hold. Its appended postings are written before a keyword record that
// names one of them, and all of it when much waits, at close and when the
// program ends (a static destructor), so that an add that returned is on
// disk even after an exit without a close. In a shared setting other processes append too,
// so everything is read from and written to the file at once.
//
// A single-user entry keeps the append lock (byte 0) for as long as it is
// open: another program could neither see its copy nor keep the keyword file
// in step, so its single-user opens and its shared adds wait for the lock
// and fail with 108.
#ifndef CORVEX_ENGINE_WORDS_POSTINGS_H
#define CORVEX_ENGINE_WORDS_POSTINGS_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "engine/words/chain.h"
#include "engine/words/word_key.h"

namespace corvex {

constexpr uint32_t kPostingSize = 8;
constexpr uint32_t kFirstPosting = 8;  // after the signature

// Opens the postings file `path` for `block` (read-write, or read-only when
// it is not writable) shared with other processes, or makes it with its
// signature when it does not exist; each with two tries and _closelru(0)
// between. A file this process has open already gives its handle again and
// `*joined` true. A single-user block takes the append lock for the entry
// (`hdrtries` tries). Returns the handle, or -1 with `*status` 54, 55 when
// the file is too short or its signature is wrong, or 108 when another
// program keeps the lock.
int postings_open(const char *path, const fhrequest *block, bool *joined, int *status);

// One user less of the handle; the last one flushes the copy, closes the
// handle and drops what is kept of it. Returns 0 or 56 (a failed flush).
int postings_close(int fd);

// Makes the memory copy of `fd` (reads the file in) when `block` is
// single-user and there is none. Returns 0 or 55.
int postings_sync(int fd, const fhrequest *block);

// True while `fd` has a memory copy.
bool postings_copied(int fd);

// Drops the memory copy (flush it first).
void postings_drop(int fd);

// Writes what the copy holds beyond the file: the appended postings, then
// the changed links. Returns 0 or 56.
int postings_flush(int fd);

// Writes only the postings appended to the copy since the last write, so
// that a keyword record may name them; changed links wait. Returns 0 or 56.
int postings_write_appended(int fd);

// True when so much waits in the copy that it should be flushed.
bool postings_flush_due(int fd);

// The chain kept in memory for `word`, or null. A kept chain stays where it
// is while the memory copy lasts.
Chain *postings_cached_chain(int fd, const WordKey &word);

// Hints that the chain kept for `word` is wanted soon: the first brings its
// table slot toward the processor, the second (once that is near) the
// chain the slot leads to. Nothing is read that could fail.
void postings_prefetch_slot(int fd, const WordKey &word);
void postings_prefetch_chain(int fd, const WordKey &word);

// Walks the chain that starts at `first` into `out`, listed. Returns 0, or
// 55 when a posting lies outside the file, is short, or links backwards.
int postings_walk(int fd, uint32_t first, Chain *out);

// Lists the documents of `chain` when it is not listed, walking it from its
// first posting. Returns 0, or 55 as postings_walk, also when the walk ends
// elsewhere than the chain.
int postings_list(int fd, Chain *chain);

// Appends the posting (doc, 0) at the end of the file (rounded up to a whole
// posting). Returns 0 and the position in `*pos`, or 56.
int postings_append(int fd, uint32_t doc, uint32_t *pos);

// Sets the next-position of the posting at `pos` to `next`. Returns 0 or 56.
int postings_link(int fd, uint32_t pos, uint32_t next);

// Keeps `chain` under `word` when memory is kept and returns the kept
// chain; null when nothing is kept.
Chain *postings_remember(int fd, const WordKey &word, Chain &&chain);

// The append lock: byte 0 of the file, `tries` tries 20 ms apart (0 is one
// try). Returns 0 when held, 56 for a read-only handle, 108 when another
// process keeps it. Unlocking leaves a lock a single-user entry keeps.
int postings_lock(int fd, uint16_t tries);
void postings_unlock(int fd);

}  // namespace corvex

#endif
