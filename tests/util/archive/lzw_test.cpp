// The LZW coder and decoder on their own: the packing, the table reset at the
// largest code, the width rules and the first-block decisions of a member.
#include "util/archive/lzw.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "util/archive/member.h"

namespace corvex {
namespace {

using Bytes = std::vector<unsigned char>;

struct Collect : ByteSink {
  bool write(const unsigned char *data, size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    calls++;
    return true;
  }
  Bytes bytes;
  int calls = 0;
};

struct FromBytes : ByteSource {
  explicit FromBytes(const Bytes &b) : bytes(b) {}
  size_t read(unsigned char *target, size_t size) override {
    size_t n = std::min(size, bytes.size() - at);
    std::copy(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + n), target);
    at += n;
    return n;
  }
  const Bytes &bytes;
  size_t at = 0;
};

Bytes encode(const Bytes &input, int bits, uint8_t offset = 0, size_t piece = 2048) {
  Collect out;
  LzwEncoder encoder(&out, offset);
  encoder.reset(bits);
  for (size_t at = 0; at < input.size(); at += piece)
    encoder.add(input.data() + at, std::min(piece, input.size() - at));
  encoder.finish();
  return out.bytes;
}

Bytes decode(const Bytes &coded, int bits, uint8_t offset = 0, LzwDecoder::Status *status = nullptr) {
  Collect out;
  LzwDecoder decoder(bits, offset, &out);
  LzwDecoder::Status s = decoder.add(coded.data(), coded.size());
  decoder.finish();
  if (status) *status = s;
  return out.bytes;
}

Bytes random_bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto &c : b) c = static_cast<unsigned char>(rng());
  return b;
}

Bytes text_bytes(size_t n) {
  const std::string words = "the quick brown fox jumps over the lazy dog while the radio scans 14250.00 USB ";
  Bytes b;
  for (size_t i = 0; b.size() < n; i++) b.push_back(static_cast<unsigned char>(words[(i * 7 + i / 13) % words.size()]));
  return b;
}

TEST(Lzw, CodesArePackedMostSignificantBitFirstAndOnlyCompleteBytesAreWritten) {
  // ABABABA: A, B, AB (257), ABA (259), then the end code 511; 45 bits make 5 bytes.
  Bytes input = {'A', 'B', 'A', 'B', 'A', 'B', 'A'};
  EXPECT_EQ(encode(input, 9), (Bytes{0x20, 0x90, 0xa0, 0x30, 0x3f}));
  // The password offset goes onto every stored byte.
  EXPECT_EQ(encode(input, 9, 3), (Bytes{0x23, 0x93, 0xa3, 0x33, 0x42}));
  EXPECT_EQ(decode({0x23, 0x93, 0xa3, 0x33, 0x42}, 9, 3), input);
}

TEST(Lzw, RoundTripsAtEveryWidthThroughTableResetsAndInAnyPieces) {
  std::vector<Bytes> inputs = {Bytes{'x'}, Bytes(5000, 'a'), text_bytes(40000), random_bytes(20000, 1)};
  Bytes mixed = text_bytes(20000);
  Bytes noise = random_bytes(20000, 2);
  mixed.insert(mixed.end(), noise.begin(), noise.end());
  inputs.push_back(mixed);
  for (int bits = kLzwMinBits; bits <= kLzwMaxBits; bits++) {
    for (const Bytes &input : inputs) {
      for (size_t piece : {size_t{1}, size_t{777}, size_t{2048}}) {
        if (piece == 1 && input.size() > 5000) continue;
        Bytes coded = encode(input, bits, 77, piece);
        LzwDecoder::Status status;
        EXPECT_EQ(decode(coded, bits, 77, &status), input) << "bits " << bits << " size " << input.size();
        // The end code comes whole, or loses its last bits with the last byte.
        EXPECT_NE(status, LzwDecoder::Status::kCorrupt);
      }
    }
  }
}

TEST(Lzw, ReadingCopiesStringsFromEarlierOutputNearAndFar) {
  // Text, a run long enough that the strings it made early lie far behind
  // the output the reader keeps, then the text and the run again.
  Bytes text = text_bytes(300000);
  Bytes input = text;
  input.insert(input.end(), 2500000, 'a');
  input.insert(input.end(), text.begin(), text.end());
  input.insert(input.end(), 3000, 'a');
  LzwDecoder::Status status;
  EXPECT_EQ(decode(encode(input, 15, 3), 15, 3, &status), input);
  EXPECT_NE(status, LzwDecoder::Status::kCorrupt);
}

