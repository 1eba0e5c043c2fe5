// Text descriptions of structured files, from which FID files are written.
//
// One statement per line; words are separated by spaces or tabs; a line whose
// first word starts with '#' is a comment; blank lines are ignored.
//
//   length L                 record data length: the bytes between the status
//                            byte and the line feed, 8..65533
//   varlen                   variable-length records
//   hashed N                 hashed organisation with N table entries wanted
//   item NAME TYPE OFFSET LENGTH [COUNT [JUST]]
//                            an item: NAME of 1..10 letters, digits or '_'
//                            (stored upper case), TYPE one character (C text,
//                            D date, J day number, N numeric, I and S never
//                            trimmed, ...), OFFSET 0-based in the data,
//                            LENGTH of one element, COUNT elements (default
//                            1), JUST L (default) or R
//   key SEGMENT...           a key, key 0 first; a SEGMENT is an item name,
//                            optionally followed by '/' and flag letters:
//                            d descending, n numeric, c case-sensitive,
//                            b binary, t date (none: text without case)
//   thread ITEM EXPRESSION   a thread item and its expression (the rest of
//                            the line)
//
// Statements may come in any order, except that keys are numbered in the
// order written. Items may not overlap, must fit the record and, with
// varlen, must lie beyond the 4 length digits.
#ifndef CORVEX_ENGINE_FID_DESCRIPTION_H
#define CORVEX_ENGINE_FID_DESCRIPTION_H

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/fiddefs.h"

namespace corvex {

struct Description {
  struct Thread {
    std::string item;  // upper case
    std::string expr;
  };
  uint16_t datalen = 0;
  uint8_t flags = 0;       // FID_VARLEN, FID_HASHED
  uint32_t hashsize = 0;
  std::vector<fhitemdef> items;  // 0-based offsets; `order` not yet set
  std::vector<fhkeydef> keys;    // lengths as stored in the file
  std::vector<Thread> threads;
};

// Parses and checks a description. On failure returns false and sets
// `error` to "line N: what is wrong" (N counts from 1; 0 for a fault of the
// whole text, such as a missing length).
bool parse_description(std::string_view text, Description *out, std::string *error);

// The largest description file read: room for every item, key and thread a
// table can have, written out at length.
constexpr size_t kMaxDescriptionBytes = size_t{4} << 20;

// Reads and parses the description file at `path`, a regular file of at most
// kMaxDescriptionBytes; errors are prefixed with the path ("Log.desc: line
// 4: ...", "Log.desc: is larger than 4194304 bytes").
bool read_description(const char *path, Description *out, std::string *error);

}  // namespace corvex

#endif
