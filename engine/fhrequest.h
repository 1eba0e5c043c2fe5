// The request block: the one interface of the record file engine.
//
// A caller keeps one fhrequest per open file for the whole life of the file,
// zero-fills it before first use, fills the input fields, sets `opcode` and
// passes it to _filehandler (engine/dispatch.h). The engine writes its result
// into `status` at the end of every call. The block must stay at a fixed
// address while the file is open: the engine's open-file list points at it.
//
// The block is byte-packed and every field keeps its order and width. Pointer
// fields are native pointers: on a 32-bit build the block is 272 bytes, on a
// 64-bit build each of the six pointer fields takes 8 bytes and the block is
// 296 bytes. The static_asserts below pin every offset.
#ifndef CORVEX_ENGINE_FHREQUEST_H
#define CORVEX_ENGINE_FHREQUEST_H

#include <stddef.h>
#include <stdint.h>

#include "engine/fiddefs.h"

// Operation codes (`opcode`).
enum {
  FHOP_INIT = 0,        // set the engine up (first call) and raise the init count
  FHOP_OPEN = 1,        // open an existing file set and register the block
  FHOP_MAKE = 2,        // create the file set (truncating), then open it
  FHOP_CLOSE = 3,       // write pending headers, close, unregister, free tables
  FHOP_READ = 4,        // read the current record, then advance unless FH_STAY
  FHOP_WRITE = 5,       // add or replace the record in recbuf
  FHOP_DELETE = 6,      // delete the record whose primary key is in recbuf
  FHOP_BACKSPACE = 7,   // move to the previous record (or the last one)
  FHOP_POSITION = 8,    // position by the key at keybuf (or record number)
  FHOP_SECURE = 9,      // write pending headers and park the handles
  FHOP_END = 11,        // position after the last record
  FHOP_NETMODE = 12,    // select the network mode named at keybuf
  FHOP_LOCK = 13,       // lock the current record
  FHOP_UNLOCK = 14,     // release the record lock held by the block
  FHOP_TEMPINDEX = 15,  // open or create a temporary index keyed by keybuf
  FHOP_ADD = 16,        // add the record in recbuf; 114 when its key 0 exists
  FHOP_SETKEY = 19,     // make keyarg the current key (0 = physical order)
  FHOP_TERMINATE = 20,  // lower the init count, or shut the engine down
  FHOP_COUNT = 21       // one past the highest opcode
};

// Mode flags (`mode`). The low byte holds the file-organisation flags, the
// high byte the access flags. Bits 0x4000 and 0x8000 belong to the caller.
enum {
  FH_KEYSONLY = 0x0002,   // a write only adds key 0 for the record at recpos
  FH_HASHED = 0x0004,     // hashed organisation (set by the FID loader)
  FH_NOKEY = 0x0008,      // keys unused: physical order (set by set-key)
  FH_TEMPINDEX = 0x0010,  // temporary index: keys carry a base-95 position
  FH_VARLEN = 0x0020,     // variable-length records
  FH_NODATA = 0x0040,     // only the index is kept; no data file
  FH_NOFID = 0x0080,      // the caller supplies counts and tables
  FH_EXACT = 0x0100,      // positioning succeeds only on an exact match
  FH_STAY = 0x0200,       // read and write leave recpos where it was
  FH_REVERSE = 0x0400,    // navigation runs in descending order
  FH_EXCLUSIVE = 0x1000,  // this process alone; no locks
  FH_READONLY = 0x2000,   // read-only; write and delete answer 105
  FH_CALLER1 = 0x4000,    // the caller's own
  FH_CALLER2 = 0x8000     // the caller's own
};

// State bits (`state`).
enum {
  ST_POSITIONED = 0x0001,   // recpos designates a current record
  ST_HDRDIRTY = 0x0002,     // the data file header changed and is unwritten
  ST_CONTAINS = 0x0008,     // (caller) positioning searches for containment
  ST_THREAD = 0x0010,       // (caller) navigation follows thread `curkey`
  ST_TIDXEXISTED = 0x0080   // opcode 15 found the temporary index present
};