TEST(Lzw, AFailedWriteOfTheReaderIsReportedToTheEnd) {
  struct FailSecond : ByteSink {
    bool write(const unsigned char *, size_t) override { return ++calls < 2; }
    int calls = 0;
  } sink;
  Bytes coded = encode(random_bytes(300000, 9), 15);
  LzwDecoder decoder(15, 0, &sink);
  LzwDecoder::Status status = decoder.add(coded.data(), coded.size());
  EXPECT_EQ(status, LzwDecoder::Status::kWriteFailed);
  EXPECT_FALSE(decoder.finish());
}

TEST(Lzw, OutputReachesTheSinkInBlocksOf8192) {
  Collect out;
  LzwEncoder encoder(&out, 0);
  encoder.reset(15);
  Bytes input = random_bytes(30000, 3);
  encoder.add(input.data(), input.size());
  EXPECT_EQ(out.bytes.size() % kLzwOutputBlock, 0u);
  EXPECT_GT(out.calls, 0);
  encoder.finish();
  EXPECT_EQ(out.bytes.size(), encoder.output_size());
}

// Codes of `bits` packed most significant bit first, the last byte filled with zeros.
Bytes pack(const std::vector<int> &codes, int bits) {
  Bytes out;
  uint32_t buffer = 0;
  int count = 0;
  for (int code : codes) {
    buffer = buffer << bits | static_cast<uint32_t>(code);
    count += bits;
    while (count >= 8) {
      count -= 8;
      out.push_back(static_cast<unsigned char>(buffer >> count));
    }
  }
  if (count > 0) out.push_back(static_cast<unsigned char>(buffer << (8 - count)));
  return out;
}

// LZW as the book has it: a map from (prefix code, byte) to code, a clear
// code when the next code would be the end code, then the end code.
std::vector<int> book_codes(const Bytes &input, int bits) {
  const int end = (1 << bits) - 1;
  std::map<std::pair<int, int>, int> table;
  int next = kLzwFirstFree;
  std::vector<int> codes;
  if (!input.empty()) {
    int current = input[0];
    for (size_t i = 1; i < input.size(); i++) {
      auto found = table.find({current, input[i]});
      if (found != table.end()) {
        current = found->second;
        continue;
      }
      codes.push_back(current);
      if (next < end) {
        table[{current, input[i]}] = next++;
      } else {
        codes.push_back(kLzwClearCode);
        table.clear();
        next = kLzwFirstFree;
      }
      current = input[i];
    }
    codes.push_back(current);
  }
  codes.push_back(end);
  return codes;
}

TEST(Lzw, OutputIsTheBookCodingWhereverTheTableKeepsItsStrings) {
  // Many strings that end in the same byte, as in binaries, crowd one part of
  // the table; a probe limit of 0 or 1 sends most strings to the side table.
  Bytes zeros;
  std::mt19937 rng(7);
  while (zeros.size() < 60000) {
    zeros.push_back(static_cast<unsigned char>(rng() % 40));
    zeros.push_back(0);
  }
  Bytes noise = random_bytes(40000, 8);
  Bytes text = text_bytes(80000);
  text.insert(text.end(), noise.begin(), noise.end());
  for (const Bytes &input : {zeros, text, Bytes(70000, 'a'), Bytes{}}) {
    for (int bits : {9, 12, 15}) {
      std::vector<int> codes = book_codes(input, bits);
      Bytes book = pack(codes, bits);
      book.resize(codes.size() * static_cast<size_t>(bits) / 8);  // complete bytes only
      for (int limit : {0, 1, kLzwProbeLimit}) {
        Collect out;
        LzwEncoder encoder(&out, 0, limit);
        encoder.reset(bits);
        for (size_t at = 0; at < input.size(); at += 5000)
          encoder.add(input.data() + at, std::min<size_t>(5000, input.size() - at));
        encoder.finish();
        EXPECT_EQ(out.bytes, book) << "bits " << bits << " limit " << limit << " size " << input.size();
      }
    }
  }
}

TEST(Lzw, DamagedStreamsNeverOverrunAndLoopsAreCorrupt) {
  // Codes above the next free one decode from what the table holds instead of failing.
  for (unsigned round = 0; round < 200; round++) decode(random_bytes(1 + round * 13, round), kLzwMinBits + round % 7);
  LzwDecoder::Status status;
  EXPECT_EQ(decode(pack({'a', 400, 'b', 511}, 9), 9, 0, &status), (Bytes{'a', 0, 0, 'b'}));  // 400 reads as byte 0 and byte 0
  EXPECT_EQ(status, LzwDecoder::Status::kEnd);

  // Entry 258 is made from the undefined 300 and entry 300 later from 258: a loop.
  std::vector<int> codes = {'a', 300, 258};
  for (int i = 0; i < 40; i++) codes.push_back('a');
  for (int code : {258, int{'a'}, 258}) codes.push_back(code);
  decode(pack(codes, 9), 9, 0, &status);
  EXPECT_EQ(status, LzwDecoder::Status::kCorrupt);

  // A truncated stream simply ends.
  Bytes text = text_bytes(3000);
  Bytes coded = encode(text, 12);
  coded.resize(coded.size() / 2);
  Bytes half = decode(coded, 12, 0, &status);
  EXPECT_EQ(status, LzwDecoder::Status::kMore);
  ASSERT_LE(half.size(), text.size());
  EXPECT_EQ(half, Bytes(text.begin(), text.begin() + static_cast<long>(half.size())));
}

