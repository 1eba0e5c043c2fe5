// Tuning: every way the operator tunes from the panel, and its controls: the
// entry box NewFrq with Goto, Up, Down, the step JumpStep and its choices,
// the scan limits LoFrq and HiFrq with their set buttons and pick list, the
// scan direction ScanDir and the band buttons. Every way ends in freqGo(),
// which sends the frequency of the entry. The entry follows the frequency a
// full status reports; the mouse wheel over a digit of the display and the
// tuning keys of the panel's key box step it.
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
  // object.
  Tuning(Panel *panel, radio::RadioLink *link, radio::RadioState *state, QObject *parent = nullptr);

  // Rewrites the entry in the picture "00000.00" and sends it. Empty text
  // sends nothing; text that is not a frequency in 0 .. 99999.99 kHz is left
  // as it is, sends nothing and is reported in the status line. The focus
  // then goes back to the key box as `focus` allows.
  void freqGo(Panel::FocusFrom focus = Panel::FocusFrom::Operator);
  // Puts `khzText` into the entry and tunes there, as Goto does.
  void tuneTo(const QString &khzText, Panel::FocusFrom focus = Panel::FocusFrom::Operator);
  // Adds `deltaKhz` to the number in the entry and tunes there, turning the
  // scan direction to `direction` and showing `caption` in ScanDir. A result
  // outside 0 .. 99999.99 kHz leaves the entry as it is and sends nothing.
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

  Panel *panel_;
  radio::RadioLink *link_;
  radio::RadioState *state_;
  QLineEdit *entry_, *stepBox_, *lowLimit_, *highLimit_;
  QPushButton *goButton_, *upButton_, *downButton_, *setLowButton_, *setHighButton_;
  std::array<QPushButton *, 4> stepChoices_{};
  std::array<QPushButton *, 9> bandButtons_{};
  QLabel *directionLabel_;
  QListWidget *pickList_;
  int scanDirection_ = kUp;
  QLineEdit *listTarget_ = nullptr;
  int wheelAngle_ = 0;  // eighths of a degree not yet turned into steps
};

#endif
