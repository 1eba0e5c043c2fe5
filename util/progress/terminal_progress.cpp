#include "util/progress/terminal_progress.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace corvex {

namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous_sigint;

void on_sigint(int) { g_interrupted = 1; }

size_t terminal_width(FILE *out) {
  struct winsize ws = {};
  if (ioctl(fileno(out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) return ws.ws_col - 1;
  return 79;
}

// Lines that change once per record or per percent: on a refreshing line they
// are shown, as plain lines they would flood a log and are left out (the
// percentage is kept at every tenth).
bool is_per_record(ProgressLayout layout, int line) {
  return layout == ProgressLayout::kFileMaint ? line == kFmCurrent
                                              : line == kCmpMemberPercent;
}

bool is_percentage(ProgressLayout layout, int line) {
  return layout == ProgressLayout::kFileMaint ? line == kFmComplete
                                              : line == kCmpOverall;
}

// The first number in `text`, or -1.
int number_in(const std::string &text) {
  size_t at = text.find_first_of("0123456789");
  return at == std::string::npos ? -1 : std::atoi(text.c_str() + at);
}

}  // namespace

TerminalProgress::TerminalProgress(FILE *out, bool interactive)
    : out_(out), interactive_(interactive) {}

void TerminalProgress::open(ProgressLayout layout, const std::string &title) {
  layout_ = layout;
  for (auto &line : lines_) line.clear();
  drawn_ = false;
  g_interrupted = 0;
  if (interactive_) {
    struct sigaction action = {};
    action.sa_handler = on_sigint;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_previous_sigint);
  }
  if (!interactive_ && !title.empty()) fprintf(out_, "%s\n", title.c_str());
}

void TerminalProgress::set_line(int line, const std::string &text) {
  if (line < 0 || line >= static_cast<int>(lines_.size()) || lines_[line] == text) return;
  std::string before = lines_[line];
  lines_[line] = text;
  if (interactive_) {
    redraw();
    return;
  }
  if (text.empty() || is_per_record(layout_, line)) return;
  if (is_percentage(layout_, line)) {
    int now = number_in(text);
    if (now % 10 != 0 || now / 10 == number_in(before) / 10) return;
  }
  fprintf(out_, "%s\n", text.c_str());
  fflush(out_);
}

void TerminalProgress::redraw() {
  // The lines that say most, in reading order, on one line.
  static const int kFileMaintOrder[] = {kFmAction, kFmStatus, kFmCurrent, kFmComplete, kFmMessage};
  static const int kCompressOrder[] = {kCmpOperation, kCmpOverall, kCmpMember, kCmpMemberPercent};
  std::string shown;
  auto add = [&](int line) {
    if (lines_[line].empty()) return;
    if (!shown.empty()) shown += "  ";
    shown += lines_[line];
  };
  if (layout_ == ProgressLayout::kFileMaint)
    for (int line : kFileMaintOrder) add(line);
  else
    for (int line : kCompressOrder) add(line);
  size_t width = terminal_width(out_);
  if (shown.size() > width) shown.resize(width);
  fprintf(out_, "\r%s\033[K", shown.c_str());
  fflush(out_);
  drawn_ = true;
}

bool TerminalProgress::stop_requested() { return g_interrupted != 0; }

bool TerminalProgress::ask(const ProgressQuestion &question) {
  if (!interactive_ || !isatty(STDIN_FILENO)) return false;
  if (drawn_) fputc('\n', out_);
  const char *choices = question.buttons == ProgressQuestion::Buttons::kYesNo ? "[y/N]" : "[ok/Cancel]";
  fprintf(out_, "%s: %s %s ", question.caption.c_str(), question.text.c_str(), choices);
  fflush(out_);
  char answer[16] = {};
  if (fgets(answer, sizeof answer, stdin) == nullptr) return false;
  drawn_ = false;
  char first = answer[0];
  return question.buttons == ProgressQuestion::Buttons::kYesNo ? (first == 'y' || first == 'Y')
                                                               : (first == 'o' || first == 'O');
}

void TerminalProgress::close() {
  if (interactive_) {
    if (drawn_) fputc('\n', out_);
    fflush(out_);
    sigaction(SIGINT, &g_previous_sigint, nullptr);
  }
  drawn_ = false;
}

}  // namespace corvex
