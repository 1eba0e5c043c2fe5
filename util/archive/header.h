// Member headers of compress archives (".cmp").
//
// An archive is a sequence of members, each a 32-byte header followed by the
// member's data. Header layout, all integers little-endian:
//
//   0   1  magic 191 (0xBF)
//   1   1  magic 32 (blank)
//   2  12  member name (file name with extension, lower case), zero-terminated
//          when shorter than 12 characters
//  14   1  method: 0 stored, 1 fixed-width LZW
//  15   1  code width in bits (9..15) for method 1
//  16   6  stamp: year - 1900, month, day, hour, minute, second
//  22   2  checksum: the sum of the original bytes modulo 65536
//  24   4  original size in bytes
//  28   4  stored size: the number of data bytes after the header
//
// A header whose first two bytes are not the magic ends the archive there.
#ifndef CORVEX_UTIL_ARCHIVE_HEADER_H
#define CORVEX_UTIL_ARCHIVE_HEADER_H

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace corvex {

constexpr size_t kMemberHeaderSize = 32;
constexpr size_t kMemberNameMax = 12;

enum MemberMethod : uint8_t { kMethodStored = 0, kMethodLzw = 1 };

struct MemberHeader {
  std::string name;  // at most kMemberNameMax characters
  uint8_t method = kMethodStored;
  uint8_t bits = 0;
  unsigned char stamp[6] = {};
  uint16_t checksum = 0;
  uint32_t original_size = 0;
  uint32_t stored_size = 0;
};

// Writes `header` into `out`; a name longer than kMemberNameMax is cut.
void pack_header(const MemberHeader &header, unsigned char out[kMemberHeaderSize]);

// Reads a header; false when the magic is missing. The name stops at the first
// zero byte or after kMemberNameMax bytes; no other field is checked.
bool unpack_header(const unsigned char in[kMemberHeaderSize], MemberHeader *header);

// The running checksum of member data.
inline uint16_t add_to_checksum(uint16_t sum, const unsigned char *data, size_t size) {
  uint32_t s = sum;
  for (size_t i = 0; i < size; i++) s += data[i];
  return static_cast<uint16_t>(s);
}

}  // namespace corvex

#endif
