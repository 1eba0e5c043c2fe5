#include "engine/status.h"

#include <stdio.h>

namespace corvex {

namespace {

// Entry c - 1 is the message entry of status c.
const char *const kEntries[] = {
    "opening data file",                       // 1
    "creating data file",                      // 2
    "reading data file",                       // 3
    "writing to data file",                    // 4
    "closing data file",                       // 5
    "opening FID file",                        // 6
    "reading FID file",                        // 7
    "in FID file - bad version",               // 8
    ": out of memory",                         // 9
    "in index file",                           // 10
    "during file handle reuse",                // 11
    "initializing file system",                // 12
    ": record less than minimum",              // 13
    "unlocking record",                        // 14
    "", "", "", "",                            // 15..18
    ": data/FID file mismatch",                // 19
    ": bad key number used",                   // 20
    "opening index file",                      // 21
    "creating index file",                     // 22
    "reading index file",                      // 23
    "writing to index file",                   // 24
    "closing index file",                      // 25
    "in index file - bad version",             // 26
    ": index/FID file mismatch",               // 27
    ": corrupt index file",                    // 28
    "",                                        // 29
    "",                                        // 30
    "opening hash file",                       // 31
    "creating hash file",                      // 32
    "reading hash file",                       // 33
    "writing to hash file",                    // 34
    "closing hash file",                       // 35
    "in hash file - bad version",              // 36
    ": hash/FID file mismatch",                // 37
    ": corrupt hash file",                     // 38
    ": hash file full",                        // 39
    "",                                        // 40
    ": thread item in first 8 bytes",          // 41
    ": thread item less than 8 bytes long",    // 42
    ": thread item overflow",                  // 43
    ": bad thread expression",                 // 44
};

constexpr int kEntryCount = sizeof(kEntries) / sizeof(kEntries[0]);
static_assert(kEntryCount == 44);

}  // namespace

const char *status_entry(int code) {
  if (code < 1 || code > kEntryCount) return nullptr;
  return kEntries[code - 1];
}

size_t status_message(int code, char *out, size_t size) {
  const char *entry = status_entry(code);
  int n = entry ? snprintf(out, size, "Error %s.", entry) : snprintf(out, size, "%s", "");
  return n < 0 ? 0 : static_cast<size_t>(n);
}

}  // namespace corvex
