#include "app/panel.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTextEdit>
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
  static const char *const kPlaces[7] = {"10 MHz", "1 MHz", "100 kHz", "10 kHz", "1 kHz", "100 Hz", "10 Hz"};
  for (int i = 0; i < 7; ++i) {
    D1[i] = displayBox(indexed("D1", i + 1), kDigitX[i], 24, {});
    D1[i]->setToolTip(tr("%1 digit of the frequency; the mouse wheel over it tunes in steps of %1")
                          .arg(QLatin1String(kPlaces[i])));
  }
  Dot1 = displayBox("Dot1", 52, 10, ".");
  Dot2 = displayBox("Dot2", 134, 10, ".");

  ModeL = make<QLabel>(this, "ModeL", 196, 4, 52, 17);
  HGA = make<QLabel>(this, "HGA", 196, 23, 52, 17);
  for (QLabel *l : {ModeL, HGA}) l->setFrameShape(QFrame::Box);
  ModeL->setToolTip(tr("Mode the transceiver reports"));
  HGA->setToolTip(tr("Coverage the transceiver reports: general (GEN) or amateur (HAM)"));
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
  NewFrq->setToolTip(tr("Frequency to tune to, kHz; Enter or Goto tunes there"));
  JumpStep->setToolTip(tr("Step of Up, Down and the range scan, kHz"));
  LoFrq->setToolTip(tr("Low limit of the range scan, kHz; double-click for a list"));
  HiFrq->setToolTip(tr("High limit of the range scan, kHz; double-click for a list"));
  ScanDir->setToolTip(tr("Direction of the range scan"));

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
  Slider1->setToolTip(tr("Receiver slider 1 (1 to 254), sent to the transceiver when it comes to rest"));
  Slider2->setToolTip(tr("Receiver slider 2 (0 to 30), sent to the transceiver when it comes to rest"));
  Slider1Frame->setToolTip(Slider1->toolTip());
  Slider2Frame->setToolTip(Slider2->toolTip());

  // Sound card output.
  VolumeControl = slider(this, "VolumeControl", 284, 78, 94, 0, 65535, 30000);
  TXTVolumeControl = make<QLineEdit>(this, "TXTVolumeControl", 380, 78, 48, 20, "32768");
  BalanceControl = slider(this, "BalanceControl", 432, 78, 84, -100, 100, 0);
  BalanceControl->setSingleStep(5);
  BalanceControl->setPageStep(10);
  TXTVol = make<QLineEdit>(this, "TXTVol", 520, 78, 116, 20);
  VolumeControl->setToolTip(tr("Sound card volume"));
  TXTVolumeControl->setToolTip(tr("Sound card volume, 0 to 65535"));
  BalanceControl->setToolTip(tr("Sound card balance, full left to full right"));
  TXTVol->setToolTip(tr("Sound card volume on a scale of 0 to 10"));
  MuteOff = make<QRadioButton>(this, "MuteOff", 284, 100, 56, 20, "Mute");
  MuteOn = make<QRadioButton>(this, "MuteOn", 342, 100, 64, 20, "Unmute");

  // Scan dwell.
  Scan_Delay = make<QLineEdit>(this, "Scan_Delay", 468, 100, 28, 20, "5");
  Scan_Delay->setToolTip(tr("Dwell of each scan step, tenths of a second"));
  static const char *const kDelays[6] = {"3", "5", "8", "10", "20", "30"};
  for (int i = 0; i < 6; ++i) {
    Scan_Delay2[i] = make<QPushButton>(this, indexed("Scan_Delay2", i), 500 + 23 * i, 100, 22, 20, kDelays[i]);
    Scan_Delay2[i]->setToolTip(tr("Dwell of %1 tenths of a second").arg(QLatin1String(kDelays[i])));
  }
  for (QPushButton *b : StepSz) b->setToolTip(tr("Step of %1 kHz").arg(b->text()));

  // Last reply.
  Text1 = make<QLineEdit>(this, "Text1", 4, 124, 300, 20);
  Text4 = make<QLineEdit>(this, "Text4", 308, 124, 250, 20);
  BufLen = make<QLineEdit>(this, "BufLen", 562, 124, 36, 20);
  InLen = make<QLineEdit>(this, "InLen", 600, 124, 36, 20);
  Text1->setToolTip(tr("Last reply, hex"));
  Text4->setToolTip(tr("Last reply, hex with the bytes in reverse order (or as it came, when its length was unexpected)"));
  BufLen->setToolTip(tr("Bytes read at the last event of the port"));
  InLen->setToolTip(tr("Length of the reversed hex of the last reply"));
  make<QLabel>(this, "PortLabel", 4, 148, 28, 20, "Port");
  PortNum = make<QLineEdit>(this, "PortNum", 34, 148, 250, 20);
  PortNum->setReadOnly(true);
  PortNum->setToolTip(tr("Serial port of the transceiver"));
  StatusLine = make<QLabel>(this, "StatusLine", 290, 148, 346, 20);

  But_Power = make<QPushButton>(this, "But_Power", 4, 174, 120, 26, "Connect to Tessaly");
  BreakBut = make<QPushButton>(this, "BreakBut", 128, 174, 60, 26, "Break");
  JustControl = make<QPushButton>(this, "JustControl", 192, 174, 90, 26, "Just Control");
  LogsScans = make<QPushButton>(this, "LogsScans", 286, 174, 100, 26, "+ Logs + Scans");
  Close_But = make<QPushButton>(this, "Close_But", 390, 174, 60, 26, "Close");
  PollBox = make<QCheckBox>(this, "PollBox", 458, 174, 56, 26, "Poll");
  UtcBox = make<QCheckBox>(this, "UtcBox", 518, 174, 56, 26, "UTC");
  UtcBox->setToolTip(tr("Stamp dates and keys of new table entries from the UTC clock"));
  LinkState = make<QLabel>(this, "LinkState", 4, 204, 200, 18);
  LinkState->setToolTip(tr("Whether the transceiver answers"));
  ScanState = make<QLabel>(this, "ScanState", 210, 204, 200, 18);
  ScanState->setToolTip(tr("Scans that are running"));
  NetClients = make<QLabel>(this, "NetClients", 416, 204, 220, 18);

  // The pick list of scan limits floats over the panel when shown.
  List1 = make<QListWidget>(this, "List1", 387, 81, 80, 140);
  List1->hide();

  KBD = make<QLineEdit>(this, "KBD", 632, 222, 4, 4);
  KBD->setFrame(false);
  KBD->setToolTip(tr("Keys of the panel: 6/4 or Right/Left tune 0.1 kHz, 8/2 or Up/Down 1 kHz, Enter scans, "
                     "* connects, / pauses, Backspace mutes"));

  Timer2 = timer(this, "Timer2", 2000);
  Timer4 = timer(this, "Timer4", 100);
}

void Panel::showDigits(const std::array<QChar, 7> &digits) {
  for (int i = 0; i < 7; ++i) D1[i]->setText(QString(digits[i]));
}

void Panel::focusKeys(FocusFrom from) {
  if (from == FocusFrom::Background && operatorIsTyping()) return;
  KBD->setFocus(Qt::OtherFocusReason);
}

bool Panel::operatorIsTyping() const {
  if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return true;
  const QWidget *active = QApplication::activeWindow();
  if (active && active != window()) return true;  // a dialog or another window
  const QWidget *focus = window()->focusWidget();
  if (!focus || focus == KBD) return false;
  if (const auto *edit = qobject_cast<const QLineEdit *>(focus)) return !edit->isReadOnly();
  if (const auto *combo = qobject_cast<const QComboBox *>(focus)) return combo->isEditable();
  if (const auto *text = qobject_cast<const QPlainTextEdit *>(focus)) return !text->isReadOnly();
  if (const auto *text = qobject_cast<const QTextEdit *>(focus)) return !text->isReadOnly();
  return qobject_cast<const QAbstractSpinBox *>(focus) != nullptr;
}
