// What a maintenance run shows and logs: the lines of its progress window,
// the log file, the percentage and the Stop button.
//
// Log file lines are the level times two spaces, the text, CR and LF. The
// file is opened for every line (created when missing), appended to, flushed
// and closed, so that a log survives whatever happens to the run.
#ifndef CORVEX_ENGINE_MAINTENANCE_REPORT_H
#define CORVEX_ENGINE_MAINTENANCE_REPORT_H

#include <stdint.h>

#include <string>

#include "util/progress/progress.h"

namespace corvex {

// printf into a std::string.
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

class MaintReport {
 public:
  // `logfile` null or empty: no log.
  MaintReport(ProgressWindow &window, const char *logfile);

  ProgressWindow &window() { return window_; }

  // The first line, logged at level 0.
  void action(const std::string &text);
  void file_type(const std::string &text);
  void status(const std::string &text);
  // The key of the record being handled; "" clears the line.
  void current(const std::string &key);
  // Shows `text` on the Message line and logs it at level 1.
  void message(const std::string &text) { message(text, text); }
  // Shows `shown` and logs `logged` (they differ for a few findings).
  void message(const std::string &shown, const std::string &logged);
  // Shows `text` without logging it.
  void show_message(const std::string &text);
  void log(int level, const std::string &text);

  // The Complete line for `pos` of `size` bytes mapped onto lo..hi percent;
  // the line changes only when the value does.
  void progress(int64_t pos, int64_t size, int lo = 0, int hi = 100);
  void complete(int percent);

  // Once per record: lets the window run and, when the user asked to stop,
  // clears Current, shows and logs "Stopped." and returns true.
  bool stopped();

  // An action's failure: "Error " + the code's message entry + "." on the
  // Message line, logged at level 1, for codes 1..99 that have an entry.
  void failure(int status);

 private:
  ProgressWindow &window_;
  std::string logfile_;
  int percent_ = -1;
};

}  // namespace corvex

#endif
