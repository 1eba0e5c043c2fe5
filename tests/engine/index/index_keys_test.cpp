// Key texts and their comparison for every segment kind.
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/index/keys.h"
#include "tests/support/index_fixture.h"

using namespace corvex;

namespace {

struct Keyed {
  explicit Keyed(const std::vector<std::vector<fhsegment>> &segs, uint16_t mode = 0) : keys(make_keys(segs)) {
    if (mode & FH_TEMPINDEX) keys[0].keylen += 4;
    block.nkeys = static_cast<uint8_t>(keys.size());
    block.keydefs = keys.data();
    block.mode = mode;
    record.assign(41, ' ');
    block.reclen = 40;
    block.recbuf = record.data();
  }
  void put(int at, const std::string &text) { memcpy(record.data() + 1 + at, text.data(), text.size()); }
  std::string build(int k) {
    char out[300];
    int n = _bldkey(&block, k, out);
    EXPECT_EQ(out[n], '\0');
    return std::string(out, n);
  }
  int cmp(int k, const std::string &a, const std::string &b) { return key_compare(&block, k, a.c_str(), b.c_str()); }
  std::vector<fhkeydef> keys;
  fhrequest block = {};
  std::string record;
};

int sign(int v) { return (v > 0) - (v < 0); }

TEST(KeyBuild, SegmentsThenKeyZeroThenPosition) {
  Keyed t({{{10, 3, 0}, {0, 2, 0}}, {{20, 4, 0}}});
  t.put(0, "AB");
  t.put(10, "XYZ");
  t.put(20, "SMIT");
  EXPECT_EQ(t.build(0), "XYZAB");
  EXPECT_EQ(t.build(1), "SMITXYZAB");  // key 0 appended
  EXPECT_EQ(_bldkey(&t.block, 2, nullptr), -1);
  char out[8];
  EXPECT_EQ(_bldkey(&t.block, 2, out), -1);
  EXPECT_EQ(_bldkey(nullptr, 0, out), -1);

  Keyed temp({{{0, 3, 0}}}, FH_TEMPINDEX);
  temp.put(0, "QRS");
  temp.block.recpos = 95;
  EXPECT_EQ(temp.build(0), std::string("QRS  ! ", 7));
}

TEST(KeyBuild, BytesBeyondTheRecordAreSpaces) {
  Keyed t({{{36, 6, 0}}});  // data 36..41, record data ends at 38
  t.put(36, "ZZ");
  EXPECT_EQ(t.build(0), "ZZ    ");
}

TEST(KeyCompare, EverySegmentKind) {
  Keyed text({{{0, 4, 0}}});
  EXPECT_EQ(text.cmp(0, "abcd", "ABCD"), 0);
  EXPECT_LT(text.cmp(0, "ABCD", "ABCE"), 0);
  Keyed cased({{{0, 4, SEG_CASE}}});
  EXPECT_GT(cased.cmp(0, "abcd", "ABCD"), 0);
  EXPECT_EQ(cased.cmp(0, std::string("AB\0x", 4), std::string("AB\0y", 4)), 0);  // stops at a zero byte
  Keyed binary({{{0, 4, SEG_BINARY}}});
  EXPECT_LT(binary.cmp(0, std::string("AB\0x", 4), std::string("AB\0y", 4)), 0);
  EXPECT_GT(binary.cmp(0, "\xe9\x41\x41\x41", "zzzz"), 0);  // unsigned bytes
  Keyed numeric({{{0, 6, SEG_NUMERIC}}});
  EXPECT_GT(numeric.cmp(0, "    10", "9     "), 0);
  EXPECT_LT(numeric.cmp(0, " -2.5 ", "  -2  "), 0);
  EXPECT_EQ(numeric.cmp(0, "  +3.0", "3     "), 0);
  Keyed date({{{0, 12, SEG_DATE}}});
  EXPECT_LT(date.cmp(0, "   20240101X", "20240102AAAA"), 0);
  EXPECT_EQ(date.cmp(0, "2024010112AB", "2024010112zz"), 0);  // first 10 characters only
  Keyed down({{{0, 2, SEG_DESCENDING}, {2, 2, 0}}});
  EXPECT_GT(down.cmp(0, "AAzz", "BBaa"), 0);
  EXPECT_LT(down.cmp(0, "AAaa", "AAbb"), 0);
}

TEST(KeyCompare, AppendedKeyZeroAndPositionSuffix) {
  // Key 1 ends descending: the appended key 0 part is compared by key 0's
  // rules (numeric here) and the result negated.
  Keyed t({{{0, 3, SEG_NUMERIC}}, {{10, 2, SEG_DESCENDING}}});
  EXPECT_LT(t.cmp(1, "ZZ  9", "AA 10"), 0);
  EXPECT_GT(t.cmp(1, "AA  9", "AA 10"), 0);  // 9 < 10, negated
  EXPECT_EQ(t.cmp(1, "AA009", "aa  9"), 0);
  Keyed up({{{0, 3, SEG_NUMERIC}}, {{10, 2, 0}}});
  EXPECT_LT(up.cmp(1, "AA  9", "AA 10"), 0);
  Keyed temp({{{0, 3, 0}}}, FH_TEMPINDEX);
  EXPECT_LT(temp.cmp(0, "abc  !!", "ABC  !\""), 0);
  EXPECT_EQ(temp.cmp(0, "abc    ", "ABC    "), 0);
}

TEST(KeyCompare, SignsAreAntisymmetric) {
  Keyed t({{{0, 3, SEG_NUMERIC}, {3, 2, SEG_DESCENDING | SEG_CASE}, {5, 2, SEG_BINARY}}});
  const char *samples[] = {"  1aB\x01\x02", " 10aB\x01\x02", "  1Ab\x01\x02", "  1aB\x02\x01", "001aB\x01\x02"};
  for (const char *a : samples) {
    for (const char *b : samples) EXPECT_EQ(sign(t.cmp(0, a, b)), -sign(t.cmp(0, b, a))) << a << " / " << b;
  }
}

// Texts that compare equal share a fingerprint, whatever their letter case
// or bytes after a zero in text segments; differing ones nearly never do.
// Short segments, and segments longer than the eight bytes the fingerprint
// takes a step, with bytes next to the letters (and above 127) that are
// not letters.
TEST(KeyFingerprint, EqualKeysShareIt) {
  struct Layout {
    std::vector<fhsegment> segs;
    size_t folded_end;  // the first segment, folded, ends here
    size_t text_end;    // the second, case-sensitive text, ends here
  };
  const char alphabet[] = {'a', 'A', 'b', 'B', 'z', 'Z', '\0', ' ', '`', '{', '@', '[', '\xE1', '\xFA'};
  auto flip = [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c >= 'A' && c <= 'Z' ? c + 32 : c; };
  for (const Layout &layout : {Layout{{{0, 3, 0}, {3, 2, SEG_CASE | SEG_DESCENDING}, {5, 2, SEG_BINARY}}, 3, 5},
                               Layout{{{0, 11, 0}, {11, 10, SEG_CASE}, {21, 9, SEG_BINARY}}, 11, 21}}) {
    Keyed t({layout.segs});
    const size_t length = layout.segs.back().offset + layout.segs.back().length;
    t.keys[0].keylen = static_cast<uint8_t>(length + 1);  // one byte past the segments, which no comparison sees
    SCOPED_TRACE(length);
    std::mt19937 rng(3);
    // Random texts, each with variants that compare equal to it: letters of
    // the first segment in the other case, bytes after a zero of a text
    // segment and the byte past the segments changed.
    std::vector<std::string> texts;
    for (int i = 0; i < 300; i++) {
      std::string text(length + 1, ' ');
      for (char &c : text) c = alphabet[rng() % sizeof alphabet];
      texts.push_back(text);
      for (int v = 0; v < 4; v++) {
        std::string variant = text;
        for (size_t at = 0; at < layout.folded_end; at++) {
          if (rng() % 2) variant[at] = flip(variant[at]);
        }
        for (auto [from, to] : {std::pair<size_t, size_t>{0, layout.folded_end}, {layout.folded_end, layout.text_end}}) {
          size_t zero = variant.find('\0', from);
          if (zero >= to) continue;
          for (size_t at = zero + 1; at < to; at++) variant[at] = alphabet[rng() % sizeof alphabet];
        }
        variant[length] = alphabet[rng() % sizeof alphabet];
        texts.push_back(variant);
      }
    }
    int equal = 0, unequal = 0, shared = 0;
    for (const std::string &a : texts) {
      uint32_t fa, fb;
      ASSERT_TRUE(key0_fingerprint(&t.block, a.data(), &fa));
      for (const std::string &b : texts) {
        ASSERT_TRUE(key0_fingerprint(&t.block, b.data(), &fb));
        if (t.cmp(0, a, b) == 0) {
          ASSERT_EQ(fa, fb) << testing::PrintToString(a) << " / " << testing::PrintToString(b);
          equal++;
        } else {
          unequal++;
          shared += fa == fb;
        }
      }
    }
    EXPECT_GE(equal, static_cast<int>(texts.size()) * 5);
    EXPECT_LT(shared, unequal / 1000);
  }

  Keyed numeric({{{0, 4, 0}, {4, 3, SEG_NUMERIC}}});
  Keyed date({{{0, 8, SEG_DATE}}});
  Keyed temp({{{0, 3, 0}}}, FH_TEMPINDEX);
  uint32_t fp;
  EXPECT_FALSE(key0_fingerprint(&numeric.block, "abcd  1", &fp));
  EXPECT_FALSE(key0_fingerprint(&date.block, "20240101", &fp));
  EXPECT_FALSE(key0_fingerprint(&temp.block, "abc    ", &fp));
}

}  // namespace
