// The main window's panel over a fake serial line and a recording mixer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

#include "app/mainwindow.h"
#include "app/memorychannels.h"
#include "app/panel.h"
#include "app/polling.h"
#include "app/radio/frames.h"
#include "app/radio/scanner.h"
#include "app/radiocontrol.h"
#include "tests/app/captions.h"
#include "tests/app/fakes.h"
#include "tests/app/panel_controls.h"

namespace {

class PanelTest : public testing::Test {
protected:
  PanelTest() {
    auto link = std::make_unique<FakeLink>();
    auto mixer = std::make_unique<FakeMixer>();
    port = link.get();
    sound = mixer.get();
    window = std::make_unique<MainWindow>(std::move(link), std::move(mixer), "3");
    p = std::make_unique<PanelControls>(window.get());
    window->show();
  }
  // The frames written since the last call, as spaced hex.
  QStringList frames() {
    QStringList out;
    for (const QByteArray &f : port->written) out << QString::fromLatin1(f.toHex(' ').toUpper());
    port->written.clear();
    return out;
  }
  // Answers the command in flight: its echo, then `reply`.
  void answer(const QByteArray &reply) {
    const QByteArray echo = window->radio()->link().lastCommand();
    port->feed(echo);
    port->feed(reply);
  }

  FakeLink *port;
  FakeMixer *sound;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<PanelControls> p;
};

}  // namespace

TEST_F(PanelTest, LoadOpensThePortAndSendsNothing) {
  EXPECT_TRUE(port->opened);
  EXPECT_TRUE(port->dtr);
  EXPECT_TRUE(port->written.empty());
  EXPECT_EQ(p->PortNum->text(), "3");
  EXPECT_EQ(p->NewFrq->text(), "07100.00");
  EXPECT_EQ(window->size(), QSize(653, 277));
  p->LogsScans->click();
  EXPECT_EQ(window->size(), QSize(644, 661));
  p->JustControl->click();
  EXPECT_EQ(window->size(), QSize(653, 277));
  EXPECT_EQ(p->D1[0]->objectName(), "D1_1");
  EXPECT_EQ(p->D1[6]->palette().color(QPalette::Text), QColor(128, 255, 255));
  EXPECT_EQ(p->Dot2->palette().color(QPalette::Text), QColor(128, 255, 255));
  ASSERT_EQ(window->tabs()->count(), 4);
  EXPECT_EQ(window->tabs()->tabText(1), "Memory Chanels");
  EXPECT_NE(window->findChild<QLineEdit *>("MFrq_11"), nullptr);
  EXPECT_NE(window->findChild<QLineEdit *>("Text2_0"), nullptr);
  window->close();
  EXPECT_FALSE(port->opened);
  EXPECT_FALSE(port->dtr);
}

TEST_F(PanelTest, FullStatusFillsThePanel) {
  p->But_Power->click();
  EXPECT_EQ(frames(), QStringList{"00 00 00 00 00"});
  QByteArray status(148, '\0');
  status.replace(143, 4, hex("00 50 42 01"));
  status[142] = 0x01;
  status.replace(90, 6, hex("00 50 42 01 80 00"));
  answer(status);
  QString digits;
  for (QLineEdit *d : p->D1) digits += d->text();
  EXPECT_EQ(digits, "1425000");
  EXPECT_EQ(p->NewFrq->text(), "14250.00");
  EXPECT_EQ(p->ModeL->text(), "USB");
  EXPECT_EQ(p->HGA->text(), "GEN");
  EXPECT_EQ(p->BufLen->text(), "148");
  EXPECT_EQ(p->InLen->text(), "296");
  EXPECT_EQ(window->findChild<QLineEdit *>("MFrq_0")->text(), "14,250.00");
  EXPECT_EQ(window->findChild<QLineEdit *>("MHGA_0")->text(), "HAM");
  EXPECT_EQ(window->findChild<QLineEdit *>("MMode_0")->text(), "LSB");
}

