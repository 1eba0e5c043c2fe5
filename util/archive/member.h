// Coding one archive member: its data from a source to a sink.
//
// Writing (method 1 with a fall-back to method 0): the code width comes from
// the file's size. The input is coded in blocks of 2048 bytes (read several
// at a time). After the first
// block only: when the width is above 9, the block was full and the output is
// not at least 128 bytes smaller than the block, the width is lowered (by 1
// when the output is below the input plus 128, by 2 below the input plus 256,
// else by 3; never below 9) and the block is coded again from scratch. When
// then the width is 9 or the file is shorter than one block, and the output is
// not smaller than the input, the member is stored instead: every byte plus
// the password offset. The caller stores a member too when its whole coded
// form came out no smaller than the file.
#ifndef CORVEX_UTIL_ARCHIVE_MEMBER_H
#define CORVEX_UTIL_ARCHIVE_MEMBER_H

#include <stddef.h>
#include <stdint.h>

#include <functional>

#include "util/archive/header.h"
#include "util/archive/lzw.h"

namespace corvex {

constexpr size_t kMemberInputBlock = 2048;
// What the writer reads at a time.
constexpr size_t kMemberReadChunk = 8 * kMemberInputBlock;

// Where member input comes from. read returns the bytes delivered, fewer than
// asked only at the end.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual size_t read(unsigned char *target, size_t size) = 0;
};

// The coder and decoder of a run, kept from member to member so that their
// tables are allocated once.
struct MemberCoders {
  LzwEncoder encoder{nullptr, 0};
  LzwDecoder decoder{kLzwMinBits, 0, nullptr};
};

// Called with the bytes of input done so far; false asks to stop.
using MemberProgress = std::function<bool(uint64_t done)>;

enum class CodeStatus { kOk, kWriteFailed, kStopped, kTooLarge };

// Codes the input (of `size` bytes, as found) to `sink` and fills method,
// bits, checksum, original_size and stored_size of *header. kTooLarge when
// the input or its coded form passes 4 GiB - 1 bytes.
CodeStatus write_member(ByteSource &input, uint64_t size, uint8_t offset, ByteSink &sink,
                        const MemberProgress &progress, MemberCoders &coders, MemberHeader *header);

// Stores the input unchanged but for the offset (method 0).
CodeStatus store_member(ByteSource &input, uint8_t offset, ByteSink &sink, const MemberProgress &progress,
                        MemberHeader *header);

enum class ExtractStatus { kOk, kCorrupt, kWriteFailed, kStopped };

// Decodes the data of the member `header` describes, read from `data` (which
// ends after the member's stored bytes), to `sink`; *checksum gets the sum of
// the bytes written. At most the header's original size is written. kCorrupt
// for an unknown method or width, a stored member whose sizes differ, or a
// damaged code stream.
ExtractStatus read_member(ByteSource &data, const MemberHeader &header, uint8_t offset, ByteSink &sink,
                          const MemberProgress &progress, MemberCoders &coders, uint16_t *checksum);

}  // namespace corvex

#endif
