// Module engine/data/: data files and their records: the file and its
// header, the record cache, record images, variable-length packing, base-95
// numbers, record threads and their expressions. Its face is this header
// with records.h, record_threads.h, varlen_packing.h, base95.h and
// datacache.h (thread_expr.h is internal); it uses sharing/, fid/ and core/.
//
// The data file of a request block: its header record and record transfers.
//
// Positions are byte offsets; position 0 is the header record, so a stored
// 0 means "no record". Every record is read and written with one positioned
// transfer. Whatever is read from the file is untrusted: counts, lengths and
// links are checked against the file size and the record length first.
#ifndef CORVEX_ENGINE_DATA_DATAFILE_H
#define CORVEX_ENGINE_DATA_DATAFILE_H

#include <stddef.h>
#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

// The size of the data file in bytes, or -1 when it cannot be had.
int64_t data_size(const fhrequest *block);

// What the check of an open found in a data file (header_read with `tail`).
struct DataTail {
  uint32_t counted = 0;    // records the header counts, itself included
  uint32_t whole = 0;      // whole records on file, the header included
  uint32_t beyond_at = 0;  // where the first record past the count starts; 0 = none
  int64_t end = 0;         // where the last whole record ends
  int64_t size = 0;        // the file's size
  // A variable-length record before the end has a length that cannot be
  // used: the walk stopped there, `whole` and `end` count up to it.
  bool damaged = false;
  // The count or the file's end disagree with the whole records.
  bool unfinished() const;
  // Bytes after the last whole record that are only the start of one.
  bool torn() const { return !damaged && end < size; }
};

// Reads the header record: FH_VARLEN from byte 0 ('V' sets it, anything
// else clears it) and the count from bytes 1..8, which must be hexadecimal
// digits giving at least 1. `nrecs` of a fixed-length file is the number of
// whole slots the file holds, whatever the count says. When the file has
// thread items the heads are loaded too; each must be 0 or a record position
// inside the file. With `check_end` the whole header record must be there
// with a line feed at `reclen` - 1. With `tail`, the check of an open: the
// whole records are counted (a variable-length file is walked by its
// length digits, and `nrecs` becomes their count unless the walk met
// damage) and what follows the last one is told apart: the start of a
// record that a write did not finish, or damage. Nothing is changed on
// file. Returns 0, 3 for a short or damaged header, or 19 for a missing
// line feed.
int header_read(fhrequest *block, bool check_end, DataTail *tail = nullptr);

// For a block that must read again what others may have changed
// (block_rereads) reads the header record again; otherwise does nothing.
// Returns 0 or the header read's status.
int reload_header(fhrequest *block);

// Writes bytes 0..8 of the header record (' ' or 'V', `nrecs` in eight
// hexadecimal digits) and, when the file has thread items, bytes
// 9..`reclen` - 2 as spaces with each thread head in base 95 at its item's
// offset, in one transfer. Returns 0 or 4.
int header_write(fhrequest *block);

// True when `pos` may hold a record of `block`: past the header, inside a
// file of `size` bytes and, for fixed-length records, on a slot boundary.
bool valid_record_pos(const fhrequest *block, uint32_t pos, int64_t size);

// valid_record_pos against the data file's current size, which the file's
// mapping answers without a system call when the position lies inside
// what it has seen.
bool record_pos_in_file(const fhrequest *block, uint32_t pos);

// Reads the record at `pos` into `image` (`reclen` bytes), unpacking a
// variable-length record. Bytes that are missing at the end of the file
// become 0x1A. Stores the length read (`reclen`, or the stored length of a
// variable-length record) in `len`. A failing read is tried 5 times, 500 ms
// apart. Returns 0, 3 when the read keeps failing or the stored length of a
// variable-length record is unreadable or out of range, or 9.
int record_read(fhrequest *block, uint32_t pos, char *image, uint32_t *len);

// A hint that the records at the `n` positions `pos` are read soon: where
// the file is mapped their bytes are fetched into the processor's cache
// meanwhile. A walk in key order meets the records in no order on file, and
// each read would otherwise wait for memory.
void data_prefetch(const fhrequest *block, const uint32_t *pos, int n);

// Writes `len` bytes of `data` at `pos`. Returns 0 or 4.
int data_write(fhrequest *block, uint32_t pos, const char *data, size_t len);

// Cuts the data file at `end`, which only a torn record follows; every
// view of the file in the process learns its new size. Returns 0 or 4.
int data_cut(fhrequest *block, int64_t end);

// Writes the record image `image` (its last byte set to a line feed) at
// `pos` in stored form. A variable-length record is packed; when `slot` is
// not 0 the packed form must fit in a slot of that many bytes and is padded
// with spaces before its line feed to fill it exactly (the padding unpacks
// to nothing). Stores the length written in `len` when not null. Returns 0,
// 4, 9, or 100 when the packed form is longer than `slot`.
int record_store(fhrequest *block, uint32_t pos, char *image, uint32_t slot, uint32_t *len);

// The packed length of the variable-length image `image`. Returns 0 or 9.
int packed_length(fhrequest *block, const char *image, uint32_t *len);

}  // namespace corvex

#endif
