#include "util/archive/member_output.h"

#include "util/fastfile.h"
#include "util/positional_io.h"

namespace corvex {

MemberOutput::MemberOutput(int slot, long header_at, const MemberHeader &header,
                           std::vector<unsigned char> &gather)
    : slot_(slot), header_at_(header_at), gather_(gather) {
  gather_.reserve(kMemberGatherLimit);
  gather_.resize(kMemberHeaderSize);
  pack_header(header, gather_.data());
}

bool MemberOutput::go_to_file() {
  in_file_ = true;
  bool ok = _fastwrite(slot_, gather_.data(), static_cast<int>(gather_.size())) == 0;
  gather_.clear();
  return ok;
}

bool MemberOutput::write(const unsigned char *data, size_t size) {
  if (!in_file_) {
    if (gather_.size() + size <= kMemberGatherLimit) {
      gather_.insert(gather_.end(), data, data + size);
      return true;
    }
    if (!go_to_file()) return false;
  }
  return _fastwrite(slot_, data, static_cast<int>(size)) == 0;
}

bool MemberOutput::restart() {
  if (!in_file_) {
    gather_.resize(kMemberHeaderSize);
    return true;
  }
  const long data_at = header_at_ + static_cast<long>(kMemberHeaderSize);
  return _fastflush(slot_) == 0 && _fastseek(slot_, data_at, 0) == data_at;
}

bool MemberOutput::finish(const MemberHeader &header) {
  if (!in_file_) {
    pack_header(header, gather_.data());
    return _fastwrite(slot_, gather_.data(), static_cast<int>(gather_.size())) == 0;
  }
  // The header is written in place; the file's position stays at the end.
  unsigned char raw[kMemberHeaderSize];
  pack_header(header, raw);
  return _fastflush(slot_) == 0 && pwrite_full(fast_descriptor(slot_), raw, sizeof raw, header_at_) == sizeof raw;
}

}  // namespace corvex
