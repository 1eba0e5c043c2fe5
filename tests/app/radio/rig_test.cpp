// The whole window against tessaly-rig on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QLabel>
#include <QSlider>

#include "tests/app/radio/rig_fixture.h"

using RigTest = RigFixture;

TEST_F(RigTest, ConnectModeAndSliders) {
  start();
  // The line settings reach the terminal.
  const int fd = ::open(pty.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  termios tio{};
  ASSERT_EQ(tcgetattr(fd, &tio), 0);
  ::close(fd);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
  EXPECT_FALSE(tio.c_cflag & PARENB);
  EXPECT_TRUE(p->StatusLine->text().isEmpty());  // DTR failing on a terminal is no error
  EXPECT_TRUE(logged("rx").isEmpty());

  ASSERT_TRUE(pressAndWait(p->But_Power));
  EXPECT_EQ(logged("rx"), (QStringList{"00 00 00 00 00", "00 00 00 00 0B"}));
  EXPECT_EQ(digits(), "1425000");
  EXPECT_EQ(p->NewFrq->text(), "14250.00");
  EXPECT_EQ(p->ModeL->text(), "USB");
  EXPECT_EQ(p->HGA->text(), "HAM");
  EXPECT_EQ(window->findChild<QLineEdit *>("MFrq_0")->text(), "01,840.00");
  EXPECT_EQ(window->findChild<QLineEdit *>("MMode_3")->text(), "CW-N");
  EXPECT_EQ(window->findChild<QLineEdit *>("MHGA_11")->text(), "GEN");

  ASSERT_TRUE(pressAndWait(window->findChild<QPushButton *>("But_FM")));
  EXPECT_EQ(p->ModeL->text(), "FM");
  ASSERT_TRUE(pressAndWait(p->GenBut));
  EXPECT_EQ(p->HGA->text(), "GEN");

  int shown = 0;
  QObject::connect(window->radio(), &RadioControl::replyShown, [&shown] { ++shown; });
  p->Slider1->setValue(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown == 1; }, 3000));
  p->Slider2->setValue(15 + 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown == 2; }, 3000));
  EXPECT_EQ(p->Text1->text(), "10");
  EXPECT_EQ(logged("rx").mid(2), (QStringList{"00 00 00 17 0A", "00 00 00 00 0B", "00 00 00 21 0A",
                                              "00 00 00 00 0B", "00 00 00 FE 04", "00 00 00 00 0B",
                                              "00 00 00 10 05", "00 00 00 00 0B"}));
}

TEST_F(RigTest, TuningReachesTheRigAndItKeepsState) {
  start();
  window->findChild<QPushButton *>("Meter20")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return digits() == "1420000"; }, 3000));
  p->StepSz[1]->click();
  ASSERT_TRUE(pressAndWait(p->FreqUp));
  EXPECT_EQ(digits(), "1420050");
  ASSERT_TRUE(pressAndWait(p->But_Power));
  EXPECT_EQ(p->NewFrq->text(), "14200.50");
  const QStringList rx = logged("rx");
  EXPECT_TRUE(rx.contains("00 00 42 01 08"));
  EXPECT_TRUE(rx.contains("50 00 42 01 08"));
}

TEST_F(RigTest, WrongEchoAndStrayBytesAreRecovered) {
  start({"--wrong-echo", "2", "--stray-bytes", "3"});
  ASSERT_TRUE(pressAndWait(p->But_Power));                                    // command 1: clean
  ASSERT_TRUE(pressAndWait(window->findChild<QPushButton *>("But_LSB")));     // 2 wrong, 3 stray, 4 wrong, 5 clean
  EXPECT_EQ(p->ModeL->text(), "LSB");
  EXPECT_EQ(logged("rx").count("00 00 00 10 0A"), 4);
  EXPECT_TRUE(p->StatusLine->text().isEmpty());
}

TEST_F(RigTest, LostEchoIsReportedAndTheNextCommandWorks) {
  start({"--lose-echo", "1"});
  p->But_Power->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !p->StatusLine->text().isEmpty(); }, 3000));
  EXPECT_TRUE(window->radio()->link().lastCommand().isEmpty());
  EXPECT_EQ(logged("rx"), QStringList{"00 00 00 00 00"});
}

TEST_F(RigTest, ShortReplyIsShownAsHexOnly) {
  start({"--short-reply", "1"});
  p->But_Power->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !p->StatusLine->text().isEmpty(); }, 3000));
  EXPECT_EQ(p->Text4->text().size(), 148);  // 74 bytes, plain hex
  EXPECT_EQ(digits(), "");
  EXPECT_TRUE(p->NewFrq->text() == "07100.00");
}
