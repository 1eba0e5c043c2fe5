// RadioControl: the panel's link to the transceiver. It opens and closes the
// port, sends the commands of the connect, mode, coverage and slider controls,
// handles Break, and writes every reply and failure into the panel.
#ifndef TESSALY_APP_RADIOCONTROL_H
#define TESSALY_APP_RADIOCONTROL_H

#include <QObject>

#include "app/radio/radiolink.h"

class MemoryChannels;
class Panel;

class RadioControl : public QObject {
  Q_OBJECT
public:
  // Break delays the end of the next event of the port by this long.
  static constexpr int kBreakPauseMs = 2000;

  // `panel`, `memory` and `port` must outlive the controller.
  RadioControl(Panel *panel, MemoryChannels *memory, radio::SerialLink *port, QObject *parent = nullptr);

  // Opens the port and shows `portLabel` in PortNum. A port that cannot be
  // opened is reported once in the status line and on stderr; the panel stays
  // usable.
  void start(const QString &portLabel);
  // Stops Timer1 and Timer2, drops DTR and closes the port.
  void stop();
  // The port was closed by a fault or opened again: LinkState starts over.
  void showPortOpen(bool open) { setLinkState(open ? LinkState::NotConnected : LinkState::PortClosed); }

  radio::RadioLink &link() { return link_; }

  // What is known of the transceiver, as LinkState shows it.
  enum class LinkState { PortClosed, NotConnected, Connected, NoAnswer };
  LinkState linkState() const { return state_; }
  static QString linkStateText(LinkState state);

signals:
  // A reply has been written into the panel.
  void replyShown();
  void linkStateChanged(RadioControl::LinkState state);

private:
  void sendAndFocus(const QByteArray &frame, int replyLength);
  void sendSlider(int which);
  void showReply(const radio::Reply &reply);
  void setLinkState(LinkState state);

  Panel *panel_;
  MemoryChannels *memory_;
  radio::SerialLink *port_;
  radio::RadioLink link_;
  LinkState state_ = LinkState::NotConnected;
};

#endif