TEST_F(PanelTest, EntryAndStepButtons) {
  // Typed in MHz: refused, with the kHz value offered.
  p->NewFrq->setText("7.1");
  p->FreqGo->click();
  EXPECT_TRUE(frames().isEmpty());
  EXPECT_TRUE(p->StatusLine->text().contains("Did you mean 07100.00 kHz?"));
  EXPECT_EQ(p->NewFrq->text(), "07100.00");
  p->NewFrq->setText("7100");
  p->FreqGo->click();
  EXPECT_EQ(p->NewFrq->text(), "07100.00");
  EXPECT_EQ(frames(), QStringList{"00 00 71 00 08"});
  p->NewFrq->setText("");
  p->FreqGo->click();
  p->NewFrq->setText("abc");
  p->FreqGo->click();
  p->NewFrq->setText("123456");
  p->FreqGo->click();
  EXPECT_TRUE(frames().isEmpty());
  EXPECT_FALSE(p->StatusLine->text().isEmpty());

  p->StepSz[1]->click();
  EXPECT_EQ(p->JumpStep->text(), "0.5");
  p->NewFrq->setText("14200.00");
  p->FreqUp->click();
  EXPECT_EQ(p->NewFrq->text(), "14200.50");
  EXPECT_EQ(p->ScanDir->text(), "UP");
  EXPECT_EQ(frames(), QStringList{"50 00 42 01 08"});
  p->FreqDwn->click();
  EXPECT_EQ(p->ScanDir->text(), "DOWN");
  EXPECT_EQ(frames(), QStringList{"00 00 42 01 08"});

  // Stepping past either end of the range sends nothing and shows the last
  // frequency sent again.
  p->NewFrq->setText("00100.20");
  p->FreqDwn->click();
  EXPECT_EQ(p->NewFrq->text(), "14200.00");
  EXPECT_TRUE(p->StatusLine->text().contains("00100.00 to 30000.00 kHz"));
  p->NewFrq->setText("29999.80");
  p->FreqUp->click();
  EXPECT_EQ(p->NewFrq->text(), "14200.00");
  EXPECT_TRUE(frames().isEmpty());
}

TEST_F(PanelTest, BandButtons) {
  window->findChild<QPushButton *>("Meter20")->click();
  EXPECT_EQ(p->LoFrq->text(), "14000.00");
  EXPECT_EQ(p->HiFrq->text(), "14999.00");
  EXPECT_EQ(p->NewFrq->text(), "14200.00");
  EXPECT_EQ(frames(), QStringList{"00 00 42 01 08"});
  window->findChild<QPushButton *>("Meter180")->click();
  EXPECT_EQ(p->LoFrq->text(), "01600.00");
  EXPECT_EQ(p->HiFrq->text(), "01699.00");
  EXPECT_EQ(frames(), QStringList{"00 00 16 00 08"});
  window->findChild<QPushButton *>("Meter17")->click();
  EXPECT_EQ(p->LoFrq->text(), "01600.00");
  EXPECT_EQ(frames(), QStringList{"00 00 82 01 08"});
}

TEST_F(PanelTest, ModeCoverageAndSliders) {
  window->findChild<QPushButton *>("But_CWN")->click();
  EXPECT_EQ(p->ModeL->text(), "");  // nothing changes before the reply
  QByteArray status(22, '\0');
  status[16] = 0x03;
  answer(status);
  EXPECT_EQ(p->ModeL->text(), "CW-N");
  EXPECT_EQ(frames(), (QStringList{"00 00 00 13 0A", "00 00 00 00 0B"}));
  p->HamBut->click();
  p->GenBut->click();
  EXPECT_EQ(frames(), (QStringList{"00 00 00 22 0A", "00 00 00 21 0A"}));
  p->Slider1->setValue(1);
  p->Slider2->setValue(30);
  EXPECT_EQ(frames(), (QStringList{"00 00 00 FE 04", "00 00 00 1E 05"}));
  EXPECT_EQ(window->focusWidget(), p->KBD);
}

