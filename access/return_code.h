// Return codes of the KDB functions and their translation from engine status.
#ifndef LUMBRA_ACCESS_RETURN_CODE_H
#define LUMBRA_ACCESS_RETURN_CODE_H

#include <cstdint>

namespace lumbra {

enum ReturnCode : int {
  kOk = 0,
  kNotFound = 5,        // text not found in the record
  kCannotOpen = 6,      // the file could not be opened
  kNotOpen = 7,         // the file id is not open (and similar refusals)
  kPastRecordEnd = 8,   // a field write ran past the end of a record buffer
  kPassNotOpen = 9,     // KDBtmpread: the id is not open (a failed KDBtmpwrite closes it)
  kNoMoreFields = 10,   // text input: the current line has no more fields
  kEndOfFile = 11,
  kReadOnOutput = 12,
  kReadPastEnd = 18,
  kEngineFailure = 20,  // every engine status without a code of its own
  kFidOpen = 21,
  kFidBad = 22,
  kNoMemory = 24,
  kLocked = 25,
  kBadNetMode = 27,
  kReadOnly = 28,
  kDeleted = 34,
  kMismatch = 40,
  kWrongFileType = 113,
  kTableFull = 115,
  kAlreadyOpen = 116,
  kNeedsRecover = 117,  // opened, but an update did not finish: rebuild the index (engine status 113)
  kKeyExists = 118,     // an add found a record with the same key (engine status 114)
};

// The return code for a raw engine status. Total: every status 0..255 maps to
// exactly one code, and 0 maps to 0.
int translate_status(uint8_t status);

}  // namespace lumbra

#endif
