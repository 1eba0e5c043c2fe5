// The terminal window as a log or pipe sees it, and its safe answers.
#include "util/progress/terminal_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/recording_progress.h"

namespace corvex {
namespace {

std::string written(FILE *f) {
  fflush(f);
  long size = ftell(f);
  std::string text(static_cast<size_t>(size), '\0');
  rewind(f);
  size_t got = fread(text.data(), 1, text.size(), f);
  text.resize(got);
  return text;
}

TEST(TerminalProgress, PlainLinesLeaveOutPerRecordTextsAndKeepTenthsOfThePercentage) {
  FILE *f = tmpfile();
  ASSERT_NE(f, nullptr);
  TerminalProgress window(f, false);
  window.open(ProgressLayout::kFileMaint, "Check");
  window.set_line(kFmAction, "Verifying file: Log.Dat");
  window.set_line(kFmStatus, "Status: Reading...");
  window.set_line(kFmStatus, "Status: Reading...");  // unchanged: not written again
  for (int key = 0; key < 3; ++key) window.set_line(kFmCurrent, "Current: K" + std::to_string(key));
  for (int pct = 0; pct <= 25; ++pct) window.set_line(kFmComplete, "Complete: " + std::to_string(pct) + "%");
  window.set_line(kFmMessage, "Message: VERIFY completed successfuly.");
  window.close();
  EXPECT_EQ(written(f),
            "Check\nVerifying file: Log.Dat\nStatus: Reading...\nComplete: 10%\nComplete: 20%\n"
            "Message: VERIFY completed successfuly.\n");
  fclose(f);
}

TEST(TerminalProgress, WithoutATerminalQuestionsGetTheSafeAnswerAndStopIsNeverAsked) {
  FILE *f = tmpfile();
  ASSERT_NE(f, nullptr);
  TerminalProgress window(f, false);
  window.open(ProgressLayout::kCompress, "");
  EXPECT_FALSE(window.ask({"Compress", "File 'a' already exists, overwrite it?", ProgressQuestion::Buttons::kYesNo}));
  EXPECT_FALSE(window.stop_requested());
  window.close();
  fclose(f);
}

TEST(TerminalProgress, TheInstalledWindowIsTheOneRunsReportTo) {
  ProgressWindow &fallback = progress_window();
  testing::RecordingProgress recorder;
  {
    testing::InstalledProgress installed(recorder);
    EXPECT_EQ(&progress_window(), &recorder);
  }
  EXPECT_EQ(&progress_window(), &fallback);
}

}  // namespace
}  // namespace corvex