TEST_F(PanelTest, KeysOfTheCaptureBox) {
  p->NewFrq->setText("14200.00");
  QTest::keyClick(p->KBD, '6');
  EXPECT_EQ(p->NewFrq->text(), "14200.10");
  QTest::keyClick(p->KBD, Qt::Key_Right);
  EXPECT_EQ(p->NewFrq->text(), "14200.20");
  QTest::keyClick(p->KBD, '2');
  EXPECT_EQ(p->NewFrq->text(), "14199.20");
  EXPECT_EQ(p->ScanDir->text(), "Down");
  QTest::keyClick(p->KBD, Qt::Key_Up);
  QTest::keyClick(p->KBD, Qt::Key_Left);
  EXPECT_EQ(p->NewFrq->text(), "14200.10");
  EXPECT_EQ(frames().size(), 5);
  QTest::keyClick(p->KBD, '*');
  EXPECT_EQ(frames(), QStringList{"00 00 00 00 00"});
  QTest::keyClick(p->KBD, '/');
  EXPECT_FALSE(p->PauseLamp->isHidden());
  QTest::keyClick(p->KBD, Qt::Key_Backspace);
  QTest::keyClick(p->KBD, Qt::Key_Backspace);
  EXPECT_EQ(sound->calls, (std::vector<QString>{"lookUpMute", "mute", "lookUpMute", "unmute"}));
  QTest::keyClick(p->KBD, 'x');
  EXPECT_TRUE(p->KBD->text().isEmpty());
  EXPECT_TRUE(frames().isEmpty());
}

TEST_F(PanelTest, ScanLimitsAndPickList) {
  p->NewFrq->setText("07150.00");
  p->HiSet->click();
  EXPECT_EQ(p->HiFrq->text(), "07150.00");
  p->LoFrq->clear();
  QTest::keyClicks(p->LoFrq, "07120.00");
  EXPECT_EQ(p->NewFrq->text(), "07120.00");
  EXPECT_TRUE(frames().isEmpty());

  QTest::mouseDClick(p->HiFrq, Qt::LeftButton);
  ASSERT_FALSE(p->List1->isHidden());
  ASSERT_EQ(p->List1->count(), 10);
  QListWidgetItem *last = p->List1->item(9);
  EXPECT_EQ(last->text(), "07999.00");
  QTest::mouseClick(p->List1->viewport(), Qt::LeftButton, {}, p->List1->visualItemRect(last).center());
  EXPECT_EQ(p->HiFrq->text(), "07999.00");
  EXPECT_TRUE(p->List1->isHidden());

  // A low limit that is no frequency gives no list: the entry is copied instead.
  p->LoFrq->setText("abc");
  QTest::mouseDClick(p->HiFrq, Qt::LeftButton);
  EXPECT_TRUE(p->List1->isHidden());
  EXPECT_EQ(p->HiFrq->text(), "07120.00");
}

TEST_F(PanelTest, VolumeBalanceAndMute) {
  // The volume in tenths is the box's from the start, and the mixer is left alone until a control moves.
  EXPECT_EQ(p->TXTVol->text(), "5.0");
  EXPECT_TRUE(sound->calls.empty());
  p->VolumeControl->setValue(65535);
  EXPECT_EQ(p->TXTVolumeControl->text(), "65535");
  EXPECT_EQ(p->TXTVol->text(), "10.0");
  EXPECT_EQ(sound->calls, (std::vector<QString>{"lookUpVolume", "volume 65535 65535"}));
  sound->calls.clear();
  p->BalanceControl->setValue(100);
  p->BalanceControl->setValue(-50);
  EXPECT_EQ(sound->calls, (std::vector<QString>{"volume 0 65535", "volume 65535 32768"}));
  sound->calls.clear();
  p->MuteOff->click();
  p->MuteOff->click();
  EXPECT_EQ(sound->calls, (std::vector<QString>{"lookUpMute", "mute", "lookUpMute", "mute"}));
  EXPECT_TRUE(frames().isEmpty());
}

