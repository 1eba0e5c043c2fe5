// The files a word index is left with after a fixed series of adds, pinned
// byte for byte: faster ways of building the same index must write the same
// keyword file, keyword index and postings file.
#include <stdint.h>

#include <random>
#include <string>
#include <vector>

#include "tests/engine/words/words_fixture.h"

namespace {

// FNV-1a over a file's bytes.
uint64_t fingerprint(const std::string &bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Notes drawn from a vocabulary with every kind of word the rules tell
// apart: plain, capitalised, two capitals, stop words, numbers, mixed,
// other characters, marks around words, keywords longer than their item,
// words longer than a line word may be. Only raw generator output is used,
// so that the notes are the same on every library.
class NoteMaker {
 public:
  NoteMaker() {
    const char *kinds[] = {"TV", "and", "The", "it", "1995", "-42", "A4", "3.14", "e-mail", "(Hello),", "world.",
                           "\"quoted!\"", "caf\xe9", "ab"};
    for (const char *k : kinds) vocabulary_.push_back(k);
    for (int i = 0; i < 1500; i++) vocabulary_.push_back(syllables(2 + next(3)));
    for (int i = 0; i < 20; i++) vocabulary_.push_back(syllables(20 + next(10)));  // beyond the 32 kept
    vocabulary_.push_back(std::string(300, 'q'));                                  // beyond 256
  }

  std::string note() {
    std::string out;
    for (int k = 3 + next(14); k > 0; k--) {
      std::string w = vocabulary_[skewed()];
      if (next(10) == 0) w[0] = static_cast<char>(w[0] >= 'a' && w[0] <= 'z' ? w[0] - 32 : w[0]);
      if (!out.empty()) out += next(8) == 0 ? "\t" : " ";
      out += w;
    }
    return out;
  }
  uint32_t next(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

 private:
  std::string syllables(int n) {
    static const char consonants[] = "bcdfghklmnprstvwz", vowels[] = "aeiou";
    std::string w;
    for (; n > 0; n--) {
      w += consonants[next(sizeof consonants - 1)];
      w += vowels[next(sizeof vowels - 1)];
    }
    return w;
  }
  // Mostly the first words, so that chains grow long and cross batches.
  size_t skewed() {
    const uint32_t n = static_cast<uint32_t>(vocabulary_.size());
    return next(4) == 0 ? next(n) : next(1 + next(n / 8));
  }

  std::mt19937 rng_{2026};
  std::vector<std::string> vocabulary_;
};

// Two sessions: the first builds most of the index from nothing, the second
// adds to chains it reads from the file; documents come back out of order
// and words repeat within a note.
TEST_F(WordsTest, FixedNotesGiveTheSameFilesByteForByte) {
  NoteMaker maker;
  const uint16_t flags[] = {0, HYP_MIXED, HYP_NUMBERS, HYP_OTHERS, 0x1e};
  ASSERT_EQ(openIndex(), 0) << +block_.status;
  uint32_t doc = 1;
  for (; doc <= 24000; doc++) {
    const uint32_t id = doc % 97 == 0 ? maker.next(doc) + 1 : doc;
    ASSERT_EQ(_fhhypaddline(&block_, maker.note().c_str(), id, flags[doc % 5]), 0) << doc;
  }
  closeIndex();
  ASSERT_EQ(openIndex(), 0) << +block_.status;
  for (; doc <= 26000; doc++) {
    ASSERT_EQ(_fhhypaddline(&block_, maker.note().c_str(), doc, flags[doc % 5]), 0) << doc;
    ASSERT_EQ(add("Zebra", doc / 3), 0);
  }
  closeIndex();

  struct Pinned {
    const char *file;
    size_t size;
    uint64_t print;
  } pinned[] = {
      {"W.hyp", 1722552, 0x954ae8ebb7046e0cull},
      {"W.dat", 59163, 0xb5eff64f4ccb9da3ull},
      {"W.idx", 95872, 0xe2467fb68ec04ab3ull},
  };
  for (const Pinned &p : pinned) {
    const std::string bytes = contents(p.file);
    EXPECT_EQ(bytes.size(), p.size) << p.file;
    EXPECT_EQ(fingerprint(bytes), p.print) << p.file << std::hex << " 0x" << fingerprint(bytes);
  }
}

}  // namespace
