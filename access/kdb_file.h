// The context of one open file: its engine request block, its record buffer
// and the state of sequential text access.
#ifndef LUMBRA_ACCESS_KDB_FILE_H
#define LUMBRA_ACCESS_KDB_FILE_H

#include <cstdint>

#include "engine/fhrequest.h"

namespace lumbra {

// File types as KDBopen takes them.
enum FileType : uint8_t {
  kTextOut = 0,
  kTextIn = 1,
  kNumbered = 2,
  kKeyed = 3,
  kDelimOut = 4,
  kDelimIn = 5,
};

// State flags of a context.
enum : uint8_t {
  kFieldOnLine = 0x01,  // a field was written on this delimited output line
  kLineDone = 0x02,     // the current input line was read to its end
  kRestored = 0x80,     // restored from a hand-over: reopen before first use
};

// Mode bits of the open call that the layer itself looks at.
enum : uint16_t {
  kModeSmallBuffer = 0x4000,  // text: 3-byte blocks, output not appended
  kModeLineFeed = 0x8000,     // text output: lines end in a line feed alone
};

constexpr int kKeyTextMax = 16;

struct kdb_file {
  uint16_t id;
  uint8_t type;        // FileType
  uint8_t flags;       // kFieldOnLine | kLineDone | kRestored
  char crypt_key[kKeyTextMax + 1];
  uint16_t bufpos;     // next byte of the record buffer a field uses
  uint16_t column;     // characters written since the last line end
  uint16_t writes;     // record writes since the last automatic secure
  fhrequest req;       // owns recbuf (reclen + 8 bytes)
  fhrequest companion; // closed at close when its data name is set
};

inline bool is_record_file(const kdb_file &f) { return f.type == kNumbered || f.type == kKeyed; }
inline bool is_text_input(const kdb_file &f) { return f.type == kTextIn || f.type == kDelimIn; }
inline bool is_text_output(const kdb_file &f) { return f.type == kTextOut || f.type == kDelimOut; }
inline bool is_delimited(const kdb_file &f) { return f.type == kDelimOut || f.type == kDelimIn; }
// Whether a record file is read in record number order rather than by key.
inline bool by_record_number(const kdb_file &f) {
  return (f.req.mode & FH_NOKEY) || f.req.nkeys == 0;
}
// The buffer position a freshly read or cleared buffer starts at: after the
// status byte of a record, at the start of a text block.
inline uint16_t start_position(const kdb_file &f) { return is_record_file(f) ? 1 : 0; }

}  // namespace lumbra

#endif
