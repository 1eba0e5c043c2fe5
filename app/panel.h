// Panel: the controls of the transceiver panel, laid out as on the original
// form (positions in pixels, 15 twips a pixel). It holds no behaviour; the
// controllers connect to its controls. Every control's objectName is its name
// on the form, arrays as Name_1 .. Name_7 or Name_0 ...
#ifndef TESSALY_APP_PANEL_H
#define TESSALY_APP_PANEL_H

#include <QWidget>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

class Panel : public QWidget {
  Q_OBJECT
public:
  explicit Panel(QWidget *parent = nullptr);

  // Displayed frequency: 10 MHz digit first, 10 Hz digit last.
  std::array<QLineEdit *, 7> D1{};
  QLineEdit *Dot1, *Dot2;
  QLabel *ModeL, *HGA;
  QLabel *RxLamp, *PauseLamp;

  QLineEdit *NewFrq, *JumpStep, *LoFrq, *HiFrq, *Scan_Delay;
  QPushButton *FreqGo, *FreqUp, *FreqDwn, *LoSet, *HiSet, *ButtonPlus1;
  std::array<QPushButton *, 4> StepSz{};
  std::array<QPushButton *, 6> Scan_Delay2{};
  QLabel *ScanDir;
  QListWidget *List1;

  // Band buttons in the order 10, 11, 12, 15, 17, 20, 40, 80, 160 metres.
  std::array<QPushButton *, 9> Meter{};
  // Mode buttons in the order of the mode codes: LSB, USB, CW-W .. FM.
  std::array<QPushButton *, 8> ModeButton{};
  QPushButton *GenBut, *HamBut;
  QGroupBox *Slider1Frame, *Slider2Frame;
  QSlider *Slider1, *Slider2;

  QRadioButton *MuteOff, *MuteOn;
  QSlider *VolumeControl, *BalanceControl;
  QLineEdit *TXTVolumeControl, *TXTVol;

  QLineEdit *PortNum, *BufLen, *Text1, *Text4, *InLen;
  // One line for what the radio side has to say (port and answer failures).
  QLabel *StatusLine;
  // How many programs reach the transceiver over the network (empty when the
  // rigctld server is off).
  QLabel *NetClients;
  QPushButton *But_Power, *BreakBut, *JustControl, *LogsScans, *Close_But;
  // Poll the full status while idle; stamp table entries in UTC.
  QCheckBox *PollBox, *UtcBox;
  // Whether the transceiver answers, and which scans run.
  QLabel *LinkState, *ScanState;
  // The key-capture box that every handler gives the focus back to.
  QLineEdit *KBD;

  // Timer2 and Timer4 drive the scans.
  QTimer *Timer2, *Timer4;

  // Band button table: caption, tuning frequency and, when the band sets them,
  // the scan limits ("" leaves them).
  struct Band {
    const char *name, *caption, *tune, *low, *high;
  };
  static const std::array<Band, 9> kBands;

  // Shows the frequency digits.
  void showDigits(const std::array<QChar, 7> &digits);
  // Who gives the focus back to KBD: the operator's own action (a panel or
  // table handler), or something the operator did not do just now (a reply,
  // a scan tick), which must not take the focus from a text entry or a
  // dialog that the operator is typing in.
  enum class FocusFrom { Operator, Background };
  // Gives the keyboard focus to KBD.
  void focusKeys(FocusFrom from = FocusFrom::Operator);
  // True when the window's focus is in an editable text entry other than
  // KBD, or another window than the panel's (such as a dialog) is active.
  bool operatorIsTyping() const;
};

#endif
