// The panel's controls as the tests reach them: looked up in the window by
// their form names (objectName), as the operator knows them from the form.
#ifndef TESSALY_TESTS_APP_PANEL_CONTROLS_H
#define TESSALY_TESTS_APP_PANEL_CONTROLS_H

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "app/form.h"
#include "app/radio/decode.h"
#include "app/radio/radiostate.h"

class PanelControls {
  QObject *window_;  // first: the lookups below run in the order of the members

public:
  explicit PanelControls(QObject *window) : window_(window) {
    for (int i = 0; i < 7; ++i) D1[i] = find<QLineEdit>(form::indexed("D1", i + 1));
    for (int i = 0; i < 4; ++i) StepSz[i] = find<QPushButton>(form::indexed("StepSz", i));
    for (int i = 0; i < 6; ++i) Scan_Delay2[i] = find<QPushButton>(form::indexed("Scan_Delay2", i));
    const char *const modes[] = {"But_LSB", "But_USB", "But_CWW", "But_CWN", "But_AMW", "But_AMN", "But_FSK", "But_FM"};
    for (int i = 0; i < 8; ++i) ModeButton[i] = find<QPushButton>(modes[i]);
  }

  // Frequency display, 10 MHz digit first.
  std::array<QLineEdit *, 7> D1{};
  QLineEdit *Dot2 = find<QLineEdit>("Dot2");
  QLabel *ModeL = find<QLabel>("ModeL"), *HGA = find<QLabel>("HGA"), *PauseLamp = find<QLabel>("PauseLamp");
  QLineEdit *NewFrq = find<QLineEdit>("NewFrq"), *JumpStep = find<QLineEdit>("JumpStep"),
            *LoFrq = find<QLineEdit>("LoFrq"), *HiFrq = find<QLineEdit>("HiFrq"),
            *Scan_Delay = find<QLineEdit>("Scan_Delay");
  QPushButton *FreqGo = find<QPushButton>("FreqGo"), *FreqUp = find<QPushButton>("FreqUp"),
              *FreqDwn = find<QPushButton>("FreqDwn"), *HiSet = find<QPushButton>("HiSet"),
              *ButtonPlus1 = find<QPushButton>("ButtonPlus1");
  std::array<QPushButton *, 4> StepSz{};
  // The mode buttons: LSB, USB, CW-W, CW-N, AM-W, AM-N, FSK, FM.
  std::array<QPushButton *, 8> ModeButton{};
  std::array<QPushButton *, 6> Scan_Delay2{};
  QLabel *ScanDir = find<QLabel>("ScanDir");
  QListWidget *List1 = find<QListWidget>("List1");
  QPushButton *GenBut = find<QPushButton>("GenBut"), *HamBut = find<QPushButton>("HamBut");
  QSlider *Slider1 = find<QSlider>("Slider1"), *Slider2 = find<QSlider>("Slider2");
  QRadioButton *MuteOff = find<QRadioButton>("MuteOff");
  QSlider *VolumeControl = find<QSlider>("VolumeControl"), *BalanceControl = find<QSlider>("BalanceControl");
  QLineEdit *TXTVolumeControl = find<QLineEdit>("TXTVolumeControl"), *TXTVol = find<QLineEdit>("TXTVol");
  QLineEdit *PortNum = find<QLineEdit>("PortNum"), *BufLen = find<QLineEdit>("BufLen"),
            *Text1 = find<QLineEdit>("Text1"), *Text4 = find<QLineEdit>("Text4"), *InLen = find<QLineEdit>("InLen");
  QLabel *StatusLine = find<QLabel>("StatusLine");
  QPushButton *But_Power = find<QPushButton>("But_Power"), *BreakBut = find<QPushButton>("BreakBut"),
              *JustControl = find<QPushButton>("JustControl"), *LogsScans = find<QPushButton>("LogsScans");
  QCheckBox *PollBox = find<QCheckBox>("PollBox"), *UtcBox = find<QCheckBox>("UtcBox");
  QLabel *LinkState = find<QLabel>("LinkState"), *ScanState = find<QLabel>("ScanState"),
         *NetClients = find<QLabel>("NetClients");
  QLineEdit *KBD = find<QLineEdit>("KBD");
  // The timers of the range scan and the selected-entries scan.
  QTimer *Timer2 = find<QTimer>("Timer2"), *Timer4 = find<QTimer>("Timer4");

private:
  template <class T>
  T *find(const QString &name) const {
    T *found = window_->findChild<T *>(name);
    if (!found) {
      std::fprintf(stderr, "no control %s on the panel\n", qPrintable(name));
      std::abort();
    }
    return found;
  }
};

// Makes `state` hold the frequency `digits` (seven, 10 MHz first) and the
// mode caption `mode`, as a decoded short status would.
inline void reportToState(radio::RadioState &state, const char *digits, const QString &mode) {
  radio::Reply reply;
  reply.decoded = true;
  std::array<QChar, 7> d;
  for (int i = 0; i < 7; ++i) d[i] = QLatin1Char(digits[i]);
  reply.digits = d;
  reply.mode = mode;
  state.apply(reply);
}

#endif