// Status codes (`status`). 0 is success; 1..44 are errors with a message
// entry (engine/status.h); 54..56 are word-index errors; 100 and up are
// conditions the caller handles.
enum {
  FHS_OK = 0,
  FHS_OPENDATA = 1,          // the data file cannot be opened
  FHS_CREATEDATA = 2,        // make cannot create the data file
  FHS_READDATA = 3,          // header short or malformed, or a read failed
  FHS_WRITEDATA = 4,         // a record or header write is short
  FHS_CLOSEDATA = 5,         // closing the data file fails
  FHS_OPENFID = 6,           // the FID file cannot be opened
  FHS_READFID = 7,           // the FID file ends early or is inconsistent
  FHS_FIDVERSION = 8,        // the FID signature or version is wrong
  FHS_NOMEMORY = 9,          // an allocation fails
  FHS_INDEX = 10,            // a key to be removed is missing from the index
  FHS_NOTOPEN = 11,          // the block is not in the open-file list
  FHS_NOTINIT = 12,          // the engine is not initialised
  FHS_RECMIN = 13,           // the FID record length is below 8
  FHS_UNLOCKREC = 14,        // reserved
  FHS_DATFIDMISMATCH = 19,   // data header does not end with a line feed
  FHS_BADKEY = 20,           // set-key above nkeys
  FHS_OPENINDEX = 21,
  FHS_CREATEINDEX = 22,
  FHS_READINDEX = 23,
  FHS_WRITEINDEX = 24,
  FHS_CLOSEINDEX = 25,
  FHS_INDEXVERSION = 26,
  FHS_IDXFIDMISMATCH = 27,
  FHS_CORRUPTINDEX = 28,
  FHS_OLDINDEX = 29,
  FHS_NODEBUFFER = 30,
  FHS_OPENHASH = 31,
  FHS_CREATEHASH = 32,
  FHS_READHASH = 33,
  FHS_WRITEHASH = 34,
  FHS_CLOSEHASH = 35,
  FHS_HASHVERSION = 36,
  FHS_HASHFIDMISMATCH = 37,
  FHS_CORRUPTHASH = 38,
  FHS_HASHFULL = 39,
  FHS_THREADLOW = 41,        // a thread item starts in the first 8 data bytes
  FHS_THREADSHORT = 42,      // a thread item is shorter than 4 characters
  FHS_THREADOVERFLOW = 43,
  FHS_THREADEXPR = 44,       // a thread expression cannot be parsed
  FHS_OPENWORDS = 54,        // word index postings: neither opened nor made
  FHS_READWORDS = 55,        // word index postings read is short
  FHS_WRITEWORDS = 56,       // word index postings write is short
  FHS_NORECORD = 100,        // no current record / not found
  FHS_BADOPCODE = 101,       // unknown opcode
  FHS_NOTSUPPORTED = 102,    // not possible for this file's organisation
  FHS_READONLY = 105,        // write or delete on a read-only block
  FHS_BADNETMODE = 106,      // unknown network mode name
  FHS_RECLOCKED = 107,       // the record is locked by another process
  FHS_HDRLOCKED = 108,       // the header is locked by another process
  FHS_DELETED = 109,         // the record read is marked deleted
  FHS_NOBACKSPACE = 111,     // backspace on variable-length physical order
  FHS_BADTEMPEXPR = 112,     // bad temporary index expression
  // Open succeeded, but the files show an update that did not finish (a
  // killed program, a full disk): the data file holds more or fewer whole
  // records than its header counts, or the index file has more or fewer
  // nodes than its header names. The block is open and safe to write (new
  // records go after the last whole record, new nodes after the last node);
  // records may be missing from the index until it is rebuilt (recover).
  FHS_RECOVER = 113,
  // An add (opcode 16) found a record with the same key 0 text: nothing was
  // written. Decided under the header lock, so of two programs adding one
  // key at once exactly one succeeds.
  FHS_KEYEXISTS = 114
};

enum {
  FH_NAMESIZE = 65,     // file name fields: 64 characters and a zero byte
  FH_KEYBUFSIZE = 256   // the engine's shared key buffer
};

