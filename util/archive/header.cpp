#include "util/archive/header.h"

#include <cstring>

#include "util/bytes.h"

namespace corvex {

namespace {
constexpr unsigned char kMagic0 = 191, kMagic1 = 32;
}

void pack_header(const MemberHeader &header, unsigned char out[kMemberHeaderSize]) {
  std::memset(out, 0, kMemberHeaderSize);
  out[0] = kMagic0;
  out[1] = kMagic1;
  std::memcpy(out + 2, header.name.data(), std::min(header.name.size(), kMemberNameMax));
  out[14] = header.method;
  out[15] = header.bits;
  std::memcpy(out + 16, header.stamp, sizeof header.stamp);
  put_u16(out + 22, header.checksum);
  put_u32(out + 24, header.original_size);
  put_u32(out + 28, header.stored_size);
}

bool unpack_header(const unsigned char in[kMemberHeaderSize], MemberHeader *header) {
  if (in[0] != kMagic0 || in[1] != kMagic1) return false;
  const char *name = reinterpret_cast<const char *>(in + 2);
  header->name.assign(name, strnlen(name, kMemberNameMax));
  header->method = in[14];
  header->bits = in[15];
  std::memcpy(header->stamp, in + 16, sizeof header->stamp);
  header->checksum = get_u16(in + 22);
  header->original_size = get_u32(in + 24);
  header->stored_size = get_u32(in + 28);
  return true;
}

}  // namespace corvex