TEST(Lzw, WidthFollowsTheFileSize) {
  EXPECT_EQ(lzw_bits_for_size(0), 9);
  EXPECT_EQ(lzw_bits_for_size(511), 9);
  EXPECT_EQ(lzw_bits_for_size(512), 10);
  EXPECT_EQ(lzw_bits_for_size(1000), 10);
  EXPECT_EQ(lzw_bits_for_size(32767), 15);
  EXPECT_EQ(lzw_bits_for_size(1u << 30), 15);
}

MemberHeader write(const Bytes &input, Bytes *coded, uint8_t offset = 0) {
  FromBytes source(input);
  Collect out;
  MemberHeader header;
  MemberCoders coders;
  EXPECT_EQ(write_member(source, input.size(), offset, out, [](uint64_t) { return true; }, coders, &header),
            CodeStatus::kOk);
  *coded = out.bytes;
  return header;
}

TEST(LzwMember, FirstBlockDecidesWidthAndStoring) {
  Bytes coded;
  // A compressible file of 1000 bytes gets 10-bit codes.
  MemberHeader h = write(text_bytes(1000), &coded);
  EXPECT_EQ(h.method, kMethodLzw);
  EXPECT_EQ(h.bits, 10);
  EXPECT_EQ(h.stored_size, coded.size());
  EXPECT_LT(h.stored_size, 1000u);

  // A short file that does not shrink is stored, plus the offset.
  Bytes noise = random_bytes(1500, 4);
  h = write(noise, &coded, 5);
  EXPECT_EQ(h.method, kMethodStored);
  EXPECT_EQ(h.stored_size, 1500u);
  EXPECT_EQ(coded[0], static_cast<unsigned char>(noise[0] + 5));

  // Noise in the first block of a big file lowers the width by 3 (from 15 to
  // 12); the compressible rest keeps the member coded.
  Bytes big = random_bytes(2048, 5);
  Bytes rest(60000, 'z');
  big.insert(big.end(), rest.begin(), rest.end());
  h = write(big, &coded);
  EXPECT_EQ(h.method, kMethodLzw);
  EXPECT_EQ(h.bits, 12);

  // A first block that shrinks a little lowers the width less.
  Bytes mild = text_bytes(2048);
  for (size_t i = 0; i < mild.size(); i += 3) mild[i] = static_cast<unsigned char>(random_bytes(1, static_cast<unsigned>(i))[0]);
  mild.insert(mild.end(), rest.begin(), rest.end());
  h = write(mild, &coded);
  EXPECT_EQ(h.method, kMethodLzw);
  EXPECT_GE(h.bits, 12);
  EXPECT_LT(h.bits, 15);

  // An empty file is an empty stored member.
  h = write(Bytes{}, &coded);
  EXPECT_EQ(h.method, kMethodStored);
  EXPECT_EQ(h.original_size, 0u);
  EXPECT_TRUE(coded.empty());
}

TEST(LzwMember, ReadingChecksSizesMethodAndWidth) {
  Bytes input = text_bytes(9000);
  Bytes coded;
  MemberHeader h = write(input, &coded, 9);
  FromBytes source(coded);
  Collect out;
  uint16_t checksum = 0;
  auto go_on = [](uint64_t) { return true; };
  MemberCoders coders;
  ASSERT_EQ(read_member(source, h, 9, out, go_on, coders, &checksum), ExtractStatus::kOk);
  EXPECT_EQ(out.bytes, input);
  EXPECT_EQ(checksum, h.checksum);

  // No more than the original size is ever written.
  MemberHeader shorter = h;
  shorter.original_size = 100;
  FromBytes again(coded);
  Collect cut;
  ASSERT_EQ(read_member(again, shorter, 9, cut, go_on, coders, &checksum), ExtractStatus::kOk);
  EXPECT_EQ(cut.bytes.size(), 100u);

  for (auto damage : {+[](MemberHeader &m) { m.bits = 16; }, +[](MemberHeader &m) { m.bits = 8; },
                      +[](MemberHeader &m) { m.method = 2; },
                      +[](MemberHeader &m) { m.method = kMethodStored; }}) {
    MemberHeader bad = h;
    damage(bad);
    FromBytes from(coded);
    Collect sink;
    EXPECT_EQ(read_member(from, bad, 9, sink, go_on, coders, &checksum), ExtractStatus::kCorrupt);
  }
}

}  // namespace
}  // namespace corvex
