// The description tables of a structured file: items, keys and threads.
//
// A FID file (file description) holds, after a 20-byte header, one item entry
// per item, one key descriptor per key and two text lines per thread item. The
// loader (engine/fid/fid.h) reads them into these tables, which the request block
// owns (`itemdefs`, `keydefs`, `threaddefs`) and close frees.
//
// FID file layout, little-endian:
//   header (20 bytes): "QZT", 1 unused, u16 version 608, u16 data length L
//     (reclen = L + 2), u16 item count, u8 key count, 1 unused, u32 hash
//     entries wanted, u16 thread count, u8 flags (FID_VARLEN, FID_HASHED),
//     1 unused;
//   per item: the 20 bytes of fhitemdef, then one comment line ending in a
//     line feed (at most 50 bytes consumed, the line feed included);
//   per key: the 84 bytes of fhkeydef, key 0 first;
//   per thread: a line with the item name (at most 12 bytes consumed) and a
//     line with the thread expression (at most 56 bytes consumed).
#ifndef CORVEX_ENGINE_FIDDEFS_H
#define CORVEX_ENGINE_FIDDEFS_H

#include <stdint.h>

enum {
  FID_HEADERSIZE = 20,
  FID_ITEMSIZE = 20,
  FID_KEYSIZE = 84,
  FID_VERSION = 608,
  FID_MINDATALEN = 8,       // smallest record data length L
  FID_COMMENTMAX = 50,      // bytes consumed for an item's comment line
  FID_THREADNAMEMAX = 12,   // bytes consumed for a thread's item name line
  FID_THREADEXPRMAX = 56,   // bytes consumed for a thread expression line
  FID_NAMELEN = 10,         // item name field
  FID_MAXSEGS = 18,         // segments per key
  FID_VARLEN = 0x01,        // header flag: variable-length records
  FID_HASHED = 0x02         // header flag: hashed file
};

// Key segment flags (fhsegment.flags). With none of SEG_NUMERIC, SEG_CASE,
// SEG_BINARY and SEG_DATE, text compares without regard to letter case.
enum {
  SEG_DESCENDING = 0x01,
  SEG_NUMERIC = 0x02,   // compared as numbers
  SEG_CASE = 0x04,      // case-sensitive text
  SEG_BINARY = 0x08,    // byte by byte
  SEG_DATE = 0x10       // compared as whole numbers
};

#pragma pack(push, 1)

// One item. In the file `offset` counts from the first data byte; in memory
// the loader has raised it by one so that it applies directly to recbuf.
typedef struct fhitemdef {
  char name[FID_NAMELEN];  // upper case, zero-padded
  char type;               // type letter: 'D', 'J', 'I', 'S', 'N' mean something
  char just;               // 'R' = right-justified; anything else left
  uint16_t offset;
  uint16_t length;         // length of one element
  uint16_t count;          // number of elements, at least 1
  uint16_t order;          // entry i: item number of the i-th name in byte order
} fhitemdef;

typedef struct fhsegment {
  uint16_t offset;  // 0-based data offset (key building adds one)
  uint8_t length;
  uint8_t flags;    // SEG_ bits
} fhsegment;

// One key. In memory every key k > 0 has key 0's length added to `keylen`:
// a secondary key is stored with the primary key appended.
typedef struct fhkeydef {
  char unused[10];
  uint8_t keylen;   // sum of the segment lengths
  uint8_t nsegs;    // 1..FID_MAXSEGS
  fhsegment seg[FID_MAXSEGS];
} fhkeydef;

// One thread item (memory only).
typedef struct fhthreaddef {
  uint16_t offset;                 // raised offset of the thread item
  char expr[FID_THREADEXPRMAX];    // upper-cased outside quotes, terminated
  uint32_t head;                   // position of the thread's newest member
} fhthreaddef;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(fhitemdef) == FID_ITEMSIZE);
static_assert(sizeof(fhkeydef) == FID_KEYSIZE);
static_assert(sizeof(fhsegment) == 4);
static_assert(sizeof(fhthreaddef) == 62);
#endif

#endif
