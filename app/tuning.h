// Tuning: every way the operator tunes from the panel. All of them end in
// freqGo(), which sends the frequency of NewFrq. Also the scan limits LoFrq and
// HiFrq with their set buttons and pick list, the band buttons, and the keys of
// the key-capture box KBD.
#ifndef TESSALY_APP_TUNING_H
#define TESSALY_APP_TUNING_H

#include <QObject>

class QWheelEvent;

#include "app/panel.h"
#include "app/radio/radiolink.h"

class QLineEdit;

class Tuning : public QObject {
  Q_OBJECT
public:
  // Direction values of scanDirection().
  static constexpr int kUp = 1;
  static constexpr int kDown = 2;

  // `panel` and `link` must outlive the object.
  Tuning(Panel *panel, radio::RadioLink *link, QObject *parent = nullptr);

  // Rewrites NewFrq in the picture "00000.00" and sends it. Empty text sends
  // nothing; text that is not a frequency in 0 .. 99999.99 kHz is left as it
  // is, sends nothing and is reported in the status line. The focus then
  // goes back to KBD as `focus` allows.
  void freqGo(Panel::FocusFrom focus = Panel::FocusFrom::Operator);
  // Adds `deltaKhz` to the number in NewFrq and tunes there, turning the scan
  // direction to `direction` and showing `caption` in ScanDir. A result
  // outside 0 .. 99999.99 kHz leaves NewFrq as it is and sends nothing.
  void step(double deltaKhz, int direction, const QString &caption,
            Panel::FocusFrom focus = Panel::FocusFrom::Operator);

  // NewFrq := LoFrq in the picture "00000.00" (LoFrq as it is when it is not
  // a frequency). Sends nothing.
  void entryFromLowLimit();

  // 1 = up, anything else = down; shared with the scanner.
  int scanDirection() const { return scanDirection_; }
  void setScanDirection(int direction) { scanDirection_ = direction; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  bool handleKey(int key, const QString &text);
  // The mouse wheel over frequency digit `digit` (0 = 10 MHz): one step of
  // the digit's place value per notch, up when turned away from the operator.
  void wheelDigit(int digit, QWheelEvent *event);
  void showPickList(QLineEdit *target);
  void setLowLimit(const QString &text);

  Panel *panel_;
  radio::RadioLink *link_;
  int scanDirection_ = kUp;
  QLineEdit *listTarget_ = nullptr;
  int wheelAngle_ = 0;  // eighths of a degree not yet turned into steps
};

#endif
