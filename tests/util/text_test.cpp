#include "util/text.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

// A heap copy of exactly strlen + 1 bytes, so that AddressSanitizer reports any
// read past the terminator.
std::unique_ptr<char[]> exact(const char *s) {
  auto p = std::make_unique<char[]>(std::strlen(s) + 1);
  std::memcpy(p.get(), s, std::strlen(s) + 1);
  return p;
}

std::string field(void (*justify)(char *, int, int), std::string f, int fill) {
  justify(f.data(), static_cast<int>(f.size()), fill);
  return f;
}

TEST(Text, TrimAndLeading) {
  char s[] = "  ab \t \t";
  EXPECT_STREQ(trim(s), "  ab");
  char blanks[] = " \t ";
  EXPECT_STREQ(trim(blanks), "");
  EXPECT_STREQ(leading(" \t\r\n\v\fx y"), "x y");
  EXPECT_STREQ(leading("   "), "");
  EXPECT_STREQ(leading(nullptr), "");
}

TEST(Text, CopiesNeverPassTheirCount) {
  char t[8];
  std::memset(t, 'X', sizeof t);
  EXPECT_EQ(nstrncpy(t, "abcdef", 3), t);
  EXPECT_STREQ(t, "abc");
  EXPECT_EQ(t[4], 'X');

  std::memset(t, 'X', sizeof t);
  nstrncpy(t, "ab", 5);
  EXPECT_EQ(std::string(t, 7), std::string("ab\0\0\0\0X", 7));  // zero-filled to n, terminator at n

  std::memset(t, 'X', sizeof t);
  nstrncpy(t, "abc", -4);
  EXPECT_EQ(t[0], '\0');
  EXPECT_EQ(t[1], 'X');

  std::memset(t, 'X', sizeof t);
  blcpy(t, "abcdef", 4);
  EXPECT_EQ(std::string(t, 6), "abcdXX");
  blcpy(t, "z", 4);  // stops before the source's terminator and stores none
  EXPECT_EQ(std::string(t, 6), "zbcdXX");
  auto src = exact("pq");
  blcpy(t, src.get(), 100);
  EXPECT_EQ(std::string(t, 3), "pqc");
}

TEST(Text, InstrAndArgpos) {
  EXPECT_EQ(instr("B", "ABC"), 2);
  EXPECT_EQ(instr("X", "ABC"), 0);
  EXPECT_EQ(instr("ABCD", "ABC"), 0);
  EXPECT_EQ(instr("", "ABC"), 1);
  EXPECT_EQ(argpos("12", '.'), 2);
  EXPECT_EQ(argpos("1.5", '.'), 1);
  EXPECT_EQ(argpos("", '.'), 0);
}

TEST(Text, CaseFoldedCompare) {
  EXPECT_EQ(casecmp("abc", "ABC"), 0);
  EXPECT_LT(casecmp("abc", "ABD"), 0);
  EXPECT_EQ(casecmp("ab", "abc"), -1);
  EXPECT_GT(casecmp("abc", "ab"), 0);
  EXPECT_GT(casecmp("\xe9", "a"), 0);  // bytes above 127 compare unsigned
  EXPECT_NE(casecmp("[", "{"), 0);     // only letters fold

  auto a = exact("ab"), b = exact("AB");
  EXPECT_EQ(casencmp(a.get(), b.get(), 50), 0);  // stops at the terminators
  auto c = exact("abc");
  EXPECT_LT(casencmp(a.get(), c.get(), 50), 0);
  EXPECT_GT(casencmp(c.get(), a.get(), 50), 0);
  EXPECT_EQ(casencmp("abX", "ABY", 2), 0);
  EXPECT_EQ(casencmp("x", "y", 0), 0);
}

TEST(Islike, Examples) {
  EXPECT_EQ(islike("ABC", "A*"), 1);
  EXPECT_EQ(islike("ABC", "A?C"), 1);
  EXPECT_EQ(islike("ABC", "*C"), 1);
  EXPECT_EQ(islike("ABC", "AB"), 0);
  EXPECT_EQ(islike("ABC", "a*C"), 0);
  EXPECT_EQ(islike("ABC", "ABC*"), 1);
  EXPECT_EQ(islike("A*C", "A\\*C"), 1);
  EXPECT_EQ(islike("ABC", "A\\*C"), 0);
  EXPECT_EQ(islike("A", "A**"), 1);
  EXPECT_EQ(islike("", "*"), 1);
  EXPECT_EQ(islike("", "?"), 0);
  EXPECT_EQ(islike("A\\", "A\\"), 0);  // a trailing backslash matches nothing
}

// The pattern language is fnmatch's without brackets (flags 0: "*" crosses "/",
// a backslash quotes, case counts), so the two must agree on every pair.
TEST(Islike, AgreesWithFnmatch) {
  std::mt19937 rng(20240601);
  const char pattern_chars[] = "ab*?\\.";
  const char text_chars[] = "ab*?\\./A";
  auto random_text = [&](const char *alphabet, size_t n, size_t maxlen) {
    std::string s(rng() % (maxlen + 1), ' ');
    for (char &c : s) c = alphabet[rng() % n];
    return s;
  };
  for (int i = 0; i < 40000; ++i) {
    std::string p = random_text(pattern_chars, 6, 7);
    std::string t = random_text(text_chars, 8, 8);
    int expected = fnmatch(p.c_str(), t.c_str(), 0) == 0 ? 1 : 0;
    ASSERT_EQ(islike(t.c_str(), p.c_str()), expected) << "text '" << t << "' pattern '" << p << "'";
  }
}

TEST(Justify, Right) {
  EXPECT_EQ(field(just_right, "AB    ", '0'), "0000AB");
  EXPECT_EQ(field(just_right, " AB   ", '0'), "000 AB");  // leading blanks move with the text
  EXPECT_EQ(field(just_right, "  AB", ' '), "  AB");
  EXPECT_EQ(field(just_right, "A B ", '*'), "*A B");
  EXPECT_EQ(field(just_right, "    ", '*'), "****");
}

TEST(Justify, LeftCenterNone) {
  EXPECT_EQ(field(just_left, "  AB  ", ' '), "AB    ");
  EXPECT_EQ(field(just_left, "AB  ", '-'), "AB--");
  EXPECT_EQ(field(just_left, "AB  ", ' '), "AB  ");
  EXPECT_EQ(field(just_center, "AB    ", ' '), "  AB  ");
  EXPECT_EQ(field(just_center, "ABC    ", '.'), "..ABC..");
  EXPECT_EQ(field(just_center, "     AB", '.'), "..AB...");
  EXPECT_EQ(field(just_none, "  A B  ", '_'), "__A B__");
  EXPECT_EQ(field(just_none, "   ", '_'), "___");
  std::string one = "x";
  just_center(one.data(), 0, '.');  // width 0 touches nothing
  EXPECT_EQ(one, "x");
}

}  // namespace
