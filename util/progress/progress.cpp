#include "util/progress/progress.h"

#include <unistd.h>

#include "util/progress/terminal_progress.h"

namespace corvex {

namespace {
ProgressWindow *g_installed = nullptr;
}

ProgressWindow &progress_window() {
  if (g_installed != nullptr) return *g_installed;
  static TerminalProgress terminal(stderr, isatty(STDERR_FILENO) != 0);
  return terminal;
}

}  // namespace corvex

void corvex_set_progress_window(corvex::ProgressWindow *window) { corvex::g_installed = window; }
