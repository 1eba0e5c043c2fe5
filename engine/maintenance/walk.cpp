#include "engine/maintenance/walk.h"

#include <sys/stat.h>
#include <unistd.h>

#include "engine/data/records.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr int kHeadLen = VAR_DATA_AT;  // status byte and the length digits

bool upper_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

DataWalk::DataWalk(int fd, uint32_t reclen, bool varlen, bool resync)
    : fd_(fd), reclen_(reclen), varlen_(varlen), resync_(resync), next_(reclen), buf_(reclen + 1) {
  struct stat st;
  if (fstat(fd, &st) == 0) size_ = st.st_size;
}

int64_t DataWalk::read_at(uint32_t pos, uint32_t len) {
  return pread_full(fd_, buf_.data(), len, static_cast<off_t>(pos));
}

DataWalk::Result DataWalk::next() {
  if (next_ > UINT32_MAX - reclen_) return kEnd;
  if (!varlen_) return next_fixed();
  return resync_ ? next_resync_varlen() : next_strict_varlen();
}

DataWalk::Result DataWalk::next_fixed() {
  pos_ = static_cast<uint32_t>(next_);
  int64_t got = read_at(pos_, reclen_);
  if (got < 0) return kReadError;
  if (got < reclen_) return kEnd;
  len_ = reclen_;
  next_ = pos_ + static_cast<int64_t>(len_);
  return kRecord;
}

DataWalk::Result DataWalk::next_strict_varlen() {
  pos_ = static_cast<uint32_t>(next_);
  int64_t got = read_at(pos_, kHeadLen);
  if (got < 0) return kReadError;
  if (got < kHeadLen) return kEnd;
  uint32_t len = stored_length(buf_.data(), kHeadLen, reclen_);
  if (len == 0) {
    uint32_t digits;
    bad_length_ = hex_get(buf_.data() + VAR_LENGTH_AT, VAR_LENGTH_DIGITS, &digits) ? static_cast<int>(digits) : -1;
    return kBadLength;
  }
  got = read_at(pos_, len);
  if (got < 0) return kReadError;
  if (got < len) return kEnd;
  len_ = len;
  next_ = pos_ + static_cast<int64_t>(len_);
  return kRecord;
}

bool DataWalk::record_start(const char *head, uint32_t *len) const {
  if (head[0] != REC_ACTIVE && head[0] != REC_DELETED) return false;
  for (int i = 0; i < VAR_LENGTH_DIGITS; i++) {
    if (!upper_hex(head[VAR_LENGTH_AT + i])) return false;
  }
  uint32_t value;
  if (!hex_get(head + VAR_LENGTH_AT, VAR_LENGTH_DIGITS, &value)) return false;
  if (value < static_cast<uint32_t>(VAR_MIN_LENGTH) || value > reclen_) return false;
  *len = value;
  return true;
}

DataWalk::Result DataWalk::next_resync_varlen() {
  for (;;) {
    if (next_ + kHeadLen > size_) return kEnd;
    pos_ = static_cast<uint32_t>(next_);
    int64_t got = read_at(pos_, kHeadLen);
    if (got < 0) return kReadError;
    if (got < kHeadLen) return kEnd;
    uint32_t len = 0;
    bool start = record_start(buf_.data(), &len);
    if (start && damaged_) {
      // Inside a damaged stretch only a candidate that ends in a line feed
      // inside the file is taken.
      start = pos_ + static_cast<int64_t>(len) <= size_;
      if (start) {
        char last;
        start = pread_full(fd_, &last, 1, static_cast<off_t>(pos_) + len - 1) == 1 && last == REC_END;
      }
    }
    if (!start) {
      damaged_ = true;
      next_ = pos_ + 1;
      continue;
    }
    got = read_at(pos_, len);
    if (got < 0) return kReadError;
    if (got < len) return kEnd;
    damaged_ = false;
    len_ = len;
    next_ = pos_ + static_cast<int64_t>(len_);
    return kRecord;
  }
}

}  // namespace corvex
