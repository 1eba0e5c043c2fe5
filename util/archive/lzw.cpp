#include "util/archive/lzw.h"

#include <algorithm>
#include <cstring>

namespace corvex {

int lzw_bits_for_size(uint64_t size) {
  for (int bits = kLzwMinBits; bits <= kLzwMaxBits; bits++)
    if ((uint64_t{1} << bits) > size) return bits;
  return kLzwMaxBits;
}

int lzw_hash_size(int bits) {
  static const int kSizes[] = {601, 1501, 2801, 5003, 9001, 18013, 35023};
  return kSizes[std::clamp(bits, kLzwMinBits, kLzwMaxBits) - kLzwMinBits];
}

// ---- Writer ----
//
// The table is an open-addressed hash of (byte, prefix code) pairs. The first
// slot tried is (byte << shift) ^ prefix, where the shift spreads the byte over
// the whole table (8 less the doublings that take the table size to 65536);
// for every width that index stays below the table size. A collision steps
// back by (size - index), or by 1 from index 0, wrapping around.

LzwEncoder::LzwEncoder(ByteSink *sink, uint8_t offset) : sink_(sink), offset_(offset) { reset(kLzwMinBits); }

void LzwEncoder::reset(int bits) {
  bits_ = std::clamp(bits, kLzwMinBits, kLzwMaxBits);
  end_code_ = (1u << bits_) - 1;
  hash_size_ = lzw_hash_size(bits_);
  int doublings = 0;
  for (long size = hash_size_; size < 65536; size *= 2) doublings++;
  hash_shift_ = 8 - doublings;
  keys_.assign(static_cast<size_t>(hash_size_), -1);
  codes_.assign(static_cast<size_t>(hash_size_), 0);
  next_free_ = kLzwFirstFree;
  current_ = -1;
  bit_buffer_ = 0;
  bit_count_ = 0;
  pending_size_ = 0;
  total_ = 0;
  failed_ = false;
}

void LzwEncoder::clear_table() {
  std::fill(keys_.begin(), keys_.end(), -1);
  next_free_ = kLzwFirstFree;
}

bool LzwEncoder::hand_on() {
  if (pending_size_ == 0 || failed_) return !failed_;
  if (!sink_->write(pending_, pending_size_)) failed_ = true;
  total_ += pending_size_;
  pending_size_ = 0;
  return !failed_;
}

inline void LzwEncoder::put_code(uint32_t code) {
  bit_buffer_ = bit_buffer_ << bits_ | code;
  bit_count_ += bits_;
  while (bit_count_ >= 8) {
    bit_count_ -= 8;
    pending_[pending_size_++] = static_cast<unsigned char>((bit_buffer_ >> bit_count_) + offset_);
    if (pending_size_ == kLzwOutputBlock) hand_on();
  }
  bit_buffer_ &= (uint64_t{1} << bit_count_) - 1;
}

bool LzwEncoder::add(const unsigned char *data, size_t size) {
  size_t i = 0;
  if (size > 0 && current_ < 0) current_ = data[i++];
  int32_t *keys = keys_.data();
  uint16_t *codes = codes_.data();
  const int hash_size = hash_size_;
  int32_t current = current_;
  for (; i < size; i++) {
    const int c = data[i];
    const int32_t key = c << 16 | current;
    int slot = (c << hash_shift_) ^ current;
    if (keys[slot] == key) {
      current = codes[slot];
      continue;
    }
    if (keys[slot] >= 0) {
      const int step = slot == 0 ? 1 : hash_size - slot;
      bool found = false;
      do {
        slot -= step;
        if (slot < 0) slot += hash_size;
        if (keys[slot] == key) {
          found = true;
          break;
        }
      } while (keys[slot] >= 0);
      if (found) {
        current = codes[slot];
        continue;
      }
    }
    put_code(static_cast<uint32_t>(current));
    current = c;
    if (next_free_ < end_code_) {
      codes[slot] = static_cast<uint16_t>(next_free_++);
      keys[slot] = key;
    } else {
      put_code(kLzwClearCode);
      clear_table();
    }
  }
  current_ = current;
  return !failed_;
}

bool LzwEncoder::finish() {
  if (current_ >= 0) put_code(static_cast<uint32_t>(current_));
  put_code(end_code_);
  current_ = -1;
  return hand_on();
}

// ---- Reader ----
//
// Entry n (257..M-1) is the string of prefix_[n] followed by suffix_[n]. In a
// sound stream every code names the single bytes, an entry made so far, or the
// entry about to be made (the previous string and its own first byte). Other
// codes are decoded from whatever the table holds (zeros, or entries of before
// the last clear), as the writer's partner has always done: damaged data or a
// wrong password then gives wrong bytes, which the checksum reports. Such
// entries can form a loop; a chain longer than the table is one, and counts as
// corrupt data.

LzwDecoder::LzwDecoder(int bits, uint8_t offset, ByteSink *sink)
    : prefix_(new uint16_t[kTableSize]()),
      suffix_(new unsigned char[kTableSize]()),
      length_(new uint16_t[kTableSize]()),
      stack_(new unsigned char[kTableSize]) {
  reset(bits, offset, sink);
}

void LzwDecoder::reset(int bits, uint8_t offset, ByteSink *sink) {
  bits_ = std::clamp(bits, kLzwMinBits, kLzwMaxBits);
  offset_ = offset;
  sink_ = sink;
  end_code_ = (1u << bits_) - 1;
  // A new stream sees an empty (zero) table, whatever the last one left.
  std::fill(prefix_.get(), prefix_.get() + highest_made_, uint16_t{0});
  std::fill(suffix_.get(), suffix_.get() + highest_made_, static_cast<unsigned char>(0));
  std::fill(length_.get(), length_.get() + highest_made_, uint16_t{0});
  highest_made_ = kLzwFirstFree;
  next_free_ = kLzwFirstFree;
  previous_ = -1;
  previous_first_ = 0;
  previous_length_ = 0;
  bit_buffer_ = 0;
  bit_count_ = 0;
  status_ = Status::kMore;
  out_size_ = 0;
  total_ = 0;
}

// The previous string and the first byte of this one make the next entry,
// one longer than the previous string.
inline void LzwDecoder::made_entry(uint32_t code, unsigned char first, uint32_t length) {
  if (previous_ >= 0 && next_free_ < end_code_) {
    prefix_[next_free_] = static_cast<uint16_t>(previous_);
    suffix_[next_free_] = first;
    length_[next_free_] = static_cast<uint16_t>(std::min<uint32_t>(previous_length_ + 1, UINT16_MAX));
    next_free_++;
    highest_made_ = std::max(highest_made_, next_free_);
  }
  previous_ = static_cast<int32_t>(code);
  previous_first_ = first;
  previous_length_ = length;
}

inline LzwDecoder::Status LzwDecoder::decode(uint32_t code) {
  if (code == end_code_) return Status::kEnd;
  if (code == kLzwClearCode) {
    next_free_ = kLzwFirstFree;
    previous_ = -1;
    return Status::kMore;
  }
  // A code of the table as it stands is written straight into the output,
  // from its end, when its length is known and its chain agrees with it.
  if (code < next_free_) {
    const uint32_t length = code < 256 ? 1 : length_[code];
    if (length > 0 && length <= kLzwOutputBlock) {
      if (out_size_ + length > kLzwOutputBlock && !finish()) return Status::kWriteFailed;
      unsigned char *at = out_ + out_size_ + length - 1;
      uint32_t walk = code;
      uint32_t left = length;
      while (--left > 0 && walk > 255) {
        *at-- = suffix_[walk];
        walk = prefix_[walk];
      }
      if (left == 0 && walk <= 255) {
        *at = static_cast<unsigned char>(walk);
        out_size_ += length;
        made_entry(code, static_cast<unsigned char>(walk), length);
        return Status::kMore;
      }
    }
  }
  // Otherwise the string is built backwards on the stack.
  size_t depth = 0;
  uint32_t walk = code;
  if (code == next_free_ && previous_ >= 0) {
    stack_[depth++] = previous_first_;
    walk = static_cast<uint32_t>(previous_);
  }
  while (walk > 255) {
    if (depth == kTableSize - 1) return Status::kCorrupt;
    stack_[depth++] = suffix_[walk];
    walk = prefix_[walk];
  }
  const unsigned char first = static_cast<unsigned char>(walk);
  stack_[depth++] = first;
  made_entry(code, first, static_cast<uint32_t>(depth));
  while (depth > 0) {
    size_t n = std::min(kLzwOutputBlock - out_size_, depth);
    for (size_t k = 0; k < n; k++) out_[out_size_ + k] = stack_[depth - 1 - k];
    out_size_ += n;
    depth -= n;
    if (out_size_ == kLzwOutputBlock && !finish()) return Status::kWriteFailed;
  }
  return Status::kMore;
}

LzwDecoder::Status LzwDecoder::add(const unsigned char *data, size_t size) {
  const uint32_t mask = (1u << bits_) - 1;
  for (size_t i = 0; i < size && status_ == Status::kMore; i++) {
    bit_buffer_ = bit_buffer_ << 8 | static_cast<unsigned char>(data[i] - offset_);
    bit_count_ += 8;
    if (bit_count_ >= bits_) {
      bit_count_ -= bits_;
      status_ = decode(static_cast<uint32_t>(bit_buffer_ >> bit_count_) & mask);
      bit_buffer_ &= (uint64_t{1} << bit_count_) - 1;
    }
  }
  return status_;
}

bool LzwDecoder::finish() {
  if (out_size_ == 0) return true;
  bool ok = sink_->write(out_, out_size_);
  total_ += out_size_;
  out_size_ = 0;
  return ok;
}

}  // namespace corvex
