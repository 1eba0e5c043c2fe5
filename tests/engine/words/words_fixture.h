// Word index tests: an initialised engine, a scratch directory, and indexes
// whose keyword file is described by data/LogWords.desc.
#ifndef TESSALY_TESTS_ENGINE_WORDS_WORDS_FIXTURE_H
#define TESSALY_TESTS_ENGINE_WORDS_WORDS_FIXTURE_H

#include <map>
#include <string>
#include <vector>

#include "engine/words/words.h"
#include "tests/support/data_fixture.h"
#include "tests/support/rfh_fixture.h"
#include "util/memory.h"

class WordsTest : public EngineTest {
 protected:
  void TearDown() override {
    closeIndex();
    EngineTest::TearDown();
  }

  static std::string keywordDescription() {
    std::ifstream in(std::string(TESSALY_DATA_DIR) + "/LogWords.desc");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Opens (making when missing) the index W.dat / W.hyp through block_.
  int openIndex() {
    if (!described_) {
      describe(&block_, "W", keywordDescription());
      described_ = true;
    }
    fhrequest fresh = {};
    memcpy(fresh.datname, block_.datname, sizeof fresh.datname);
    block_ = fresh;
    return _fhhypinit(&block_, path("W.hyp").c_str(), 1);
  }
  void closeIndex() {
    if (block_.recbuf) _fhhypinit(&block_, nullptr, 0);
  }

  int add(const char *word, uint32_t doc) {
    char copy[300];
    snprintf(copy, sizeof copy, "%s", word);
    return _fhhypaddword(&block_, copy, doc);
  }

  // The documents of `word`, or {} (ASSERTs the status is 0).
  std::vector<uint32_t> search(const std::string &word) {
    uint32_t count = 99;
    uint32_t *hits = _fhhypsearch(&block_, word.c_str(), &count);
    std::vector<uint32_t> out(hits, hits + (hits ? count : 0));
    EXPECT_EQ(+block_.status, 0) << word;
    if (!hits) {
      EXPECT_EQ(count, 0u);
    }
    globalmfree(hits);
    return out;
  }

  std::string list(uint32_t doc, const char *prefix = "") {
    uint32_t size = 0;
    char *text = _fhhyplist(&block_, doc, prefix, nullptr, &size);
    std::string out = text ? text : "<null>";
    globalmfree(text);
    return out;
  }

  fhrequest block_ = {};
  bool described_ = false;
};

#endif
