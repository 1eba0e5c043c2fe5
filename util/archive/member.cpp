#include "util/archive/member.h"

#include <algorithm>
#include <cstring>

namespace corvex {

namespace {

constexpr uint64_t kSizeLimit = UINT32_MAX;

// Counts and sums what passes to the real sink.
class CountingSink : public ByteSink {
 public:
  explicit CountingSink(ByteSink &next) : next_(next) {}
  bool write(const unsigned char *data, size_t size) override {
    written += size;
    return next_.write(data, size);
  }
  uint64_t written = 0;

 private:
  ByteSink &next_;
};

// The width after a first block of `input` bytes gave `output` bytes.
int lowered_bits(int bits, uint64_t input, uint64_t output) {
  int by = output < input + 128 ? 1 : output < input + 256 ? 2 : 3;
  return std::max(kLzwMinBits, bits - by);
}

}  // namespace

CodeStatus store_member(ByteSource &input, uint8_t offset, ByteSink &sink, const MemberProgress &progress,
                        MemberHeader *header) {
  unsigned char block[kMemberInputBlock];
  uint64_t done = 0;
  uint16_t checksum = 0;
  while (size_t n = input.read(block, sizeof block)) {
    checksum = add_to_checksum(checksum, block, n);
    for (size_t i = 0; i < n; i++) block[i] = static_cast<unsigned char>(block[i] + offset);
    if (!sink.write(block, n)) return CodeStatus::kWriteFailed;
    done += n;
    if (done > kSizeLimit) return CodeStatus::kTooLarge;
    if (!progress(done)) return CodeStatus::kStopped;
  }
  header->method = kMethodStored;
  header->bits = 0;
  header->checksum = checksum;
  header->original_size = static_cast<uint32_t>(done);
  header->stored_size = static_cast<uint32_t>(done);
  return CodeStatus::kOk;
}

CodeStatus write_member(ByteSource &input, uint64_t size, uint8_t offset, ByteSink &sink,
                        const MemberProgress &progress, MemberCoders &coders, MemberHeader *header) {
  // The first read takes a whole chunk, of which the first block is coded
  // first: a small file comes in one read.
  unsigned char chunk[kMemberReadChunk];
  const size_t got = input.read(chunk, sizeof chunk);
  if (got == 0) return store_member(input, offset, sink, progress, header);  // an empty member
  const size_t first_size = std::min(got, kMemberInputBlock);

  CountingSink counted(sink);
  LzwEncoder &encoder = coders.encoder;
  int bits = lzw_bits_for_size(size);
  encoder.reset(bits, &counted, offset);
  encoder.add(chunk, first_size);
  bool full = first_size == kMemberInputBlock;
  if (bits > kLzwMinBits && full && encoder.output_size() + 128 > first_size) {
    bits = lowered_bits(bits, first_size, encoder.output_size());
    encoder.reset(bits);
    encoder.add(chunk, first_size);
  }
  // The first block's output has not reached the sink yet (it fits one output
  // block), so storing instead starts from nothing.
  if ((bits == kLzwMinBits || !full) && encoder.output_size() >= first_size) {
    struct Replay : ByteSource {
      Replay(const unsigned char *chunk, size_t n, ByteSource &rest) : chunk(chunk), n(n), rest(rest) {}
      size_t read(unsigned char *target, size_t want) override {
        if (at < n) {
          size_t k = std::min(want, n - at);
          std::memcpy(target, chunk + at, k);
          at += k;
          return k;
        }
        return rest.read(target, want);
      }
      const unsigned char *chunk;
      size_t n, at = 0;
      ByteSource &rest;
    } replay(chunk, got, input);
    return store_member(replay, offset, sink, progress, header);
  }

  uint16_t checksum = add_to_checksum(0, chunk, got);
  if (!encoder.add(chunk + first_size, got - first_size)) return CodeStatus::kWriteFailed;
  uint64_t done = got;
  if (!progress(done)) return CodeStatus::kStopped;
  while (size_t n = input.read(chunk, sizeof chunk)) {
    checksum = add_to_checksum(checksum, chunk, n);
    if (!encoder.add(chunk, n)) return CodeStatus::kWriteFailed;
    done += n;
    if (done > kSizeLimit || encoder.output_size() > kSizeLimit) return CodeStatus::kTooLarge;
    if (!progress(done)) return CodeStatus::kStopped;
  }
  if (!encoder.finish()) return CodeStatus::kWriteFailed;
  if (counted.written > kSizeLimit) return CodeStatus::kTooLarge;
  header->method = kMethodLzw;
  header->bits = static_cast<uint8_t>(bits);
  header->checksum = checksum;
  header->original_size = static_cast<uint32_t>(done);
  header->stored_size = static_cast<uint32_t>(counted.written);
  return CodeStatus::kOk;
}

namespace {

// Passes at most `room` bytes on and sums them; the rest is dropped.
class LimitedSink : public ByteSink {
 public:
  LimitedSink(ByteSink &next, uint64_t room) : next_(next), room_(room) {}
  bool write(const unsigned char *data, size_t size) override {
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, room_));
    room_ -= n;
    checksum = add_to_checksum(checksum, data, n);
    return n == 0 || next_.write(data, n);
  }
  uint16_t checksum = 0;

 private:
  ByteSink &next_;
  uint64_t room_;
};

}  // namespace

ExtractStatus read_member(ByteSource &data, const MemberHeader &header, uint8_t offset, ByteSink &sink,
                          const MemberProgress &progress, MemberCoders &coders, uint16_t *checksum) {
  LimitedSink limited(sink, header.original_size);
  unsigned char block[kLzwOutputBlock];
  uint64_t done = 0;
  if (header.method == kMethodStored) {
    if (header.stored_size != header.original_size) return ExtractStatus::kCorrupt;
    while (size_t n = data.read(block, sizeof block)) {
      for (size_t i = 0; i < n; i++) block[i] = static_cast<unsigned char>(block[i] - offset);
      if (!limited.write(block, n)) return ExtractStatus::kWriteFailed;
      done += n;
      if (!progress(done)) return ExtractStatus::kStopped;
    }
  } else if (header.method == kMethodLzw && header.bits >= kLzwMinBits && header.bits <= kLzwMaxBits) {
    LzwDecoder *decoder = &coders.decoder;
    decoder->reset(header.bits, offset, &limited);
    LzwDecoder::Status status = LzwDecoder::Status::kMore;
    while (status == LzwDecoder::Status::kMore) {
      size_t n = data.read(block, sizeof block);
      if (n == 0) break;  // out of input: the data ends here
      status = decoder->add(block, n);
      done += n;
      if (!progress(done)) return ExtractStatus::kStopped;
    }
    if (status == LzwDecoder::Status::kCorrupt) return ExtractStatus::kCorrupt;
    if (status == LzwDecoder::Status::kWriteFailed || !decoder->finish()) return ExtractStatus::kWriteFailed;
  } else {
    return ExtractStatus::kCorrupt;
  }
  *checksum = limited.checksum;
  return ExtractStatus::kOk;
}

}  // namespace corvex
