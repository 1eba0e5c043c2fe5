// The program's progress window: both layouts' sizes, Stop button, lines
// and colours, Stop clicks and questions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/progress/progresslayout.h"
#include "app/progress/progresswindow.h"

using corvex::ProgressLayout;

namespace {

// Whether any pixel of `band` in the window's picture has `colour`.
bool painted(progress::ProgressView *view, const QRect &band, QColor colour) {
  QImage image = view->grab().toImage();
  for (int y = band.top(); y <= band.bottom() && y < image.height(); y++)
    for (int x = band.left(); x <= band.right() && x < image.width(); x++)
      if (QColor(image.pixel(x, y)) == colour) return true;
  return false;
}

TEST(ProgressWindow, FileMaintenanceLayout) {
  progress::QtProgressWindow window;
  window.open(ProgressLayout::kFileMaint, "Meridel File Maintenance v6.1");
  progress::ProgressView *view = window.view();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->windowTitle(), "Meridel File Maintenance v6.1");
  EXPECT_EQ(view->size(), QSize(500, 215));
  EXPECT_EQ(view->stopButton()->geometry(), QRect(222, 165, 55, 20));
  EXPECT_EQ(view->stopButton()->text(), "Stop");
  window.set_line(corvex::kFmAction, "Verifying file: Log.Dat");
  window.set_line(corvex::kFmStatus, "Status: Done.");
  EXPECT_EQ(view->line(corvex::kFmStatus), "Status: Done.");
  // The first line is blue, the others black, on light grey.
  EXPECT_TRUE(painted(view, progress::bandOf(ProgressLayout::kFileMaint, corvex::kFmAction), Qt::blue));
  EXPECT_FALSE(painted(view, progress::bandOf(ProgressLayout::kFileMaint, corvex::kFmStatus), Qt::blue));
  EXPECT_TRUE(painted(view, progress::bandOf(ProgressLayout::kFileMaint, corvex::kFmStatus), Qt::black));
  EXPECT_TRUE(painted(view, QRect(0, 190, 10, 10), QColor(0xC0, 0xC0, 0xC0)));
  EXPECT_EQ(progress::bandOf(ProgressLayout::kFileMaint, corvex::kFmComplete), QRect(0, 110, 500, 25));

  EXPECT_FALSE(window.stop_requested());
  view->stopButton()->click();
  EXPECT_TRUE(window.stop_requested());
  window.close();
  EXPECT_EQ(window.view(), nullptr);
  // A new run starts without the old stop.
  window.open(ProgressLayout::kFileMaint, "again");
  EXPECT_FALSE(window.stop_requested());
  window.close();
}

TEST(ProgressWindow, ArchiveLayout) {
  progress::QtProgressWindow window;
  window.open(ProgressLayout::kCompress, "Compress v2.2");
  progress::ProgressView *view = window.view();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->size(), QSize(225, 125));
  EXPECT_EQ(view->stopButton()->geometry(), QRect(85, 70, 55, 20));
  const progress::LayoutGeometry &g = progress::geometryOf(ProgressLayout::kCompress);
  ASSERT_EQ(g.lines.size(), size_t{corvex::kCmpLineCount});
  EXPECT_EQ(g.lines[corvex::kCmpOverall].at, QPoint(175, 10));
  EXPECT_EQ(g.lines[corvex::kCmpMember].at, QPoint(8, 40));
  window.set_line(corvex::kCmpMemberPercent, "50%");
  EXPECT_TRUE(painted(view, QRect(175, 40, 40, 20), Qt::black));
  window.close();
}

TEST(ProgressWindow, QuestionsAnswerWithTheFirstButton) {
  progress::QtProgressWindow window;
  window.open(ProgressLayout::kFileMaint, "t");
  corvex::ProgressQuestion question{"FileMaint: Error", "Data/FID record length mismatch. Do you want to fix it?",
                                    corvex::ProgressQuestion::Buttons::kOkCancel};
  QString seen;
  auto answer = [&seen](QMessageBox::StandardButton which) {
    QTimer::singleShot(0, [&seen, which] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (!box) return;
      seen = box->windowTitle() + "|" + box->text();
      box->button(which)->click();
    });
  };
  answer(QMessageBox::Ok);
  EXPECT_TRUE(window.ask(question));
  EXPECT_EQ(seen, "FileMaint: Error|Data/FID record length mismatch. Do you want to fix it?");
  answer(QMessageBox::Cancel);
  EXPECT_FALSE(window.ask(question));
  question.buttons = corvex::ProgressQuestion::Buttons::kYesNo;
  answer(QMessageBox::No);
  EXPECT_FALSE(window.ask(question));
  window.close();
}

}  // namespace
