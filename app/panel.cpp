#include "app/panel.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "app/radio/frames.h"

namespace {

template <class W>
W *make(QWidget *parent, const QString &name, int x, int y, int w, int h, const QString &text = {}) {
  W *widget = new W(parent);
  widget->setObjectName(name);
  widget->setGeometry(x, y, w, h);
  if constexpr (requires { widget->setText(text); }) widget->setText(text);
  return widget;
}

QString indexed(const char *name, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i); }

QLabel *lamp(QWidget *parent, const QString &name, int y, const char *colour) {
  QLabel *l = make<QLabel>(parent, name, 252, y, 10, 10);
  l->setStyleSheet(QStringLiteral("background: %1; border-radius: 5px;").arg(QLatin1String(colour)));
  l->hide();
  return l;
}

QTimer *timer(QObject *parent, const char *name, int ms) {
  QTimer *t = new QTimer(parent);
  t->setObjectName(QLatin1String(name));
  t->setInterval(ms);
  return t;
}

QSlider *slider(QWidget *parent, const QString &name, int x, int y, int w, int min, int max, int value) {
  QSlider *s = make<QSlider>(parent, name, x, y, w, 20);
  s->setOrientation(Qt::Horizontal);
  s->setRange(min, max);
  s->setValue(value);
  return s;
}

}  // namespace

const std::array<Panel::Band, 9> Panel::kBands = {{
    {"Meter10", "10", "28200.00", "28000.00", "28999.00"},
    {"Meter11", "11", "27500.00", "", ""},
    {"Meter12", "12", "24900.00", "", ""},
    {"Meter15", "15", "21100.00", "", ""},
    {"Meter17", "17", "18200.00", "", ""},
    {"Meter20", "20", "14200.00", "14000.00", "14999.00"},
    {"Meter40", "40", "07100.00", "07100.00", "07299.00"},
    {"Meter80", "80", "03600.00", "03500.00", "03999.00"},
    {"Meter180", "160", "1600.00", "01600.00", "01699.00"},
}};