#pragma pack(push, 1)
typedef struct fhrequest {
  uint8_t opcode;
  uint8_t status;
  uint8_t reserved2;
  uint8_t keyarg;       // set-key argument: 1..nkeys, or 0 for physical order
  int8_t curkey;        // current key, 0-based
  uint16_t nitems;      // items in the description; 0 = byte stream
  uint8_t nkeys;
  char *recbuf;         // caller's record buffer, at least reclen + 1 bytes
  uint16_t reclen;      // status byte + data + line feed
  int32_t datfd;        // data file handle (engine-owned)
  int32_t idxfd;        // index or hash file handle (engine-owned)
  int32_t recpos;       // position of the current record
  uint32_t nrecs;       // record slots, the header included
  uint16_t state;       // ST_ bits
  uint32_t lockpos;     // position of the record lock held; 0 = none
  void *idxctx;         // index context (engine-owned); null when none
  uint32_t hashsize;    // hash table entries
  uint8_t hashidx;      // index 0..10 of the hash table size
  uint16_t hypfd;       // word index postings handle
  uint16_t nthreads;
  uint16_t mode;        // FH_ flags
  uint8_t reserved51[2];
  char *keybuf;         // argument pointer; the shared key buffer after open
  char datname[FH_NAMESIZE];
  char fidname[FH_NAMESIZE];  // "*SEQ..." = no description; "" = derived
  char idxname[FH_NAMESIZE];  // "" = derived from datname
  fhkeydef *keydefs;          // nkeys entries (engine-owned)
  fhitemdef *itemdefs;        // nitems entries (engine-owned)
  fhthreaddef *threaddefs;    // nthreads entries (engine-owned)
  uint16_t hdrtries;    // header lock tries; 0 = one try
  uint16_t rectries;    // record lock tries; 0 = one try
  uint32_t reserved268; // the caller's; the engine never touches it
} fhrequest;
#pragma pack(pop)

#ifdef __cplusplus
// Each pointer field adds this many bytes to the offsets after it.
#define FH_PTRGROW (sizeof(void *) - 4)
static_assert(sizeof(void *) == 4 || sizeof(void *) == 8, "32- or 64-bit only");
static_assert(offsetof(fhrequest, opcode) == 0);
static_assert(offsetof(fhrequest, status) == 1);
static_assert(offsetof(fhrequest, reserved2) == 2);
static_assert(offsetof(fhrequest, keyarg) == 3);
static_assert(offsetof(fhrequest, curkey) == 4);
static_assert(offsetof(fhrequest, nitems) == 5);
static_assert(offsetof(fhrequest, nkeys) == 7);
static_assert(offsetof(fhrequest, recbuf) == 8);
static_assert(offsetof(fhrequest, reclen) == 12 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, datfd) == 14 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, idxfd) == 18 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, recpos) == 22 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, nrecs) == 26 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, state) == 30 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, lockpos) == 32 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, idxctx) == 36 + 1 * FH_PTRGROW);
static_assert(offsetof(fhrequest, hashsize) == 40 + 2 * FH_PTRGROW);
static_assert(offsetof(fhrequest, hashidx) == 44 + 2 * FH_PTRGROW);
static_assert(offsetof(fhrequest, hypfd) == 45 + 2 * FH_PTRGROW);
static_assert(offsetof(fhrequest, nthreads) == 47 + 2 * FH_PTRGROW);
static_assert(offsetof(fhrequest, mode) == 49 + 2 * FH_PTRGROW);
static_assert(offsetof(fhrequest, reserved51) == 51 + 2 * FH_PTRGROW);
static_assert(offsetof(fhrequest, keybuf) == 53 + 2 * FH_PTRGROW);
static_assert(offsetof(fhrequest, datname) == 57 + 3 * FH_PTRGROW);
static_assert(offsetof(fhrequest, fidname) == 122 + 3 * FH_PTRGROW);
static_assert(offsetof(fhrequest, idxname) == 187 + 3 * FH_PTRGROW);
static_assert(offsetof(fhrequest, keydefs) == 252 + 3 * FH_PTRGROW);
static_assert(offsetof(fhrequest, itemdefs) == 256 + 4 * FH_PTRGROW);
static_assert(offsetof(fhrequest, threaddefs) == 260 + 5 * FH_PTRGROW);
static_assert(offsetof(fhrequest, hdrtries) == 264 + 6 * FH_PTRGROW);
static_assert(offsetof(fhrequest, rectries) == 266 + 6 * FH_PTRGROW);
static_assert(offsetof(fhrequest, reserved268) == 268 + 6 * FH_PTRGROW);
static_assert(sizeof(fhrequest) == 272 + 6 * FH_PTRGROW);
static_assert(sizeof(void *) != 8 || sizeof(fhrequest) == 296);
#undef FH_PTRGROW
#endif

#endif
