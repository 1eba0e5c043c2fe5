// Fixed-width LZW of compress archives.
//
// Codes are all `bits` wide (9..15). Codes 0..255 are the single bytes, 256 is
// the clear code, 257 the first code the coder makes, and M = 2^bits - 1 marks
// the end of the data, so the table holds codes 257..M-1. When the writer needs
// a new code and M is reached, it writes the clear code and starts a new table.
// Codes are packed most significant bit first, each byte filled from its
// highest bit; every completed byte has the password offset added (modulo
// 256). Only complete bytes are written, so the last bits of the end code may
// be missing; readers stop when fewer than `bits` bits are left.
//
// The writer finds every string it made, so its output is the one LZW coding
// of the input whatever table it looks strings up in; the table is chosen for
// speed alone.
#ifndef CORVEX_UTIL_ARCHIVE_LZW_H
#define CORVEX_UTIL_ARCHIVE_LZW_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <unordered_map>

namespace corvex {

constexpr int kLzwMinBits = 9;
constexpr int kLzwMaxBits = 15;
constexpr int kLzwClearCode = 256;
constexpr int kLzwFirstFree = 257;
// Output is handed on in blocks of this size.
constexpr size_t kLzwOutputBlock = 8192;

// Where coded or decoded bytes go. false stops the coder (a failed write).
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool write(const unsigned char *data, size_t size) = 0;
};

// The code width for a file of `size` bytes: the smallest of 9..15 with 2^bits
// greater than size, else 15.
int lzw_bits_for_size(uint64_t size);

// The farthest a string of the writer's table sits from the slot its hash
// names; strings that find no free slot that near are kept aside.
constexpr int kLzwProbeLimit = 1023;

class LzwEncoder {
 public:
  // Bytes go to `sink` in blocks of kLzwOutputBlock; `offset` is added to each.
  // `probe_limit` (0..kLzwProbeLimit) is lowered only by tests, to send many
  // strings to the side table.
  LzwEncoder(ByteSink *sink, uint8_t offset, int probe_limit = kLzwProbeLimit);

  // Starts over with an empty table and no output, at width `bits`. Output not
  // yet handed to the sink is dropped.
  void reset(int bits);
  // Starts over as reset does, writing to `sink` with `offset` from now on.
  void reset(int bits, ByteSink *sink, uint8_t offset) {
    sink_ = sink;
    offset_ = offset;
    reset(bits);
  }

  // Codes `size` more bytes. false when the sink failed.
  bool add(const unsigned char *data, size_t size);

  // Writes the pending code and the end code and hands on what is left.
  bool finish();

  int bits() const { return bits_; }
  // Complete bytes produced since the last reset, handed on or not.
  uint64_t output_size() const { return total_ + pending_size_ + static_cast<uint64_t>(bit_count_ / 8); }

 private:
  // The string table: 2^(bits+1) slots of 32 bits, at most half of them used,
  // probed linearly. Codes are kept scrambled (times an odd number, modulo
  // 2^bits), so that the home slot of (prefix, byte) is just the prefix's
  // scrambled code exclusive-or a mask of the byte: one step after its load.
  // The home slot and the byte's low 7 bits give the pair back, so a slot holds
  // only those 7 bits, its distance from home (10 bits) and the scrambled code
  // (15 bits); 0 is a free slot.
  static constexpr int kSlotBitsMax = kLzwMaxBits + 1;
  static constexpr uint32_t kCodeField = (1u << kLzwMaxBits) - 1;
  static constexpr int kByteShift = kLzwMaxBits;
  static constexpr int kDistanceShift = kByteShift + 7;
  static constexpr size_t kCodeBatch = 1024;
  void put_code(uint32_t code);
  void put_codes(const uint16_t *codes, size_t count);
  // The scrambled code of a string kept aside, 0 when there is none. Out of
  // line: the lookup loop keeps its registers.
  __attribute__((noinline, cold)) uint32_t find_aside(uint32_t key) const;
  bool hand_on();
  void clear_table();

