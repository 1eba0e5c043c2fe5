// Tuning as an operator does it, by typed text, clicks, keys and the wheel,
// against tessaly-rig: nothing outside the radio's range reaches the wire,
// the refusal says the range (and the kHz value of a text typed in MHz), and
// steps start from the radio's own frequency.
#include <QApplication>
#include <QWheelEvent>

#include "app/radio/linkwatch.h"
#include "app/tuning.h"
#include "tests/app/radio/rig_fixture.h"

namespace {

// Whether the label's wrapped text fits its height: nothing is clipped.
bool whole(const QLabel *label) { return label->heightForWidth(label->width()) <= label->height(); }

class OperatorTuningTest : public RigFixture {
protected:
  // Connects, so that the radio's frequency (14250.00) is known.
  void SetUp() override {
    start();
    ASSERT_TRUE(pressAndWait(p->But_Power));
    ASSERT_EQ(digits(), "1425000");
    sent = logged("rx").size();
  }
  // Frames the rig received since the last call (a frequency set is
  // followed by a status read).
  QStringList newFrames() {
    const QStringList rx = logged("rx");
    const QStringList out = rx.mid(sent);
    sent = rx.size();
    return out;
  }
  void type(const QString &text) {
    p->NewFrq->setFocus();
    p->NewFrq->selectAll();
    QTest::keyClicks(p->NewFrq, text);
    QTest::keyClick(p->NewFrq, Qt::Key_Return);
  }
  void wheel(QWidget *w, int angle) {
    QWheelEvent event(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
  }
  // Lets the rig answer whatever went out.
  void settle() { QTest::qWait(300); }

  qsizetype sent = 0;
};

}  // namespace

TEST_F(OperatorTuningTest, TextTypedInMegahertzIsRefusedWithItsKilohertzValue) {
  for (const char *typed : {"7.074", "14.2"}) {
    type(typed);
    settle();
    EXPECT_TRUE(newFrames().isEmpty()) << typed;
    const QString said = p->StatusLine->text();
    EXPECT_TRUE(said.contains("00100.00 to 30000.00 kHz")) << said.toStdString();
    EXPECT_TRUE(whole(p->StatusLine)) << said.toStdString();
    EXPECT_TRUE(said.contains(QString(typed) == "14.2" ? "14200.00 kHz?" : "07074.00 kHz?")) << said.toStdString();
    // The entry shows the radio's frequency again.
    EXPECT_EQ(p->NewFrq->text(), "14250.00");
  }
}

TEST_F(OperatorTuningTest, OutOfRangeIsRefusedOnEveryWayAndStepsStartFromTheRadio) {
  type("35000");
  settle();
  EXPECT_TRUE(newFrames().isEmpty());
  EXPECT_TRUE(p->StatusLine->text().contains("outside the radio's range"));
  EXPECT_EQ(p->NewFrq->text(), "14250.00");
  type("garbage");
  EXPECT_EQ(p->NewFrq->text(), "14250.00");

  // Up after a refused entry steps from the radio, not from the text.
  p->NewFrq->setText("00015.00");
  p->StepSz[2]->click();
  ASSERT_TRUE(pressAndWait(p->FreqUp));
  EXPECT_EQ(newFrames().value(0), "00 51 42 01 08");
  EXPECT_EQ(digits(), "1425100");

  // The wheel on the 10 MHz digit: 24.251 MHz goes, 34.251 MHz does not.
  wheel(p->D1[0], 120);
  settle();
  EXPECT_EQ(newFrames().value(0), "00 51 42 02 08");
  EXPECT_EQ(digits(), "2425100");
  wheel(p->D1[0], 120);
  settle();
  EXPECT_TRUE(newFrames().isEmpty());
  EXPECT_EQ(p->NewFrq->text(), "24251.00");

  // The keys step from the radio as well.
  QTest::keyClick(p->KBD, '2');
  settle();
  EXPECT_EQ(newFrames().value(0), "00 50 42 02 08");

  // A narrower range holds at once for every way.
  window->setFrequencyRange(radio::FrequencyRange{14000000, 14350000});
  window->findChild<QPushButton *>("Meter40")->click();
  settle();
  EXPECT_TRUE(newFrames().isEmpty());
  EXPECT_TRUE(p->StatusLine->text().contains("14000.00 to 14350.00 kHz"));
  window->tuning()->tuneTo("14070");
  settle();
  EXPECT_EQ(newFrames().value(0), "00 70 40 01 08");
}

namespace {

// A transceiver that stays silent, and a port that is not there.
class LinkGuidanceTest : public RigFixture {};

}  // namespace

TEST_F(LinkGuidanceTest, ThreeUnansweredCommandsNameThePortAndTheChecks) {
  start({"--lose-echo", "1"});
  for (int i = 1; i <= radio::LinkWatch::kUnansweredForChecks; ++i) {
    QTest::mouseClick(p->But_Power, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p->StatusLine->text().startsWith("radio not answering"); }, 3000));
    const bool guided = p->StatusLine->text().contains("check the cable, the port, 4800 baud 8N2, the radio on");
    EXPECT_EQ(guided, i == radio::LinkWatch::kUnansweredForChecks) << p->StatusLine->text().toStdString();
    p->StatusLine->clear();
  }
  QTest::mouseClick(p->But_Power, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !p->StatusLine->text().isEmpty(); }, 3000));
  EXPECT_TRUE(p->StatusLine->text().contains(" commands unanswered on " + pty + ": check the cable"))
      << p->StatusLine->text().toStdString();
  EXPECT_TRUE(whole(p->StatusLine)) << p->StatusLine->text().toStdString();
}

TEST_F(LinkGuidanceTest, APortThatDoesNotOpenSaysWhatToCheck) {
  MainWindow window(std::make_unique<radio::CommPort>(QStringLiteral("/nonexistent/ttyX")),
                    std::make_unique<FakeMixer>(), QStringLiteral("/nonexistent/ttyX"));
  window.show();
  const QString said = PanelControls(&window).StatusLine->text();
  EXPECT_TRUE(said.contains("/nonexistent/ttyX")) << said.toStdString();
  EXPECT_TRUE(said.endsWith("; check the cable, the port, 4800 baud 8N2, the radio on.")) << said.toStdString();
}
