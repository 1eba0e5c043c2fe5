// RadioControl: the panel's link to the transceiver and its controls. It
// opens and closes the port, sends the commands of the connect, mode,
// coverage and slider controls, handles Break, and shows each reply as it
// came (hex, lengths) with the receive and pause lamps. What the replies
// say goes into the radio state, which it owns with the link.
#ifndef TESSALY_APP_RADIOCONTROL_H
#define TESSALY_APP_RADIOCONTROL_H

#include <QObject>
#include <array>

#include "app/radio/radiolink.h"
#include "app/radio/radiostate.h"

class Panel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class RadioControl : public QObject {
  Q_OBJECT
public:
  // Break delays the end of the next event of the port by this long.
  static constexpr int kBreakPauseMs = 2000;

  // Places the radio controls on `panel`. `panel` and `port` must outlive
  // the controller.
  RadioControl(Panel *panel, radio::SerialLink *port, QObject *parent = nullptr);

  // Opens the port and shows `portLabel` in PortNum. A port that cannot be
  // opened is reported once in the status line and on stderr; the panel stays
  // usable.
  void start(const QString &portLabel);
  // Drops DTR and closes the port.
  void stop();

  // "Connect": asks the transceiver for its full status.
  void connectRadio();
  // "Break": the next event of the port ends only kBreakPauseMs after it began.
  void pause();

  radio::RadioLink &link() { return link_; }
  radio::RadioState &state() { return state_; }

signals:
  // A reply has been shown.
  void replyShown();

private:
  void placeControls();
  void sendAndFocus(const QByteArray &frame, int replyLength);
  void sendSlider(int which);
  void showReply(const radio::Reply &reply);

  Panel *panel_;
  radio::SerialLink *port_;
  radio::RadioLink link_;
  radio::RadioState state_{&link_};  // follows the link before anyone else does
  QLabel *receiveLamp_, *pauseLamp_;
  std::array<QPushButton *, 8> modeButtons_{};  // in the order of the mode codes
  QPushButton *generalButton_, *amateurButton_;
  std::array<QSlider *, 2> sliders_{};
  QLineEdit *replyHex_, *replyReversed_, *bytesRead_, *reversedLength_, *portName_;
  QPushButton *connectButton_, *breakButton_;
};

#endif
