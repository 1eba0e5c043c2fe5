// The word index: its word rules, its files, and its answers against a
// plain map of word to documents.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/words/wordclass.h"
#include "tests/engine/words/words_fixture.h"
#include "util/bytes.h"

using namespace corvex;

namespace {

TEST(WordRulesTest, ShortWordsAndStopWords) {
  EXPECT_TRUE(word_is_indexed("TV"));
  EXPECT_FALSE(word_is_indexed("tv"));
  EXPECT_FALSE(word_is_indexed("Tv"));
  EXPECT_FALSE(word_is_indexed("it"));
  EXPECT_FALSE(word_is_indexed("and"));
  EXPECT_FALSE(word_is_indexed("The"));
  EXPECT_TRUE(word_is_indexed("then"));
  EXPECT_TRUE(word_is_indexed("net"));
}

TEST(WordRulesTest, MarksAreStrippedFromTheEnds) {
  EXPECT_EQ(strip_word_marks("(Hello),"), "Hello");
  EXPECT_EQ(strip_word_marks("world."), "world");
  EXPECT_EQ(strip_word_marks("\"'quoted!'\";:"), "quoted");
  EXPECT_EQ(strip_word_marks("a.b"), "a.b");
  EXPECT_EQ(strip_word_marks(",leading"), ",leading");  // commas go only at the end
  EXPECT_EQ(strip_word_marks("()"), "");
}

TEST(WordRulesTest, ClassesUnderEachFlag) {
  struct Case {
    const char *word;
    bool accepted[6];  // flags 0, 2, 4, 8, 16, all
  } cases[] = {
      {"hello", {true, true, true, true, true, true}},
      {"e-mail", {true, true, true, true, true, true}},
      {"1995", {false, true, true, true, false, true}},
      {"-42", {false, true, false, false, false, true}},
      {"A4", {false, true, false, false, false, true}},
      {"3.14", {false, false, false, false, true, true}},
      {"-abc", {false, false, false, false, false, false}},
      {"caf\xe9", {false, false, false, false, true, true}},
  };
  const uint16_t flags[6] = {0, HYP_MIXED, HYP_NUMBERS, HYP_DIGITS, HYP_OTHERS, 0x1e};
  for (const Case &c : cases)
    for (int f = 0; f < 6; f++)
      EXPECT_EQ(word_class_accepted(c.word, flags[f]), c.accepted[f]) << c.word << " flags " << flags[f];
}

TEST_F(WordsTest, NewPostingsFileHoldsTheSignatureAndTheFirstPostingLiesAt8) {
  ASSERT_EQ(openIndex(), 0) << +block_.status;
  EXPECT_EQ(contents("W.hyp"), std::string("ezhyp\0\0\0", 8));
  ASSERT_EQ(add("Antenna", 7), 0);
  ASSERT_EQ(add("antenna", 7), 0);  // the same word again: no second posting
  closeIndex();
  std::string hyp = contents("W.hyp");
  ASSERT_EQ(hyp.size(), 16u);
  EXPECT_EQ(get_u32(reinterpret_cast<const unsigned char *>(hyp.data()) + 8), 7u);
  ASSERT_EQ(openIndex(), 0);
  EXPECT_EQ(search("ANTENNA"), std::vector<uint32_t>{7});
  // The keyword record names the first posting, 8, in five base-95 digits.
  EXPECT_EQ(item(&block_, "KEYWORD"), "antenna" + std::string(25, ' '));
  EXPECT_EQ(item(&block_, "POSN"), std::string("    (", 5));
}

TEST_F(WordsTest, AddWordLowerCasesInPlaceAndIgnoresShortAndStopWords) {
  ASSERT_EQ(openIndex(), 0);
  char word[] = "TV";
  ASSERT_EQ(_fhhypaddword(&block_, word, 1), 0);
  EXPECT_STREQ(word, "tv");
  for (const char *w : {"tv", "it", "and", "The", "x"}) ASSERT_EQ(add(w, 1), 0) << w;
  EXPECT_EQ(list(1), "tv\r\n");
  EXPECT_TRUE(search("it").empty());
  EXPECT_TRUE(search("the").empty());
  EXPECT_EQ(contents("W.hyp").size(), 16u);
}

TEST_F(WordsTest, AddLineKeepsTheWordsItsFlagsAccept) {
  ASSERT_EQ(openIndex(), 0);
  // A4 passes flag 2 but is too short for an add; A45 is not.
  const char line[] = "(Hello), and world.\tTV tv it The 1995\r\n-42 A4 A45 e-mail 3.14";
  ASSERT_EQ(_fhhypaddline(&block_, line, 1, 0), 0);
  EXPECT_EQ(list(1), "e-mail\r\nhello\r\ntv\r\nworld\r\n");
  ASSERT_EQ(_fhhypaddline(&block_, line, 2, HYP_NUMBERS), 0);
  EXPECT_EQ(list(2), "1995\r\ne-mail\r\nhello\r\ntv\r\nworld\r\n");
  ASSERT_EQ(_fhhypaddline(&block_, line, 3, HYP_MIXED), 0);
  EXPECT_EQ(list(3), "-42\r\n1995\r\na45\r\ne-mail\r\nhello\r\ntv\r\nworld\r\n");
  ASSERT_EQ(_fhhypaddline(&block_, line, 4, HYP_OTHERS), 0);
  EXPECT_EQ(list(4), "3.14\r\ne-mail\r\nhello\r\ntv\r\nworld\r\n");
  EXPECT_EQ(search("hello"), (std::vector<uint32_t>{1, 2, 3, 4}));
  // A word is cut at 256 characters; the keyword file keeps 32 of them.
  std::string longword(300, 'q');
  ASSERT_EQ(_fhhypaddline(&block_, longword.c_str(), 5, 0), 0);
  EXPECT_EQ(search(std::string(32, 'q')), std::vector<uint32_t>{5});
}

TEST_F(WordsTest, UnknownWordGivesNullCountZeroAndStatusZero) {
  ASSERT_EQ(openIndex(), 0);
  ASSERT_EQ(add("present", 1), 0);
  uint32_t count = 5;
  EXPECT_EQ(_fhhypsearch(&block_, "absent", &count), nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(+block_.status, 0);
  EXPECT_EQ(list(2), "");
}

TEST_F(WordsTest, ListFollowsThePrefixAndAppendsToTheCallersBuffer) {
  ASSERT_EQ(openIndex(), 0);
  for (const char *w : {"alpha", "bravo", "beta", "charlie", "delta"}) ASSERT_EQ(add(w, 9), 0);
  ASSERT_EQ(add("bingo", 8), 0);
  EXPECT_EQ(list(9, "b"), "beta\r\nbravo\r\n");
  EXPECT_EQ(list(9, "bf"), "bravo\r\n");
  EXPECT_EQ(list(9, "C"), "charlie\r\n");
  // A caller's buffer is appended to and grown, 256 bytes at a time.
  uint32_t size = 16;
  char *buffer = static_cast<char *>(globalmalloc(size));
  strcpy(buffer, "kept:");
  for (int i = 0; i < 40; i++) ASSERT_EQ(add(("word" + std::to_string(100 + i)).c_str(), 9), 0);
  buffer = _fhhyplist(&block_, 9, "w", buffer, &size);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(std::string(buffer, 14), "kept:word100\r\n");
  EXPECT_EQ(strlen(buffer), 5u + 40 * 9);
  EXPECT_EQ(size, 16u + 2 * 256);
  globalmfree(buffer);
}

TEST_F(WordsTest, SearchReturnsAtMost64897Documents) {
  ASSERT_EQ(openIndex(), 0);
  for (uint32_t doc = 1; doc <= 65000; doc++) ASSERT_EQ(add("busy", doc), 0);
  std::vector<uint32_t> hits = search("busy");
  ASSERT_EQ(hits.size(), 64897u);
  EXPECT_EQ(hits.front(), 1u);
  EXPECT_EQ(hits.back(), 64897u);
}

// Overwrites the next-position of the posting at `pos` in the file.
void relink(const std::string &file, uint32_t pos, uint32_t next) {
  int fd = open(file.c_str(), O_WRONLY);
  unsigned char raw[4];
  put_u32(raw, next);
  ASSERT_EQ(pwrite(fd, raw, 4, pos + 4), 4);
  close(fd);
}

TEST_F(WordsTest, DamagedChainsEndWithStatus55) {
  for (const char *mode : {"SINGLE", "MSNET"}) {
    SCOPED_TRACE(mode);
    EngineSession::select(mode);
    ASSERT_EQ(openIndex(), 0);
    ASSERT_EQ(add("loop", 1), 0);
    ASSERT_EQ(add("loop", 2), 0);
    ASSERT_EQ(add("far", 1), 0);
    ASSERT_EQ(add("far", 2), 0);
    closeIndex();
    std::string hyp = contents("W.hyp");
    relink(path("W.hyp"), 16, 8);     // loop's second posting back to its first
    relink(path("W.hyp"), 32, 4000);  // far's second posting past the end
    ASSERT_EQ(openIndex(), 0);
    for (const char *w : {"loop", "far"}) {
      uint32_t count = 9;
      EXPECT_EQ(_fhhypsearch(&block_, w, &count), nullptr) << w;
      EXPECT_EQ(count, 0u);
      EXPECT_EQ(+block_.status, FHS_READWORDS) << w;
    }
    uint32_t size = 0;
    EXPECT_EQ(_fhhyplist(&block_, 3, "", nullptr, &size), nullptr);
    EXPECT_EQ(+block_.status, FHS_READWORDS);
    EXPECT_EQ(add("far", 3), -1);
    EXPECT_EQ(+block_.status, FHS_READWORDS);
    closeIndex();
    std::filesystem::remove(path("W.hyp"));
    std::filesystem::remove(path("W.dat"));
  }
  EngineSession::select("SINGLE");
}

TEST_F(WordsTest, PostingsFileThatCannotBeUsedFailsInitAndClosesTheKeywordFile) {
  describe(&block_, "W", keywordDescription());
  described_ = true;
  EXPECT_EQ(_fhhypinit(&block_, path("missing/dir/W.hyp").c_str(), 1), -1);
  EXPECT_EQ(+block_.status, FHS_OPENWORDS);
  EXPECT_EQ(block_.recbuf, nullptr);
  std::ofstream(path("W.hyp")) << "notahyp!";
  EXPECT_EQ(openIndex(), -1);
  EXPECT_EQ(+block_.status, FHS_READWORDS);
  EXPECT_EQ(block_.recbuf, nullptr);
  EXPECT_EQ(contents("W.hyp"), "notahyp!");  // an existing file is never made anew
}

// A program that ends the engine with its index still open (its last client
// said goodbye first) may close the index afterwards: nothing freed is used,
// and what it added is there when the index is opened again.
TEST_F(WordsTest, IndexClosedAfterTheEngineEndedKeepsItsWords) {
  ASSERT_EQ(openIndex(), 0);
  ASSERT_EQ(add("station", 7), 0);
  call(&control_, FHOP_TERMINATE);
  call(&control_, FHOP_TERMINATE);
  _fhhypinit(&block_, nullptr, 0);
  ASSERT_EQ(call(&control_, FHOP_INIT), 0);
  ASSERT_EQ(openIndex(), 0);
  EXPECT_EQ(search("station"), std::vector<uint32_t>{7});
}

TEST_F(WordsTest, ListReleasesTheRecordLockItTakes) {
  EngineSession::select("MSNET");
  ASSERT_EQ(openIndex(), 0);
  ASSERT_EQ(add("locked", 1), 0);
  EXPECT_EQ(list(1, "l"), "locked\r\n");
  EXPECT_EQ(block_.lockpos, 0u);
  closeIndex();
  EngineSession::select("SINGLE");
}

// Random adds and searches, checked against a map of word to documents in
// order of addition; then once more after the index is opened again.
class WordsRandomTest : public WordsTest, public testing::WithParamInterface<const char *> {};

TEST_P(WordsRandomTest, AgreesWithAMapOfWordToDocuments) {
  EngineSession::select(GetParam());
  ASSERT_EQ(openIndex(), 0);
  std::mt19937 rng(1234);
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 60; i++) vocabulary.push_back("w" + std::to_string(i * 7919 % 1000) + "x");
  std::map<std::string, std::vector<uint32_t>> expected;
  std::map<uint32_t, std::set<std::string>> words_of;
  for (int step = 0; step < 3000; step++) {
    const std::string &w = vocabulary[rng() % (step < 1500 ? 20 : vocabulary.size())];
    uint32_t doc = rng() % 150;
    if (rng() % 4 == 0) {
      ASSERT_EQ(search(w), expected[w]) << step;
      continue;
    }
    ASSERT_EQ(add(w.c_str(), doc), 0) << step << " status " << +block_.status;
    std::vector<uint32_t> &docs = expected[w];
    if (std::find(docs.begin(), docs.end(), doc) == docs.end()) docs.push_back(doc);
    words_of[doc].insert(w);
  }
  for (int pass = 0; pass < 2; pass++) {
    for (const std::string &w : vocabulary) ASSERT_EQ(search(w), expected[w]) << w;
    for (uint32_t doc : {0u, 17u, 149u}) {
      std::string text;
      for (const std::string &w : words_of[doc]) text += w + "\r\n";
      EXPECT_EQ(list(doc), text) << doc;
    }
    closeIndex();
    ASSERT_EQ(openIndex(), 0);
  }
  closeIndex();
  EngineSession::select("SINGLE");
}

INSTANTIATE_TEST_SUITE_P(Modes, WordsRandomTest, testing::Values("SINGLE", "MSNET"));

// Two processes add words to one index in the shared mode at the same time,
// many of them new to the index when added; every document of every word
// must be there once.
TEST(WordsSharedTest, TwoProcessesAddingLoseNothing) {
  Scratch scratch;
  const std::string dat = scratch.path("W.dat"), hyp = scratch.path("W.hyp");
  {
    std::ifstream in(std::string(TESSALY_DATA_DIR) + "/LogWords.desc");
    std::stringstream s;
    s << in.rdbuf();
    write_fid(scratch.path("W.fid"), s.str());
  }
  {
    EngineSession session;
    fhrequest b = {};
    strcpy(b.datname, dat.c_str());
    ASSERT_EQ(_fhhypinit(&b, hyp.c_str(), 1), 0);
    _fhhypinit(&b, nullptr, 0);
  }
  constexpr int kWorkers = 2, kDocs = 150, kWords = 40;
  auto word = [](int i) { return "word" + std::to_string(i); };
  pid_t pids[kWorkers];
  for (int me = 0; me < kWorkers; me++) {
    pids[me] = fork();
    ASSERT_GE(pids[me], 0);
    if (pids[me] != 0) continue;
    int failed = 0;
    {
      EngineSession session("MSNET");
      fhrequest b = {};
      strcpy(b.datname, dat.c_str());
      if (_fhhypinit(&b, hyp.c_str(), 1) != 0) _exit(2);
      for (int doc = 0; doc < kDocs && !failed; doc++) {
        for (int i = 0; i < kWords; i += 1 + (doc + me) % 3) {
          char w[32];
          snprintf(w, sizeof w, "%s", word((i * 7 + doc) % kWords + doc / 10 * kWords).c_str());
          if (_fhhypaddword(&b, w, static_cast<uint32_t>(me * 100000 + doc)) != 0) {
            fprintf(stderr, "worker %d: status %d\n", me, b.status);
            failed = 1;
            break;
          }
        }
      }
      _fhhypinit(&b, nullptr, 0);
    }
    _exit(failed);
  }
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::map<std::string, std::multiset<uint32_t>> expected;
  for (int me = 0; me < kWorkers; me++)
    for (int doc = 0; doc < kDocs; doc++)
      for (int i = 0; i < kWords; i += 1 + (doc + me) % 3) {
        std::multiset<uint32_t> &docs = expected[word((i * 7 + doc) % kWords + doc / 10 * kWords)];
        uint32_t d = static_cast<uint32_t>(me * 100000 + doc);
        if (!docs.count(d)) docs.insert(d);
      }
  EngineSession session;
  fhrequest b = {};
  strcpy(b.datname, dat.c_str());
  ASSERT_EQ(_fhhypinit(&b, hyp.c_str(), 1), 0);
  for (const auto &[w, docs] : expected) {
    uint32_t count = 0;
    uint32_t *hits = _fhhypsearch(&b, w.c_str(), &count);
    std::multiset<uint32_t> got(hits, hits + count);
    globalmfree(hits);
    EXPECT_EQ(got, docs) << w;
  }
  _fhhypinit(&b, nullptr, 0);
}

}  // namespace
