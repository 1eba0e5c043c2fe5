// Polling: the "Poll" box of the panel. While it is checked, asks the
// transceiver for its full status whenever the link has been idle for the
// interval, so that the panel follows tuning done on the radio itself. Every
// command sent restarts the wait, and a poll is only sent when no command is
// in flight: the operator's commands go out as they come, and a scan, which
// sends at every dwell, is not polled.
#ifndef TESSALY_APP_POLLING_H
#define TESSALY_APP_POLLING_H

#include <QObject>
#include <QTimer>

#include "app/radio/radiolink.h"

class Panel;
class QCheckBox;

class Polling : public QObject {
  Q_OBJECT
public:
  static constexpr int kDefaultSeconds = 5;

  // Places the box on `panel`. `panel` and `link` must outlive the object.
  Polling(Panel *panel, radio::RadioLink *link, QObject *parent = nullptr);

  void setIntervalSeconds(int seconds);
  int intervalSeconds() const { return timer_.interval() / 1000; }
  // Checks or clears the box, which starts or stops polling.
  void setEnabled(bool on);
  bool enabled() const;

  // True while the wait for the next poll runs.
  bool waiting() const { return timer_.isActive(); }
  // What the end of the wait does: asks for the full status unless a
  // command is in flight.
  void poll();

private:
  radio::RadioLink *link_;
  QCheckBox *pollBox_;
  QTimer timer_;
};

#endif