TEST_F(PanelTest, RepliesAndScanTicksLeaveTheFocusWhereTheOperatorTypes) {
  // Typing into a text entry: neither a reply nor a scan tick takes the focus.
  p->HiFrq->setFocus();
  p->But_Power->click();
  p->HiFrq->setFocus();
  answer(QByteArray(148, '\0'));
  EXPECT_EQ(window->focusWidget(), p->HiFrq);
  window->scanner()->rangeTick();
  EXPECT_EQ(window->focusWidget(), p->HiFrq);
  frames();
  QTest::keyClicks(p->HiFrq, "2468");
  EXPECT_TRUE(p->HiFrq->text().endsWith("2468"));
  EXPECT_TRUE(frames().isEmpty());

  // On a button the focus goes back to the keys as before.
  p->BreakBut->setFocus();
  p->But_Power->click();
  p->BreakBut->setFocus();
  answer(QByteArray(148, '\0'));
  EXPECT_EQ(window->focusWidget(), p->KBD);
}

TEST_F(PanelTest, StepAndDwellButtonsGiveTheFocusBack) {
  for (QPushButton *b : {p->StepSz[2], p->Scan_Delay2[3]}) {
    p->NewFrq->setFocus();
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(window->focusWidget(), p->KBD) << b->objectName().toStdString();
  }
  EXPECT_EQ(p->JumpStep->text(), "1");
  EXPECT_EQ(p->Scan_Delay->text(), "10");
}

