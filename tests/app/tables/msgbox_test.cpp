// The program's own message window: time limit, Yes and No by click and by
// key, shape, dragging.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/tables/msgbox.h"

using tables::MessageRequest;
using tables::MsgBox;

namespace {

MessageRequest request(const char *yesNo, int seconds) {
  return {"Processing Complete", 1, "Student Data - General Info.", yesNo, seconds};
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

}  // namespace

TEST(MsgBox, OkWindowClosesItselfAfterItsSeconds) {
  MsgBox box(request("N", 2));
  EXPECT_TRUE(box.Image2->isVisibleTo(&box));
  EXPECT_FALSE(box.Image3->isVisibleTo(&box));
  EXPECT_FALSE(box.Image4->isVisibleTo(&box));
  QSignalSpy finished(&box, &QDialog::finished);
  box.show();
  QTest::qWait(MsgBox::kTickMs + 300);
  EXPECT_TRUE(box.isVisible());  // one tick is not enough
  ASSERT_TRUE(finished.wait(MsgBox::kTickMs + 500));
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.ticks(), 2);
  EXPECT_EQ(box.answer(), 0);
}

TEST(MsgBox, YesNoWindowWaitsForItsAnswer) {
  for (const char *spelling : {"Y", "y", "1", "1.0"}) {
    MsgBox box(request(spelling, 1));
    EXPECT_FALSE(box.Image2->isVisibleTo(&box)) << spelling;
    EXPECT_TRUE(box.Image3->isVisibleTo(&box)) << spelling;
    EXPECT_TRUE(box.Image4->isVisibleTo(&box)) << spelling;
  }
  for (const char *spelling : {"N", "", "2", "Yes"}) EXPECT_FALSE(tables::asksYesNo(spelling)) << spelling;
  MsgBox yes(request("Y", 1));
  yes.show();
  QTest::qWait(MsgBox::kTickMs + 300);
  EXPECT_TRUE(yes.isVisible());  // the time limit applies to OK windows only
  EXPECT_EQ(yes.ticks(), 0);
  yes.Image4->click();
  EXPECT_FALSE(yes.isVisible());
  EXPECT_EQ(yes.answer(), 1);

  MsgBox no(request("y", 0));
  no.show();
  no.Image3->click();
  EXPECT_FALSE(no.isVisible());
  EXPECT_EQ(no.answer(), 0);
}

// A question such as "Delete the entry?": Enter says Yes, Escape keeps.
TEST(MsgBox, EnterAnswersYesAndEscapeNo) {
  MsgBox yes(request("Y", 0));
  yes.show();
  QTest::keyClick(&yes, Qt::Key_Return);
  EXPECT_FALSE(yes.isVisible());
  EXPECT_EQ(yes.answer(), 1);
  MsgBox no(request("Y", 0));
  no.show();
  QTest::keyClick(&no, Qt::Key_Escape);
  EXPECT_FALSE(no.isVisible());
  EXPECT_EQ(no.answer(), 0);
}

TEST(MsgBox, ShowsBothTextsInFullWithRoundedCorners) {
  MessageRequest r = request("N", 0);
  r.message = QString(120, QLatin1Char('m'));
  MsgBox box(r);
  EXPECT_EQ(box.Msg1->text(), r.message);
  EXPECT_EQ(box.Heading->text(), "Student Data - General Info.");
  EXPECT_GE(box.width(), box.Msg1->sizeHint().width());
  EXPECT_GE(box.Msg1->x(), 0);
  EXPECT_LE(box.Msg1->geometry().right(), box.width());
  EXPECT_FALSE(box.Image1->pixmap().isNull());
  const QRegion mask = box.mask();
  EXPECT_FALSE(mask.contains(QPoint(0, 0)));
  EXPECT_FALSE(mask.contains(QPoint(box.width() - 1, box.height() - 1)));
  EXPECT_TRUE(mask.contains(QPoint(box.width() / 2, box.height() / 2)));
  EXPECT_TRUE(mask.contains(QPoint(box.width() / 2, 1)));
}

TEST(MsgBox, DraggingTheMessageMovesTheWindow) {
  MsgBox box(request("Y", 0));
  box.move(100, 100);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  const QPoint start = box.pos();
  const QPoint grip = box.Msg1->rect().center();
  sendMouse(box.Msg1, QEvent::MouseButtonPress, grip, Qt::LeftButton);
  sendMouse(box.Msg1, QEvent::MouseMove, grip + QPoint(30, 20), Qt::LeftButton);
  sendMouse(box.Msg1, QEvent::MouseButtonRelease, grip + QPoint(30, 20), Qt::NoButton);
  EXPECT_EQ(box.pos(), start + QPoint(30, 20));
}
