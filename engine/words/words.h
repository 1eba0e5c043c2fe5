// The word index: which documents contain a word, and which indexed words a
// document contains.
//
// An index is two files. The keyword file is an ordinary keyed engine file
// whose description has the items "KEYWORD" (the word, lower case) and
// "POSN" (5 base-95 digits: the position of the word's first posting) and
// key 0 on "KEYWORD"; the caller fills `datname` and `fidname` of a zeroed
// request block before _fhhypinit. The postings file holds fixed 8-byte
// entries, little-endian:
//
//   0        8 bytes  "ezhyp" and three zero bytes
//   8 + 8i   u32      document number
//   12 + 8i  u32      position of the next posting of the same word, 0 = last
//
// Postings are only appended, and a word's chain runs in order of addition,
// so every link points further into the file. A new posting is written
// before anything links to it: a process killed between the two leaves an
// unreachable posting, never a link to nothing. Words removed from a
// document stay indexed until the index is made afresh.
//
// Sharing: in a shared network mode (and without FH_EXCLUSIVE) adders take
// the append lock of the postings file (its byte 0, `hdrtries` tries 20 ms
// apart) for the whole add, and the keyword record lock while they change
// a known word, so processes adding to one index lose nothing. In a
// single-user setting one program has the index to itself: its blocks on
// one index share the postings file, the memory copy of it and the chains
// read so far, and reach the keyword file through one of them, so that
// they see each other's words; the program holds the append lock while it
// has the index open, so that another program's single-user open, or
// shared add, fails with 108 instead of working on a copy that is not in
// step. Postings are written in batches (every megabyte, before the record
// of a new word, at close, and when the program ends without closing),
// postings before the links and keyword records that name them: a process
// killed meanwhile leaves an index that lacks its last words but is sound.
// A keyword file left inside an update (status 113 at open) is rebuilt by
// the open when no other program has it open.
//
// Failures leave the status in `status`: 54 the postings file can be
// neither opened nor made, 55 a postings read is short or a chain is
// damaged (a link backwards or outside the file), 56 a postings write is
// short, 108 the append lock stays taken; else the status of the keyword
// file operation.
#ifndef CORVEX_ENGINE_WORDS_WORDS_H
#define CORVEX_ENGINE_WORDS_WORDS_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "util/export.h"

// Word-class flags of _fhhypaddline: which words besides plain words
// (letters and hyphens only) are indexed.
enum {
  HYP_MIXED = 0x0002,    // numbers, and digits mixed with letters (A4, -42)
  HYP_NUMBERS = 0x0004,  // numbers of digits only (1995)
  HYP_DIGITS = 0x0008,   // the same as HYP_NUMBERS
  HYP_OTHERS = 0x0010    // any word, also with other characters (3.14)
};

CORVEX_EXTERN_C_BEGIN

// With `open` not 0: opens the keyword file (made when its data file does
// not exist) and the postings file (made with its signature when it does
// not exist; an existing one that fails to open is never made anew; opened
// read-only when it is not writable) and keeps the postings handle in
// `hypfd`, which is the same for every block of the program on that file.
// With `open` 0: closes both. Returns 0, or -1.
CORVEX_EXPORT int32_t _fhhypinit(fhrequest *block, const char *postings, int32_t open);

// Adds `word` for document `doc`. Words under 3 characters (except two
// upper-case letters) and "and" and "the" are ignored; the word is
// lower-cased in place. A document is recorded once per word. Returns 0
// (also for ignored words and repeats), or -1.
CORVEX_EXPORT int32_t _fhhypaddword(fhrequest *block, char *word, uint32_t doc);

// Adds the words of `text` (split at blanks, tabs, line feeds, carriage
// returns; at most 256 characters a word) for `doc`, after stripping
// surrounding quotes, brackets and trailing punctuation, when their class is
// accepted under `flags` (HYP_ above). Returns 0, or -1 at the first word
// that fails.
CORVEX_EXPORT int32_t _fhhypaddline(fhrequest *block, const char *text, uint32_t doc, uint16_t flags);

// The documents of `word` (compared lower-cased) in order of addition, at
// most 64,897 of them, in an array from globalmalloc that the caller frees
// with globalmfree; `*count` gets their number. An unknown word gives null,
// a count of 0 and status 0; a failure gives null, 0 and its status.
CORVEX_EXPORT uint32_t *_fhhypsearch(fhrequest *block, const char *word, uint32_t *count);

// Appends to `buffer` each indexed word of document `doc`, in key order, as
// the word and a carriage return and line feed, starting at the first word
// not below `prefix` and ending after the words with the prefix's first
// letter (an empty or null prefix lists every word). `buffer` is null or
// comes from globalmalloc, holding `*size` bytes and a terminated text; it
// grows by 256 bytes as needed (the old block is freed) and `*size` follows.
// Without a buffer one of 256 bytes is made. Returns the buffer, or null
// (the buffer freed) with status 55 or 9.
CORVEX_EXPORT char *_fhhyplist(fhrequest *block, uint32_t doc, const char *prefix, char *buffer, uint32_t *size);

CORVEX_EXTERN_C_END

#endif
