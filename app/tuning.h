// Tuning: every way the operator tunes from the panel, and its controls: the
// entry box NewFrq with Goto, Up, Down, the step JumpStep and its choices,
// the scan limits LoFrq and HiFrq with their set buttons and pick list, the
// scan direction ScanDir and the band buttons. Every way ends in tune(),
// which refuses a frequency outside the radio's range with a message in the
// window and sends nothing. Steps (Up, Down, the wheel over a digit of the
// display, the tuning keys, the range scan) start from the radio's own
// frequency as the state object holds it. The entry follows the frequency a
// full status reports and shows it again after a refused entry.
#ifndef TESSALY_APP_TUNING_H
#define TESSALY_APP_TUNING_H

#include <QObject>
#include <array>

#include "app/panel.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace radio {
class RadioLink;
class RadioState;
struct FrequencyRange;
}  // namespace radio

class Tuning : public QObject {
  Q_OBJECT
public:
  // Direction values of scanDirection().
  static constexpr int kUp = 1;
  static constexpr int kDown = 2;

  // Band button table: form name, caption, tuning frequency and, when the
  // band sets them, the scan limits ("" leaves them).
  struct Band {
    const char *name, *caption, *tune, *low, *high;
  };
  static const std::array<Band, 9> kBands;

  // Places the tuning controls on `panel`. The pointers must outlive the
  // object; `range` is read at each tuning, so a later change holds.
  Tuning(Panel *panel, radio::RadioLink *link, radio::RadioState *state, const radio::FrequencyRange *range,
         QObject *parent = nullptr);

  // The one way to the radio's frequency: sends `tenHz` (units of 10 Hz)
  // and shows it in the entry when the range holds it; otherwise sends
  // nothing, says so in the status line with the range and puts the radio's
  // frequency back into the entry. The focus then goes back to the key box
  // as `focus` allows. True when sent.
  bool tune(long tenHz, Panel::FocusFrom focus = Panel::FocusFrom::Operator);
  // Tunes to the entry's text read as kHz. Empty text sends nothing; text
  // that is no frequency, or one outside the range, is refused as tune()
  // refuses, and a text that reads as MHz ("7.074") gets its kHz value
  // offered in the message.
  void freqGo(Panel::FocusFrom focus = Panel::FocusFrom::Operator);
  // Puts `khzText` into the entry and tunes there, as Goto does.
  void tuneTo(const QString &khzText, Panel::FocusFrom focus = Panel::FocusFrom::Operator);
  // Adds `deltaKhz` to the radio's frequency (to the entry's while the radio
  // has reported none) and tunes there, turning the scan direction to
  // `direction` and showing `caption` in ScanDir.
  void step(double deltaKhz, int direction, const QString &caption,
            Panel::FocusFrom focus = Panel::FocusFrom::Operator);
  // One of the tuning keys of the panel's key box (6/4 or Right/Left,
  // 8/2 or Up/Down) steps the entry; false for any other key.
  bool handleKey(int key, const QString &text);

  // Entry := low limit in the picture "00000.00" (the low limit as it is
  // when it is not a frequency). Sends nothing.
  void entryFromLowLimit();
  QString entryText() const;
  void setEntryText(const QString &text);
  // The step of Up, Down and the range scan, kHz.
  double stepKhz() const;
  // The scan limits as their boxes hold them.
  QString lowLimitText() const;
  QString highLimitText() const;
  void setScanLimits(const QString &low, const QString &high);
  // Shows the scan direction (a range scan runs).
  void showDirection();

  // 1 = up, anything else = down; shared with the scanner.
  int scanDirection() const { return scanDirection_; }
  void setScanDirection(int direction) { scanDirection_ = direction; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void placeControls();
  // The mouse wheel over frequency digit `digit` (0 = 10 MHz): one step of
  // the digit's place value per notch, up when turned away from the operator.
  void wheelDigit(int digit, int angle);
  void showPickList(QLineEdit *target);
  void setLowLimit(const QString &text);
  // Refuses a tuning: says `why` and puts the radio's frequency back.
  void refuse(const QString &why, Panel::FocusFrom focus);

  Panel *panel_;
  radio::RadioLink *link_;
  radio::RadioState *state_;
  const radio::FrequencyRange *range_;
  QLineEdit *entry_, *stepBox_, *lowLimit_, *highLimit_;
  QPushButton *goButton_, *upButton_, *downButton_, *setLowButton_, *setHighButton_;
  std::array<QPushButton *, 4> stepChoices_{};
  std::array<QPushButton *, 9> bandButtons_{};
  QLabel *directionLabel_;
  QListWidget *pickList_;
  int scanDirection_ = kUp;
  QLineEdit *listTarget_ = nullptr;
  QString lastTuned_;  // the entry's last frequency sent, shown again after a refusal
  int wheelAngle_ = 0;  // eighths of a degree not yet turned into steps
};

#endif