TEST_F(PanelTest, TabLeavesTheKeyBox) {
  window->panel()->focusKeys();
  QTest::keyClick(p->KBD, Qt::Key_Tab);
  EXPECT_NE(window->focusWidget(), p->KBD);
  window->panel()->focusKeys();
  QTest::keyClick(p->KBD, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_NE(window->focusWidget(), p->KBD);
  EXPECT_TRUE(frames().isEmpty());
}

// The controllers place their own controls; Tab still visits them in the
// order of the form, from one controller's controls to the next.
TEST_F(PanelTest, TabFollowsTheForm) {
  const char *const order[] = {"NewFrq",  "FreqGo",  "FreqUp",        "FreqDwn",   "JumpStep",
                               "StepSz_0"};
  const char *const across[][2] = {{"ButtonPlus1", "Meter10"}, {"Meter180", "GenBut"},  {"HamBut", "But_LSB"},
                                   {"But_FM", "Slider1"},      {"TXTVol", "MuteOff"},   {"MuteOn", "Scan_Delay"},
                                   {"InLen", "PortNum"},       {"BreakBut", "JustControl"}, {"Close_But", "PollBox"},
                                   {"PollBox", "UtcBox"}};
  auto next = [&](const char *from) {
    window->findChild<QWidget *>(from)->setFocus();
    QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
    return window->focusWidget() ? window->focusWidget()->objectName() : QString();
  };
  for (size_t i = 0; i + 1 < std::size(order); ++i) EXPECT_EQ(next(order[i]), order[i + 1]);
  for (const auto &pair : across) EXPECT_EQ(next(pair[0]), pair[1]);
}

TEST_F(PanelTest, WheelOverADigitStepsByItsPlaceAndEnterTunes) {
  auto turn = [](QWidget *w, int angle) {
    QWheelEvent wheel(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
  };
  p->NewFrq->setText("07100.00");
  turn(p->D1[2], 120);  // the 100 kHz digit, one notch away
  EXPECT_EQ(p->NewFrq->text(), "07200.00");
  EXPECT_EQ(frames(), QStringList{"00 00 72 00 08"});
  turn(p->D1[6], -240);  // the 10 Hz digit, two notches back
  EXPECT_EQ(p->NewFrq->text(), "07199.98");
  EXPECT_EQ(p->ScanDir->text(), "DOWN");
  turn(p->D1[0], 60);  // half a notch does nothing yet
  EXPECT_EQ(p->NewFrq->text(), "07199.98");
  frames();

  p->NewFrq->setFocus();
  p->NewFrq->clear();
  QTest::keyClicks(p->NewFrq, "14070");
  QTest::keyClick(p->NewFrq, Qt::Key_Return);
  EXPECT_EQ(p->NewFrq->text(), "14070.00");
  EXPECT_EQ(frames(), QStringList{"00 70 40 01 08"});
  EXPECT_EQ(window->focusWidget(), p->KBD);
}

TEST_F(PanelTest, PollingAsksForTheFullStatusOnlyWhenIdle) {
  Polling *polling = window->polling();
  EXPECT_FALSE(p->PollBox->isChecked());
  EXPECT_FALSE(polling->waiting());
  polling->setIntervalSeconds(2);
  p->PollBox->click();
  EXPECT_TRUE(polling->waiting());
  EXPECT_EQ(polling->intervalSeconds(), 2);
  polling->poll();
  EXPECT_EQ(frames(), QStringList{"00 00 00 00 00"});
  // The operator's command goes out at once and replaces the poll in flight;
  // no poll is sent while it waits for its answer.
  p->NewFrq->setText("14200.00");
  p->FreqGo->click();
  EXPECT_EQ(frames(), QStringList{"00 00 42 01 08"});
  polling->poll();
  EXPECT_TRUE(frames().isEmpty());
  answer(hex("00 00 42 01 00"));
  polling->poll();
  EXPECT_EQ(frames(), (QStringList{"00 00 00 00 0B", "00 00 00 00 00"}));
  p->PollBox->click();
  EXPECT_FALSE(polling->waiting());
}

TEST_F(PanelTest, TitleShowsPortLinkAndScans) {
  EXPECT_EQ(window->windowTitle(), "Tessaly - port 3 - Not connected");
  EXPECT_FALSE(window->windowFlags() & Qt::FramelessWindowHint);
  p->But_Power->click();
  answer(QByteArray(148, '\0'));
  EXPECT_EQ(p->LinkState->text(), "Connected");
  p->ButtonPlus1->click();
  EXPECT_EQ(window->windowTitle(), "Tessaly - port 3 - Connected - scanning");
  EXPECT_EQ(p->ScanState->text(), "Scan running");
  p->ButtonPlus1->click();
  EXPECT_EQ(p->ScanState->text(), "No scan running");
  EXPECT_EQ(window->windowTitle(), "Tessaly - port 3 - Connected");
}

TEST_F(PanelTest, ControlsSayWhatTheyAre) {
  for (QWidget *w : std::initializer_list<QWidget *>{p->Slider1, p->Slider2, p->VolumeControl, p->BalanceControl,
                                                     p->Scan_Delay, p->Text1, p->Text4, p->BufLen, p->InLen,
                                                     p->TXTVolumeControl, p->TXTVol, p->D1[0], p->PollBox})
    EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
  // The frequency display names itself by its digits; the key box is not seen.
  QStringList unnamed{"Dot1", "Dot2", "KBD"};
  for (int i = 1; i <= 7; ++i) unnamed << QStringLiteral("D1_%1").arg(i);
  expectNamedOnScreen(window->findChild<Panel *>(), unnamed);
}

// The sliders name themselves and show their values; the mixer's state and
// the volume in tenths are plain to read.
TEST_F(PanelTest, SlidersAndMixerSayWhatTheyAreAndHold) {
  auto *frame1 = window->findChild<QGroupBox *>("Slider1Frame");
  ASSERT_NE(frame1, nullptr);
  EXPECT_EQ(frame1->title(), "Slider 1: 200");
  p->Slider1->setFocus();
  QTest::keyClick(p->Slider1, Qt::Key_Right);
  EXPECT_EQ(frame1->title(), "Slider 1: 201");
  EXPECT_EQ(window->findChild<QGroupBox *>("Slider2Frame")->title(), "Slider 2: 15");
  auto *balance = window->findChild<QLabel *>("BalanceControlCaption");
  ASSERT_NE(balance, nullptr);
  EXPECT_EQ(balance->text(), "Balance: 0");
  p->BalanceControl->setValue(-35);
  EXPECT_EQ(balance->text(), "Balance: -35");
  EXPECT_TRUE(window->findChild<QLabel *>("MixerState")->toolTip().startsWith("Mixer: fake: Master."));
  p->VolumeControl->setValue(57200);
  EXPECT_EQ(p->TXTVol->text(), "8.7");
}
