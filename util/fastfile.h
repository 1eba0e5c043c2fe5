// Buffered files of libcorvex ("fast files"): a table of five slots per process,
// each with a 2048-byte buffer over a file descriptor. A fast file is named by
// its slot number 0..4. Between repositionings a slot is used either for
// reading or for writing. The table is not locked; callers serialise their use.
// Every function given a slot that is out of range or not open fails with its
// failure result.
#ifndef CORVEX_UTIL_FASTFILE_H
#define CORVEX_UTIL_FASTFILE_H

#include "util/export.h"

// Open flags, as callers pass them to _fastopen.
#define FAST_O_RDONLY 0x0001     // read only
#define FAST_O_WRONLY 0x0002     // write only
#define FAST_O_RDWR 0x0004       // read and write
#define FAST_O_DENYALL 0x0010    // others may neither read nor write (exclusive lock)
#define FAST_O_DENYNONE 0x0040   // others may read and write (shared lock)
#define FAST_O_CREAT 0x0100      // create when missing
#define FAST_O_TRUNC 0x0200      // truncate
#define FAST_O_EXCL 0x0400       // with FAST_O_CREAT: fail when the file exists
#define FAST_O_APPEND 0x0800     // every write goes to the end
#define FAST_O_TEXT 0x4000       // accepted; files are never translated
#define FAST_O_BINARY 0x8000     // accepted

// Size of a slot's buffer.
#define FAST_BUFFER_SIZE 2048

CORVEX_EXTERN_C_BEGIN

// Opens path with the open flags and, for a new file, the permission mode.
// An open that may create the file (FAST_O_CREAT) never follows a link at
// path: it fails instead.
// FAST_O_DENYALL takes an exclusive, FAST_O_DENYNONE a shared lock on the file
// (flock); when another open description holds a conflicting lock the open
// fails. Returns the slot 0..4; -1 for an empty path, no free slot or a failed
// open; -2 when no buffer could be had. A file that this call created is
// removed again when the open fails afterwards.
CORVEX_EXPORT int _fastopen(const char *path, int flags, int mode);

// Closes the slot. When it was opened with FAST_O_CREAT the waiting output is
// written first; otherwise waiting output is dropped (flush it before). Returns
// 0, or 1 when the final write failed (or the slot is not open).
CORVEX_EXPORT int _fastclose(int slot);

// Writes the waiting output. The waiting count becomes 0 even when the write
// fails. Returns 0, or 1 when the write failed.
CORVEX_EXPORT int _fastflush(int slot);

// Reads up to n bytes into target. Returns the number delivered (less than n at
// end of file; 0 for a bad slot or n below 1).
CORVEX_EXPORT int _fastread(int slot, void *target, int n);

// Buffers n bytes of source, writing the buffer out each time it fills. Returns
// 0, or -1 when a write failed (the bytes not yet buffered are not written).
CORVEX_EXPORT int _fastwrite(int slot, const void *source, int n);

// The next byte (0..255), or -1 at end of file.
CORVEX_EXPORT int _fastgetc(int slot);

// Buffers one byte: 0, or -1 when a write failed.
CORVEX_EXPORT int _fastputc(int slot, int byte);

// Buffers text without its terminator. Returns text, or null when a write failed.
CORVEX_EXPORT const char *_fastputs(int slot, const char *text);

// Reads a line into target, examining at most max bytes of the file: a line
// feed ends the line and is not stored, a carriage return is skipped, the byte
// 26 ends the line (or gives null when nothing was stored), every other byte is
// stored. A longer line comes in pieces over several calls. target is
// terminated and must hold max + 1 bytes. Returns target, or null at end of
// file when nothing was stored.
CORVEX_EXPORT char *_fastgets(int slot, char *target, int max);

// Reads one blank-compressed record (the bytes up to a 0 byte) and expands it
// into target: byte 30 and a count n stand for n blanks, byte 31 and n for n
// copies of byte 27, any other byte for itself. The expansion is cut at width
// bytes and filled with blanks up to width; target is not terminated. A record
// longer than its room is read to its end, so the next call starts at the next
// record. Returns target, or null at end of file before the 0 byte.
CORVEX_EXPORT char *_fastagets(int slot, char *target, int width);

// Positions at the start; waiting output is dropped. Returns 0 (-1 for a bad slot).
CORVEX_EXPORT int _fastrewind(int slot);

// The logical position in the file (where the next byte is read or written),
// or -1.
CORVEX_EXPORT long _fasttell(int slot);

// Positions at offset from the start (origin 0), the logical position
// (origin 1) or the end (origin 2); waiting output is dropped. Returns the new
// position, or -1.
CORVEX_EXPORT long _fastseek(int slot, long offset, int origin);

// flags with FAST_O_DENYNONE added; path is not used.
CORVEX_EXPORT int fshare(const char *path, int flags);

// flags with FAST_O_DENYALL added; path is not used.
CORVEX_EXPORT int funshare(const char *path, int flags);

CORVEX_EXTERN_C_END

namespace corvex {

// The descriptor of an open slot, for calls the slot functions do not make
// (fstat, fchmod, ftruncate, fsync after a flush); -1 for a bad slot.
int fast_descriptor(int slot);

}  // namespace corvex

#endif
