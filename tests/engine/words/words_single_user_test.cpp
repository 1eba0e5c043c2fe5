// The word index in the single-user mode: two blocks of one program on one
// index, another program beside it, and programs that end without closing
// it or are killed while adding.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "words_fixture.h"

namespace {

class WordsSingleUserTest : public WordsTest {
 protected:
  // Opens the index through `block` as openIndex does through block_.
  int openAlso(fhrequest *block) {
    *block = fhrequest();
    memcpy(block->datname, block_.datname, sizeof block->datname);
    return _fhhypinit(block, path("W.hyp").c_str(), 1);
  }
  static int addTo(fhrequest *block, const std::string &word, uint32_t doc) {
    char copy[64];
    snprintf(copy, sizeof copy, "%s", word.c_str());
    return _fhhypaddword(block, copy, doc);
  }
  static std::string word(int i) { return "word" + std::to_string(i); }

  // Runs `body` in a child process started now, which tells the parent
  // through the pipe when it is `ready()` and waits for a byte back when
  // it calls `await()`. Returns the child's pid.
  template <typename Body>
  pid_t child(Body body) {
    if (pipe(to_parent_) != 0 || pipe(to_child_) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
      close(to_parent_[0]);
      close(to_child_[1]);
      _exit(body());
    }
    close(to_parent_[1]);
    close(to_child_[0]);
    return pid;
  }
  void ready() { (void)!write(to_parent_[1], "r", 1); }
  void await() {
    char c;
    (void)!read(to_child_[0], &c, 1);
  }
  bool childReady() {
    char c;
    return read(to_parent_[0], &c, 1) == 1;
  }
  void release() { (void)!write(to_child_[1], "g", 1); }
  static int exitCode(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  int to_parent_[2] = {-1, -1};
  int to_child_[2] = {-1, -1};
};

// Both blocks add new words and new documents of known words, one after
// the other: every posting of both is found, through either block and
// after the index is opened again.
TEST_F(WordsSingleUserTest, TwoBlocksOfOneProgramShareTheIndex) {
  ASSERT_EQ(openIndex(), 0);
  fhrequest other;
  ASSERT_EQ(openAlso(&other), 0) << +other.status;
  EXPECT_EQ(int{other.hypfd}, int{block_.hypfd});
  for (uint32_t doc = 1; doc <= 40; doc++) {
    fhrequest *by = doc % 2 ? &block_ : &other;
    ASSERT_EQ(addTo(by, word(doc % 7), doc), 0) << doc;
    ASSERT_EQ(addTo(by, word(100 + doc), doc), 0) << doc;
  }
  auto expectEveryPosting = [&](fhrequest *through) {
    for (int w = 0; w < 7; w++) {
      uint32_t count = 0;
      uint32_t *hits = _fhhypsearch(through, word(w).c_str(), &count);
      std::vector<uint32_t> got(hits, hits + (hits ? count : 0)), want;
      globalmfree(hits);
      for (uint32_t doc = 1; doc <= 40; doc++)
        if (doc % 7 == static_cast<uint32_t>(w)) want.push_back(doc);
      EXPECT_EQ(got, want) << word(w);
    }
    for (uint32_t doc = 1; doc <= 40; doc++) {
      uint32_t count = 0;
      uint32_t *hits = _fhhypsearch(through, word(100 + doc).c_str(), &count);
      EXPECT_EQ(count, 1u) << doc;
      globalmfree(hits);
    }
  };
  expectEveryPosting(&other);
  // The first block closes first: the other goes on alone.
  closeIndex();
  ASSERT_EQ(addTo(&other, word(500), 77), 0);
  ASSERT_EQ(_fhhypinit(&other, nullptr, 0), 0);
  ASSERT_EQ(openIndex(), 0) << +block_.status;
  expectEveryPosting(&block_);
  EXPECT_EQ(search(word(500)), std::vector<uint32_t>{77});
}

// While one program has the index open single-user, another can neither
// open it single-user nor add to it in a shared mode; once it is closed,
// both can.
TEST_F(WordsSingleUserTest, AnotherProgramWaitsForTheIndexAndIsRefused) {
  ASSERT_EQ(openIndex(), 0);
  closeIndex();
  pid_t pid = child([&] {
    await();
    fhrequest b = {};
    memcpy(b.datname, block_.datname, sizeof b.datname);
    b.hdrtries = 2;
    int refused = _fhhypinit(&b, path("W.hyp").c_str(), 1) == -1 && b.status == FHS_HDRLOCKED;
    ready();
    await();
    int opened = _fhhypinit(&b, path("W.hyp").c_str(), 1) == 0 && addTo(&b, "later", 9) == 0;
    _fhhypinit(&b, nullptr, 0);
    return refused && opened ? 0 : 1;
  });
  ASSERT_GT(pid, 0);
  ASSERT_EQ(openIndex(), 0);
  ASSERT_EQ(add("first", 1), 0);
  release();
  ASSERT_TRUE(childReady());
  closeIndex();
  release();
  EXPECT_EQ(exitCode(pid), 0);
  ASSERT_EQ(openIndex(), 0);
  EXPECT_EQ(search("first"), std::vector<uint32_t>{1});
  EXPECT_EQ(search("later"), std::vector<uint32_t>{9});
}

// A program that adds and ends without closing the index: every add that
// returned 0 is there at the next open.
TEST_F(WordsSingleUserTest, AddsSurviveAnExitWithoutClose) {
  pid_t pid = child([&] {
    if (openIndex() != 0) return 2;
    for (uint32_t doc = 0; doc < 300; doc++) {
      if (add(word(doc % 50).c_str(), doc) != 0 || add(word(1000 + doc).c_str(), doc) != 0) return 3;
    }
    exit(0);  // static destructors run, the index stays open
  });
  ASSERT_EQ(exitCode(pid), 0);
  ASSERT_EQ(openIndex(), 0) << +block_.status;
  for (int w = 0; w < 50; w++) EXPECT_EQ(search(word(w)).size(), 6u) << word(w);
  for (uint32_t doc = 0; doc < 300; doc++) EXPECT_EQ(search(word(1000 + doc)), std::vector<uint32_t>{doc});
}

// A program killed after many new words: the next open rebuilds what the
// kill left of the keyword file and every word whose add returned is found.
TEST_F(WordsSingleUserTest, AnIndexLeftByAKilledProgramOpens) {
  pid_t pid = child([&] {
    if (openIndex() != 0) return 2;
    for (uint32_t doc = 0; doc < 2000; doc++) {
      if (add(word(doc).c_str(), doc) != 0) return 3;
    }
    ready();
    pause();
    return 4;
  });
  ASSERT_TRUE(childReady());
  kill(pid, SIGKILL);
  EXPECT_EQ(exitCode(pid), 128 + SIGKILL);
  ASSERT_EQ(openIndex(), 0) << +block_.status;
  for (uint32_t doc = 0; doc < 2000; doc += 37) EXPECT_EQ(search(word(doc)), std::vector<uint32_t>{doc});
  ASSERT_EQ(add("after", 1), 0);
  EXPECT_EQ(search("after"), std::vector<uint32_t>{1});
}

}  // namespace
