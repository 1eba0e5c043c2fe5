// Keywords made eight bytes at a time, and the table of chains kept by
// keyword.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/words/word_key.h"
#include "engine/words/word_table.h"
#include "util/ascii.h"

using namespace corvex;

namespace {

std::string lowered(const std::string &word) {
  std::string out = word;
  for (char &c : out) c = static_cast<char>(ascii_lower(static_cast<unsigned char>(c)));
  return out;
}

// Every byte value at every place of a group, in keys of every length up
// to the long ones: only 'A' to 'Z' change, nothing spills into a
// neighbour, and zeros follow the keyword to the end of its groups.
TEST(WordKeyTest, LowerCasesOnlyAsciiCapitalsInEveryPlace) {
  for (size_t size : {1, 3, 4, 7, 8, 9, 15, 16, 17, 39, 40, 41, 70}) {
    for (int value = 1; value < 256; value++) {
      std::string word;
      for (size_t i = 0; i < size; i++) word += static_cast<char>(i % 3 == 0 ? value : 'A' + (value + i) % 60);
      const WordKey key(word);
      ASSERT_EQ(key.text(), lowered(word)) << size << " " << value;
      const size_t end = std::max<size_t>(WordKey::kHeadSize, (size + WordKey::kGroup) / WordKey::kGroup * 8);
      for (size_t i = size; i < end; i++) ASSERT_EQ(key.groups()[i], '\0') << size << " " << i;
      ASSERT_EQ(key.hash(), WordKey::hash_groups(key.groups(), size));
    }
  }
}

TEST(WordKeyTest, CutsToTheRoomAndKeepsStoredKeywordsAsTheyAre) {
  EXPECT_EQ(WordKey("MixedCaseWord", 5).text(), "mixed");
  EXPECT_EQ(WordKey("MixedCaseWord").text(), "mixedcaseword");
  EXPECT_EQ(WordKey::as_stored("MixedCase").text(), "MixedCase");
  EXPECT_EQ(WordKey("Zebra").hash(), WordKey("zEBRA").hash());
  EXPECT_NE(WordKey("zebra").hash(), WordKey("zebras").hash());
  const std::string long_word(100, 'Q');
  WordKey copy = WordKey(long_word);
  WordKey reused("short");
  reused = copy;
  EXPECT_EQ(reused.text(), std::string(100, 'q'));
  reused.assign("Again", SIZE_MAX);
  EXPECT_EQ(reused.text(), "again");
  EXPECT_STREQ(reused.c_str(), "again");
}

// Many keywords, some alike in their first groups and differing only later
// or in length, through many growths of the table: each finds its own chain,
// which stays where it was made.
TEST(WordTableTest, FindsEachKeywordsOwnChainThroughGrowth) {
  std::vector<std::string> words;
  for (int i = 0; i < 20000; i++) {
    std::string w = "w" + std::to_string(i);
    if (i % 3 == 1) w = "sharedbeginning-over-sixteen-" + w;
    if (i % 3 == 2) w = std::string(i % 50 + 1, 'k') + std::to_string(i % 7);
    words.push_back(w);
  }
  WordTable table;
  std::vector<Chain *> made;
  for (size_t i = 0; i < words.size(); i++) {
    Chain &c = table.insert(WordKey(words[i]));
    if (c.empty()) c.add(8, static_cast<uint32_t>(i));
    made.push_back(&c);
  }
  for (size_t i = 0; i < words.size(); i++) {
    Chain *found = table.find(WordKey(words[i]));
    ASSERT_EQ(found, made[i]) << words[i];
    table.prefetch_slot(WordKey(words[i]));
    table.prefetch_chain(WordKey(words[i]));
  }
  EXPECT_EQ(table.find(WordKey("absent")), nullptr);
  EXPECT_EQ(table.find(WordKey("sharedbeginning-over-sixteen-")), nullptr);
  table.clear();
  EXPECT_EQ(table.find(WordKey(words[0])), nullptr);
}

// A chain's ends answer for the last document and for any above the last of
// an ascending chain; the list is needed only below it.
TEST(ChainTest, EndsTellWhatTheyCan) {
  Chain c;
  c.listed = false;
  EXPECT_TRUE(c.known_by_ends(5));
  EXPECT_FALSE(c.contains(5));
  c.add(8, 5);
  c.add(16, 9);
  EXPECT_EQ(c.first, 8u);
  EXPECT_EQ(c.last, 16u);
  EXPECT_TRUE(c.known_by_ends(9) && c.contains(9));
  EXPECT_TRUE(c.known_by_ends(10) && !c.contains(10));
  EXPECT_FALSE(c.known_by_ends(5));
  EXPECT_TRUE(c.docs.empty());
  c.add(24, 7);  // below the last: no longer ascending
  EXPECT_FALSE(c.known_by_ends(12));
}

}  // namespace