  ByteSink *sink_;
  uint8_t offset_;
  uint32_t far_from_;  // a probe at this distance (as a slot field) goes aside
  int bits_ = kLzwMinBits;
  uint32_t end_code_ = 0;
  uint32_t code_mask_ = 0;
  uint32_t scramble_ = 0;    // odd; codes are kept times it
  uint32_t unscramble_ = 0;  // its inverse
  uint32_t byte_mask_[256];  // per byte, what the prefix's scrambled code is exclusive-ored with
  std::unique_ptr<uint32_t[]> slots_;
  // Strings that found no slot within the probe limit: (scrambled prefix << 8
  // | byte) to scrambled code (never 0). Empty but for adversarial or unlucky
  // input.
  std::unordered_map<uint32_t, uint32_t> far_;
  uint32_t next_free_ = kLzwFirstFree;
  int32_t current_ = -1;         // the code of the string matched so far; -1 before the first byte
  uint64_t bit_buffer_ = 0;      // codes not yet written; its lowest bit_count_ bits count
  int bit_count_ = 0;
  // Filled four bytes at a time without the offset, which is added as the
  // block is handed on.
  unsigned char pending_[kLzwOutputBlock];
  uint16_t codes_[kCodeBatch + 2];  // codes found by add, before packing
  size_t pending_size_ = 0;
  uint64_t total_ = 0;
  bool failed_ = false;
};

class LzwDecoder {
 public:
  enum class Status { kMore, kEnd, kCorrupt, kWriteFailed };

  // Decodes codes of `bits` (9..15) to `sink`; `offset` is taken off each input byte.
  LzwDecoder(int bits, uint8_t offset, ByteSink *sink);

  // Starts a new stream as a new decoder would, keeping the memory.
  void reset(int bits, uint8_t offset, ByteSink *sink);

  // Decodes `size` more input bytes. kMore wants more input; kEnd once the end
  // code came (later input is ignored); kCorrupt for codes whose strings form
  // a loop (damaged data); kWriteFailed when the sink failed. Decoded bytes are
  // handed on in blocks; finish() hands on the rest (false when the sink failed,
  // now or before).
  Status add(const unsigned char *data, size_t size);
  bool finish();

  // Bytes decoded so far.
  uint64_t output_size() const { return base_ + fill_; }

 private:
  static constexpr size_t kTableSize = size_t{1} << kLzwMaxBits;
  // The output is kept in a window; when it is full, its older half goes.
  static constexpr size_t kWindowSize = size_t{1} << 20;
  static constexpr size_t kWindowKeep = kWindowSize / 2;
  static constexpr size_t kWindowSlack = 16;  // room for copies of 16 bytes at a time
  // Output is handed on once this much waits.
  static constexpr size_t kHandOnAt = 8 * kLzwOutputBlock;
  Status decode(uint32_t code);
  // Copies the `length` bytes at stream position `from`, when the window
  // still holds them, to its end; with `repeat_first` the last of them is
  // the first again. false when they are gone.
  bool copy_from_window(uint64_t from, uint32_t length, bool repeat_first);
  // Makes room for `length` (at most kTableSize) more bytes at the window's end.
  bool make_room(size_t length);
  void made_entry(uint32_t code, unsigned char first, uint32_t length);

  int bits_ = kLzwMinBits;
  uint8_t offset_ = 0;
  ByteSink *sink_ = nullptr;
  uint32_t end_code_ = 0;
  uint32_t next_free_ = kLzwFirstFree;
  uint32_t highest_made_ = kLzwFirstFree;  // entries below it may hold data
  int32_t previous_ = -1;  // the last code, -1 at the start and after a clear
  unsigned char previous_first_ = 0;
  uint32_t previous_length_ = 0;  // of the previous code's string
  uint64_t bit_buffer_ = 0;
  int bit_count_ = 0;
  Status status_ = Status::kMore;
  std::unique_ptr<uint16_t[]> prefix_;
  std::unique_ptr<unsigned char[]> suffix_;
  std::unique_ptr<uint16_t[]> length_;  // string length of each entry, 0 when unknown
  std::unique_ptr<unsigned char[]> stack_;
  // In a sound stream (all codes so far known when they came) an entry's
  // string lies in the output where the previous string began: where_ holds
  // that stream position.
  std::unique_ptr<uint64_t[]> where_;
  bool sound_ = true;
  uint64_t previous_at_ = 0;  // the stream position of the previous code's string
  std::unique_ptr<unsigned char[]> window_;
  size_t fill_ = 0;    // bytes in the window
  size_t handed_ = 0;  // of those, handed on
  uint64_t base_ = 0;  // the stream position of the window's first byte
  bool write_failed_ = false;
};

}  // namespace corvex

#endif
