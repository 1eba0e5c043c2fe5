// A walk over the records of a data file in physical order, from the end of
// the header record to the end of the file, as the maintenance actions see
// them: the stored bytes of one record after the other.
//
// A fixed-length record is `reclen` bytes. A variable-length record starts
// with its status byte and four hexadecimal digits giving its stored length.
// The strict walk (VERIFY, RECOVER) stops at a length it cannot use. The
// resynchronising walk (PACK) looks for the next record instead: a record
// start is ' ' or 'D' and four upper-case hexadecimal digits giving a length
// the record can have; after a damaged stretch a candidate is taken only when
// the last byte of its length is a line feed, and otherwise the walk moves on
// by one byte. Nothing past the end of the file is ever read.
#ifndef CORVEX_ENGINE_MAINTENANCE_WALK_H
#define CORVEX_ENGINE_MAINTENANCE_WALK_H

#include <stdint.h>

#include <vector>

namespace corvex {

class DataWalk {
 public:
  enum Result {
    kRecord,     // a record is in bytes()
    kEnd,        // a read came up short: the walk is over
    kBadLength,  // strict walk: a variable-length record's digits are unusable
    kReadError   // the file cannot be read
  };

  // `fd` is the data file open for reading; the walk starts at `reclen`.
  DataWalk(int fd, uint32_t reclen, bool varlen, bool resync);

  Result next();

  // The record found by the last next(): position, stored bytes and length.
  uint32_t pos() const { return pos_; }
  const char *bytes() const { return buf_.data(); }
  uint32_t length() const { return len_; }
  // The length digits of the variable-length record next() stopped at with
  // kBadLength, as read (-1 when they are not digits).
  int bad_length() const { return bad_length_; }

  // Goes on at `pos` instead of right after the last record (PACK's cut of a
  // record that lacks its line feed).
  void continue_at(uint32_t pos) { next_ = pos; }

  // Where the walk stands, for the percentage.
  int64_t position() const { return next_; }
  int64_t size() const { return size_; }

 private:
  // Reads `len` bytes at `pos` into buf_; the count read, or -1.
  int64_t read_at(uint32_t pos, uint32_t len);
  Result next_fixed();
  Result next_strict_varlen();
  Result next_resync_varlen();
  bool record_start(const char *head, uint32_t *len) const;

  int fd_;
  uint32_t reclen_;
  bool varlen_;
  bool resync_;
  int64_t size_ = 0;
  int64_t next_;
  uint32_t pos_ = 0;
  uint32_t len_ = 0;
  int bad_length_ = -1;
  bool damaged_ = false;
  std::vector<char> buf_;
};

}  // namespace corvex

#endif
