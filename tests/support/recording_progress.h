// A progress window for tests: records what a run shows, answers questions
// from a script, and asks to stop after a chosen number of line changes.
#ifndef TESSALY_TESTS_SUPPORT_RECORDING_PROGRESS_H
#define TESSALY_TESTS_SUPPORT_RECORDING_PROGRESS_H

#include <deque>
#include <string>
#include <vector>

#include "util/progress/progress.h"

namespace corvex::testing {

class RecordingProgress : public ProgressWindow {
 public:
  struct Change {
    int line;
    std::string text;
  };

  // Every line change of the last run, in order.
  std::vector<Change> changes;
  // The current text of each line.
  std::vector<std::string> lines;
  std::string title;
  ProgressLayout layout = ProgressLayout::kFileMaint;
  int opens = 0;
  int closes = 0;
  std::vector<ProgressQuestion> questions;
  // Answers given to questions in order; false once they run out.
  std::deque<bool> answers;
  // Stop is requested once this many line changes were made (-1: never).
  int stop_after_changes = -1;

  void open(ProgressLayout l, const std::string &t) override {
    layout = l;
    title = t;
    changes.clear();
    lines.assign(l == ProgressLayout::kFileMaint ? int{kFmLineCount} : int{kCmpLineCount}, "");
    ++opens;
  }
  void set_line(int line, const std::string &text) override {
    changes.push_back({line, text});
    if (line >= 0 && line < static_cast<int>(lines.size())) lines[line] = text;
  }
  bool stop_requested() override {
    return stop_after_changes >= 0 && static_cast<int>(changes.size()) >= stop_after_changes;
  }
  bool ask(const ProgressQuestion &question) override {
    questions.push_back(question);
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void close() override { ++closes; }

  // The texts that `line` took, in order.
  std::vector<std::string> history(int line) const {
    std::vector<std::string> texts;
    for (const Change &c : changes)
      if (c.line == line) texts.push_back(c.text);
    return texts;
  }
};

// A window that shows nothing, never asks to stop and answers every question
// false: for runs whose progress nobody watches (benchmarks, fuzzing).
class SilentProgress : public ProgressWindow {
 public:
  void open(ProgressLayout, const std::string &) override {}
  void set_line(int, const std::string &) override {}
  bool stop_requested() override { return false; }
  bool ask(const ProgressQuestion &) override { return false; }
  void close() override {}
};

// Installs a window for the life of a test and restores the default after it.
class InstalledProgress {
 public:
  explicit InstalledProgress(ProgressWindow &window) { corvex_set_progress_window(&window); }
  ~InstalledProgress() { corvex_set_progress_window(nullptr); }
  InstalledProgress(const InstalledProgress &) = delete;
  InstalledProgress &operator=(const InstalledProgress &) = delete;
};

}  // namespace corvex::testing

#endif
