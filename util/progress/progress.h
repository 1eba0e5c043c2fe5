// Progress windows of long library runs (file maintenance, archives).
//
// The library draws no window of its own. A run reports through the window
// that the program installed with corvex_set_progress_window, or, when none is
// installed, through the terminal default (terminal_progress.h). A window shows
// a fixed set of text lines, one layout per kind of run; the run passes each
// line's whole text as it is to be drawn ("Status: Done."), so a window only
// places and paints lines and never formats them.
//
// Runs call the window from the thread that started them. A window lets the
// program's pending events run whenever a line changes and when asked whether
// the user wants to stop, so the program's own windows stay responsive.
#ifndef CORVEX_UTIL_PROGRESS_PROGRESS_H
#define CORVEX_UTIL_PROGRESS_PROGRESS_H

#include <string>

#include "util/export.h"

namespace corvex {

// The window layouts. The line numbers of each layout are below.
enum class ProgressLayout {
  kFileMaint,  // 500 x 215: six lines and a Stop button
  kCompress,   // 225 x 125: four texts and a Stop button
};

// Lines of kFileMaint, top to bottom; the first is drawn in blue.
enum FileMaintLine {
  kFmAction = 0,  // "Verifying file: ...", "Recovering file: ...", "Packing file: ..."
  kFmFileType,    // "File type: ..."
  kFmStatus,      // "Status: ..."
  kFmCurrent,     // "Current: ..." (key of the record being handled)
  kFmComplete,    // "Complete: N%"
  kFmMessage,     // "Message: ..."
  kFmLineCount
};

// Texts of kCompress: operation and overall percentage on the first row,
// current member and its percentage on the second.
enum CompressLine {
  kCmpOperation = 0,
  kCmpOverall,
  kCmpMember,
  kCmpMemberPercent,
  kCmpLineCount
};

// A question with two buttons. The answer is true for the first button.
struct ProgressQuestion {
  enum class Buttons { kOkCancel, kYesNo };
  std::string caption;
  std::string text;
  Buttons buttons = Buttons::kOkCancel;
};

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;

  // A run begins: shows the window of `layout` titled `title`, every line empty,
  // and clears any earlier stop request.
  virtual void open(ProgressLayout layout, const std::string &title) = 0;

  // Replaces the text of `line` (a FileMaintLine or CompressLine of the open
  // layout) and lets pending events run.
  virtual void set_line(int line, const std::string &text) = 0;

  // Lets pending events run; true once the user asked to stop this run.
  virtual bool stop_requested() = 0;

  // Asks `question` and waits for the answer. A window that cannot ask
  // answers false (Cancel, No), which every run treats as the safe choice.
  virtual bool ask(const ProgressQuestion &question) = 0;

  // The run has ended: the window goes away.
  virtual void close() = 0;
};

// The window runs report to: the one installed, else the terminal default.
ProgressWindow &progress_window();

}  // namespace corvex

CORVEX_EXTERN_C_BEGIN
// Installs the window that later runs report to; null restores the terminal
// default. The window must outlive every run that uses it. Not for use while
// a run is going on.
CORVEX_EXPORT void corvex_set_progress_window(corvex::ProgressWindow *window);
CORVEX_EXTERN_C_END

#endif
