#include "engine/maintenance/report.h"

#include <stdarg.h>
#include <stdio.h>

#include "engine/status.h"
#include "util/new_file.h"

namespace corvex {

std::string format(const char *fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) vsnprintf(out.data(), out.size() + 1, fmt, again);
  va_end(again);
  return out;
}

MaintReport::MaintReport(ProgressWindow &window, const char *logfile)
    : window_(window), logfile_(logfile ? logfile : "") {}

void MaintReport::action(const std::string &text) {
  window_.set_line(kFmAction, text);
  log(0, text);
}

void MaintReport::file_type(const std::string &text) { window_.set_line(kFmFileType, "File type: " + text); }

void MaintReport::status(const std::string &text) { window_.set_line(kFmStatus, "Status: " + text); }

void MaintReport::current(const std::string &key) {
  window_.set_line(kFmCurrent, key.empty() ? std::string() : "Current: " + key);
}

void MaintReport::message(const std::string &shown, const std::string &logged) {
  show_message(shown);
  log(1, logged);
}

void MaintReport::show_message(const std::string &text) { window_.set_line(kFmMessage, "Message: " + text); }

void MaintReport::log(int level, const std::string &text) {
  if (logfile_.empty()) return;
  FILE *f = open_for_append(logfile_.c_str());
  if (!f) return;
  fprintf(f, "%*s%s\r\n", level * 2, "", text.c_str());
  fflush(f);
  fclose(f);
}

void MaintReport::progress(int64_t pos, int64_t size, int lo, int hi) {
  if (size > 10000000) {
    pos /= 1024;
    size /= 1024;
  }
  int64_t within = size > 0 ? pos * 100 / size : 100;
  if (within < 0) within = 0;
  if (within > 100) within = 100;
  complete(lo + static_cast<int>(within * (hi - lo) / 100));
}

void MaintReport::complete(int percent) {
  if (percent == percent_) return;
  percent_ = percent;
  window_.set_line(kFmComplete, format("Complete: %d%%", percent));
}

bool MaintReport::stopped() {
  if (!window_.stop_requested()) return false;
  current("");
  message("Stopped.");
  return true;
}

void MaintReport::failure(int status) {
  if (status < 1 || status > 99 || !status_entry(status)) return;
  char text[128];
  status_message(status, text, sizeof text);
  message(text);
}

}  // namespace corvex