Panel::Panel(QWidget *parent) : QWidget(parent) {
  setObjectName("Panel");
  QFont small = font();
  small.setPointSize(8);
  setFont(small);

  // The frequency display: D1_1 D1_2 . D1_3 D1_4 D1_5 . D1_6 D1_7.
  QFont big = font();
  big.setPointSize(18);
  big.setBold(true);
  QPalette display;
  display.setColor(QPalette::Base, Qt::black);
  display.setColor(QPalette::Text, QColor(128, 255, 255));
  static const int kDigitX[7] = {4, 28, 62, 86, 110, 144, 168};
  auto displayBox = [&](const QString &name, int x, int w, const QString &text) {
    QLineEdit *box = make<QLineEdit>(this, name, x, 4, w, 36, text);
    box->setFont(big);
    box->setPalette(display);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFrame(false);
    return box;
  };
  for (int i = 0; i < 7; ++i) D1[i] = displayBox(indexed("D1", i + 1), kDigitX[i], 24, {});
  Dot1 = displayBox("Dot1", 52, 10, ".");
  Dot2 = displayBox("Dot2", 134, 10, ".");

  ModeL = make<QLabel>(this, "ModeL", 196, 4, 52, 17);
  HGA = make<QLabel>(this, "HGA", 196, 23, 52, 17);
  for (QLabel *l : {ModeL, HGA}) l->setFrameShape(QFrame::Box);
  RxLamp = lamp(this, "RxLamp", 6, "lime");
  PauseLamp = lamp(this, "PauseLamp", 26, "red");

  // Tuning.
  NewFrq = make<QLineEdit>(this, "NewFrq", 268, 4, 66, 20);
  FreqGo = make<QPushButton>(this, "FreqGo", 336, 4, 40, 20, "Goto");
  FreqUp = make<QPushButton>(this, "FreqUp", 378, 4, 32, 20, "Up");
  FreqDwn = make<QPushButton>(this, "FreqDwn", 412, 4, 40, 20, "Down");
  JumpStep = make<QLineEdit>(this, "JumpStep", 454, 4, 34, 20, ".5");
  static const char *const kSteps[4] = {"0.10", "0.50", "1.00", "10.00"};
  for (int i = 0; i < 4; ++i)
    StepSz[i] = make<QPushButton>(this, indexed("StepSz", i), 490 + 37 * i, 4, 35, 20, kSteps[i]);

  LoFrq = make<QLineEdit>(this, "LoFrq", 268, 26, 66, 20, "07100.00");
  LoSet = make<QPushButton>(this, "LoSet", 336, 26, 40, 20, "Set Lo");
  HiFrq = make<QLineEdit>(this, "HiFrq", 378, 26, 66, 20, "07299.99");
  HiSet = make<QPushButton>(this, "HiSet", 446, 26, 40, 20, "Set Hi");
  ButtonPlus1 = make<QPushButton>(this, "ButtonPlus1", 490, 26, 40, 20, "Scan");
  ScanDir = make<QLabel>(this, "ScanDir", 534, 26, 40, 20, "UP");
  ScanDir->hide();

  // Band, coverage and mode buttons.
  for (int i = 0; i < 9; ++i)
    Meter[i] = make<QPushButton>(this, kBands[i].name, 4 + 30 * i, 50, 28, 22, kBands[i].caption);
  GenBut = make<QPushButton>(this, "GenBut", 276, 50, 34, 22, "GEN");
  HamBut = make<QPushButton>(this, "HamBut", 312, 50, 34, 22, "HAM");
  static const char *const kModeButtons[8] = {"But_LSB", "But_USB", "But_CWW", "But_CWN",
                                              "But_AMW", "But_AMN", "But_FSK", "But_FM"};
  for (int i = 0; i < 8; ++i)
    ModeButton[i] = make<QPushButton>(this, kModeButtons[i], 350 + 36 * i, 50, 34, 22, radio::modeName(i));

  // Receiver sliders in their frames.
  Slider1Frame = make<QGroupBox>(this, "Slider1Frame", 4, 76, 150, 44);
  Slider2Frame = make<QGroupBox>(this, "Slider2Frame", 158, 76, 120, 44);
  Slider1 = slider(Slider1Frame, "Slider1", 6, 16, 138, 1, 254, 200);
  Slider2 = slider(Slider2Frame, "Slider2", 6, 16, 108, 0, 30, 15);

  // Sound card output.
  VolumeControl = slider(this, "VolumeControl", 284, 78, 130, 0, 65535, 30000);
  TXTVolumeControl = make<QLineEdit>(this, "TXTVolumeControl", 418, 78, 46, 20, "32768");
  BalanceControl = slider(this, "BalanceControl", 468, 78, 100, -100, 100, 0);
  BalanceControl->setSingleStep(5);
  BalanceControl->setPageStep(10);
  TXTVol = make<QLineEdit>(this, "TXTVol", 572, 78, 64, 20);
  MuteOff = make<QRadioButton>(this, "MuteOff", 284, 100, 56, 20, "Mute");
  MuteOn = make<QRadioButton>(this, "MuteOn", 342, 100, 64, 20, "Unmute");

  // Scan dwell.
  Scan_Delay = make<QLineEdit>(this, "Scan_Delay", 468, 100, 28, 20, "5");
  static const char *const kDelays[6] = {"3", "5", "8", "10", "20", "30"};
  for (int i = 0; i < 6; ++i)
    Scan_Delay2[i] = make<QPushButton>(this, indexed("Scan_Delay2", i), 500 + 23 * i, 100, 22, 20, kDelays[i]);

  // Last reply.
  Text1 = make<QLineEdit>(this, "Text1", 4, 124, 300, 20);
  Text4 = make<QLineEdit>(this, "Text4", 308, 124, 250, 20);
  BufLen = make<QLineEdit>(this, "BufLen", 562, 124, 36, 20);
  InLen = make<QLineEdit>(this, "InLen", 600, 124, 36, 20);
  make<QLabel>(this, "PortLabel", 4, 148, 28, 20, "Port");
  PortNum = make<QLineEdit>(this, "PortNum", 34, 148, 120, 20);
  PortNum->setReadOnly(true);
  StatusLine = make<QLabel>(this, "StatusLine", 160, 148, 476, 20);

  But_Power = make<QPushButton>(this, "But_Power", 4, 174, 120, 26, "Connect to Tessaly");
  BreakBut = make<QPushButton>(this, "BreakBut", 128, 174, 60, 26, "Break");
  JustControl = make<QPushButton>(this, "JustControl", 192, 174, 90, 26, "Just Control");
  LogsScans = make<QPushButton>(this, "LogsScans", 286, 174, 100, 26, "+ Logs + Scans");
  Close_But = make<QPushButton>(this, "Close_But", 390, 174, 60, 26, "Close");
  NetClients = make<QLabel>(this, "NetClients", 456, 178, 180, 20);

  // The pick list of scan limits floats over the panel when shown.
  List1 = make<QListWidget>(this, "List1", 387, 81, 80, 140);
  List1->hide();

  KBD = make<QLineEdit>(this, "KBD", 632, 222, 4, 4);
  KBD->setFrame(false);

  Timer1 = timer(this, "Timer1", 100);
  Timer2 = timer(this, "Timer2", 2000);
  Timer3 = timer(this, "Timer3", 500);
  Timer4 = timer(this, "Timer4", 100);
}

void Panel::showDigits(const std::array<QChar, 7> &digits) {
  for (int i = 0; i < 7; ++i) D1[i]->setText(QString(digits[i]));
}

void Panel::focusKeys() { KBD->setFocus(Qt::OtherFocusReason); }
