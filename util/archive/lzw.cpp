#include "util/archive/lzw.h"

#include <algorithm>
#include <cstring>

namespace corvex {

int lzw_bits_for_size(uint64_t size) {
  for (int bits = kLzwMinBits; bits <= kLzwMaxBits; bits++)
    if ((uint64_t{1} << bits) > size) return bits;
  return kLzwMaxBits;
}

// ---- Writer ----
//
// Per input byte the writer looks one (prefix code, byte) pair up, and each
// lookup needs the code the last one found: the time goes into that chain of
// dependent loads. So the table is small (256 KB at 15 bits, in the
// second-level cache), at most half full so that most pairs are found or
// missed in their home slot, and the next slot's index is one exclusive-or
// away from the loaded code.

namespace {

constexpr uint32_t kScramble = 0x9E3779B1u;  // 2^32 / golden ratio, odd

// The inverse of an odd number modulo 2^32 (Newton's iteration; each step
// doubles the correct low bits, from 3).
uint32_t inverse(uint32_t odd) {
  uint32_t x = odd;
  for (int i = 0; i < 4; i++) x *= 2 - odd * x;
  return x;
}

}  // namespace

LzwEncoder::LzwEncoder(ByteSink *sink, uint8_t offset, int probe_limit)
    : sink_(sink),
      offset_(offset),
      far_from_(static_cast<uint32_t>(std::clamp(probe_limit, 0, kLzwProbeLimit)) << kDistanceShift),
      slots_(new uint32_t[size_t{1} << kSlotBitsMax]()) {
  reset(kLzwMinBits);
}

void LzwEncoder::reset(int bits) {
  bits_ = std::clamp(bits, kLzwMinBits, kLzwMaxBits);
  end_code_ = (1u << bits_) - 1;
  code_mask_ = (1u << bits_) - 1;
  scramble_ = kScramble & code_mask_;
  unscramble_ = inverse(kScramble) & code_mask_;
  // The low bits spread the byte over the table; the top bit of the home slot
  // is the byte's top bit, flipped by its low 7 bits, so that text (all below
  // 128) uses both halves and the home slot with the low 7 bits still tells
  // the byte.
  for (uint32_t c = 0; c < 256; c++) {
    uint32_t spread = (c * 0x85EBCA6Bu) >> (32 - bits_);
    uint32_t top = ((c >> 7) ^ (((c & 127) * 0xC2B2AE35u) >> 31)) & 1;
    byte_mask_[c] = spread | top << bits_;
  }
  clear_table();
  current_ = -1;
  bit_buffer_ = 0;
  bit_count_ = 0;
  pending_size_ = 0;
  total_ = 0;
  failed_ = false;
}

void LzwEncoder::clear_table() {
  std::fill(slots_.get(), slots_.get() + (size_t{2} << bits_), 0u);
  if (!far_.empty()) far_.clear();
  next_free_ = kLzwFirstFree;
}

bool LzwEncoder::hand_on() {
  if (pending_size_ == 0 || failed_) return !failed_;
  if (offset_ != 0)
    for (size_t i = 0; i < pending_size_; i++) pending_[i] = static_cast<unsigned char>(pending_[i] + offset_);
  if (!sink_->write(pending_, pending_size_)) failed_ = true;
  total_ += pending_size_;
  pending_size_ = 0;
  return !failed_;
}

// Whole 32-bit words go to the block; kLzwOutputBlock is a multiple of four,
// so the block fills exactly.
inline void LzwEncoder::put_code(uint32_t code) {
  bit_buffer_ = bit_buffer_ << bits_ | code;
  bit_count_ += bits_;
  if (bit_count_ < 32) return;
  bit_count_ -= 32;
  const uint32_t word = static_cast<uint32_t>(bit_buffer_ >> bit_count_);
  unsigned char *at = pending_ + pending_size_;
  at[0] = static_cast<unsigned char>(word >> 24);
  at[1] = static_cast<unsigned char>(word >> 16);
  at[2] = static_cast<unsigned char>(word >> 8);
  at[3] = static_cast<unsigned char>(word);
  pending_size_ += 4;
  if (pending_size_ == kLzwOutputBlock) hand_on();
}

uint32_t LzwEncoder::find_aside(uint32_t key) const {
  auto found = far_.find(key);
  return found == far_.end() ? 0 : found->second;
}

void LzwEncoder::put_codes(const uint16_t *codes, size_t count) {
  for (size_t k = 0; k < count; k++) put_code(codes[k]);
}

// Codes are collected in codes_ and packed a batch at a time, which keeps the
// packing out of the lookup loop.
bool LzwEncoder::add(const unsigned char *data, size_t size) {
  size_t i = 0;
  if (size > 0 && current_ < 0) current_ = data[i++];
  uint32_t *slots = slots_.get();
  const uint32_t slot_mask = (2u << bits_) - 1;
  const uint32_t code_mask = code_mask_, scramble = scramble_, unscramble = unscramble_;
  const uint32_t far_from = far_from_, end_code = end_code_;
  uint32_t current = (static_cast<uint32_t>(current_) * scramble) & code_mask;
  uint32_t next_free = next_free_;
  uint32_t next_scrambled = (next_free * scramble) & code_mask;
  size_t n = 0;
  for (const unsigned char *end = data + size, *at = data + i; at < end; at++) {
    const uint32_t c = *at;
    uint32_t slot = current ^ byte_mask_[c];
    uint32_t want = (c & 127) << kByteShift;  // the slot's fields but the code
    uint32_t entry = slots[slot];
    bool aside = false;
    while (entry != 0 && (entry & ~kCodeField) != want) {
      if (want >= far_from) {
        aside = true;
        entry = find_aside(current << 8 | c);
        break;
      }
      slot = (slot + 1) & slot_mask;
      want += 1u << kDistanceShift;
      entry = slots[slot];
    }
    if (entry != 0) {
      current = entry & kCodeField;
      continue;
    }
    codes_[n++] = static_cast<uint16_t>((current * unscramble) & code_mask);
    if (next_free < end_code) {
      if (aside)
        far_.emplace(current << 8 | c, next_scrambled);
      else
        slots[slot] = want | next_scrambled;
      next_free++;
      next_scrambled = (next_scrambled + scramble) & code_mask;
    } else {
      codes_[n++] = kLzwClearCode;
      clear_table();
      next_free = kLzwFirstFree;
      next_scrambled = (next_free * scramble) & code_mask;
    }
    current = (c * scramble) & code_mask;
    if (n >= kCodeBatch) {
      put_codes(codes_, n);
      n = 0;
    }
  }
  put_codes(codes_, n);
  next_free_ = next_free;
  current_ = static_cast<int32_t>((current * unscramble) & code_mask);
  return !failed_;
}

bool LzwEncoder::finish() {
  if (current_ >= 0) put_code(static_cast<uint32_t>(current_));
  put_code(end_code_);
  current_ = -1;
  // The complete bytes left (at most three) still fit the block.
  while (bit_count_ >= 8) {
    bit_count_ -= 8;
    pending_[pending_size_++] = static_cast<unsigned char>(bit_buffer_ >> bit_count_);
  }
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
//
// While the stream is sound, a string is copied from where it was written
// before, which is much quicker than following its chain byte by byte; the
// chain is followed only when that output has left the window, or for the
// rest of a stream once it has shown a code it could not have made.

LzwDecoder::LzwDecoder(int bits, uint8_t offset, ByteSink *sink)
    : prefix_(new uint16_t[kTableSize]()),
      suffix_(new unsigned char[kTableSize]()),
      length_(new uint16_t[kTableSize]()),
      stack_(new unsigned char[kTableSize]),
      where_(new uint64_t[kTableSize]()),
      window_(new unsigned char[kWindowSize + kWindowSlack]()) {
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
  sound_ = true;
  previous_at_ = 0;
  fill_ = handed_ = 0;
  base_ = 0;
  write_failed_ = false;
}

// The previous string and the first byte of this one make the next entry,
// one longer than the previous string, found where the previous one began.
inline void LzwDecoder::made_entry(uint32_t code, unsigned char first, uint32_t length) {
  if (previous_ >= 0 && next_free_ < end_code_) {
    prefix_[next_free_] = static_cast<uint16_t>(previous_);
    suffix_[next_free_] = first;
    length_[next_free_] = static_cast<uint16_t>(std::min<uint32_t>(previous_length_ + 1, UINT16_MAX));
    where_[next_free_] = previous_at_;
    next_free_++;
    highest_made_ = std::max(highest_made_, next_free_);
  }
  previous_ = static_cast<int32_t>(code);
  previous_first_ = first;
  previous_length_ = length;
  previous_at_ = base_ + fill_ - length;
}

bool LzwDecoder::make_room(size_t length) {
  if (fill_ + length <= kWindowSize) return true;
  if (!finish()) return false;
  const size_t drop = fill_ - kWindowKeep;
  std::memmove(window_.get(), window_.get() + drop, kWindowKeep);
  base_ += drop;
  fill_ = handed_ = kWindowKeep;
  return true;
}

inline bool LzwDecoder::copy_from_window(uint64_t from, uint32_t length, bool repeat_first) {
  if (from < base_) return false;
  const unsigned char *source = window_.get() + (from - base_);
  unsigned char *to = window_.get() + fill_;
  const uint32_t copied = repeat_first ? length - 1 : length;
  if (copied <= kWindowSlack) {
    // The source ends where the copy begins at the latest, so one load of 16
    // bytes before the store gets every byte that counts.
    unsigned char bytes[kWindowSlack];
    std::memcpy(bytes, source, kWindowSlack);
    std::memcpy(to, bytes, kWindowSlack);
  } else {
    std::memcpy(to, source, copied);
  }
  if (repeat_first) to[length - 1] = to[0];
  fill_ += length;
  return true;
}

inline LzwDecoder::Status LzwDecoder::decode(uint32_t code) {
  if (code == end_code_) return Status::kEnd;
  if (code == kLzwClearCode) {
    next_free_ = kLzwFirstFree;
    previous_ = -1;
    return Status::kMore;
  }
  if (code < 256) {
    if (!make_room(1)) return Status::kWriteFailed;
    window_[fill_++] = static_cast<unsigned char>(code);
    made_entry(code, static_cast<unsigned char>(code), 1);
    return Status::kMore;
  }
  const bool repeat = code == next_free_ && previous_ >= 0;
  if (code > next_free_ || (code == next_free_ && previous_ < 0)) sound_ = false;
  if (sound_) {
    const uint32_t length = repeat ? previous_length_ + 1 : length_[code];
    if (!make_room(length)) return Status::kWriteFailed;
    if (copy_from_window(repeat ? previous_at_ : where_[code], length, repeat)) {
      made_entry(code, window_[fill_ - length], length);
      return Status::kMore;
    }
  }
  // A code of the table as it stands is written straight into the output,
  // from its end, when its length is known and its chain agrees with it.
  if (code < next_free_) {
    const uint32_t length = length_[code];
    if (length > 0) {
      if (!make_room(length)) return Status::kWriteFailed;
      unsigned char *at = window_.get() + fill_ + length - 1;
      uint32_t walk = code;
      uint32_t left = length;
      while (--left > 0 && walk > 255) {
        *at-- = suffix_[walk];
        walk = prefix_[walk];
      }
      if (left == 0 && walk <= 255) {
        *at = static_cast<unsigned char>(walk);
        fill_ += length;
        made_entry(code, static_cast<unsigned char>(walk), length);
        return Status::kMore;
      }
    }
  }
  // Otherwise the string is built backwards on the stack.
  size_t depth = 0;
  uint32_t walk = code;
  if (repeat) {
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
  if (!make_room(depth)) return Status::kWriteFailed;
  for (size_t k = 0; k < depth; k++) window_[fill_ + k] = stack_[depth - 1 - k];
  fill_ += depth;
  made_entry(code, first, static_cast<uint32_t>(depth));
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
      if (fill_ - handed_ >= kHandOnAt && !finish()) status_ = Status::kWriteFailed;
    }
  }
  return status_;
}

bool LzwDecoder::finish() {
  if (handed_ < fill_ && !sink_->write(window_.get() + handed_, fill_ - handed_)) write_failed_ = true;
  handed_ = fill_;
  return !write_failed_;
}

}  // namespace corvex
