// The progress window of programs without one: the lines on stderr.
//
// When stderr is a terminal the lines are drawn as one line that is rewritten
// in place (the action, status, percentage and message, cut to the terminal's
// width), and Ctrl-C during a run asks the run to stop instead of ending the
// program. Otherwise each changed line is written once as a plain line, so
// logs and pipes read well. Questions are asked on the terminal when stdin
// and stderr are both terminals, and answered false (Cancel, No) otherwise.
#ifndef CORVEX_UTIL_PROGRESS_TERMINAL_PROGRESS_H
#define CORVEX_UTIL_PROGRESS_TERMINAL_PROGRESS_H

#include <stdio.h>

#include <array>
#include <string>

#include "util/progress/progress.h"

namespace corvex {

class TerminalProgress : public ProgressWindow {
 public:
  // `out` is where lines go; `interactive` chooses the refreshing form and
  // the questions (the default window passes isatty of stderr and stdin).
  TerminalProgress(FILE *out, bool interactive);

  void open(ProgressLayout layout, const std::string &title) override;
  void set_line(int line, const std::string &text) override;
  bool stop_requested() override;
  bool ask(const ProgressQuestion &question) override;
  void close() override;

 private:
  void redraw();

  FILE *out_;
  bool interactive_;
  ProgressLayout layout_ = ProgressLayout::kFileMaint;
  std::array<std::string, kFmLineCount> lines_;
  bool drawn_ = false;  // a refreshing line is on screen and needs ending
};

}  // namespace corvex

#endif
