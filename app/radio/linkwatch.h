// LinkWatch: keeps the link to the transceiver up without the operator.
//
// Two troubles are watched, both kept in the radio state's link. The port
// failing (the line's lost(): a USB adapter pulled, the device node gone) or
// not opening at start: the state says PortClosed and the port is opened
// again at the same path every retry interval; once it opens, the line is
// prepared as at start, the state says NotConnected and, if the transceiver
// had been talked to before, the connect command goes out so that the panel
// fills again by itself. The transceiver not answering while the port stays
// open (switched off): the link's answer time-out makes the state say
// NoAnswer until a reply is decoded again. Whatever sends notices it (the
// scans, the status poll), or, when the poll is off, a probe for the status
// after kProbeMs of quiet, or after kRetryMs while the transceiver is silent.
//
// The watch only reports; the window shows text() and the scanner pauses
// while the state is not reachable. Commands sent while the port is closed
// are answered by refused(), so that a button pressed meanwhile says why it
// did nothing.
#ifndef TESSALY_APP_RADIO_LINKWATCH_H
#define TESSALY_APP_RADIO_LINKWATCH_H

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace radio {

class RadioLink;
class RadioState;
class SerialLink;

// Sets what the line needs before the first command: the sent event and DTR
// held on (the transceiver's interface is powered from it).
void prepareLine(SerialLink *port);

class LinkWatch : public QObject {
  Q_OBJECT
public:
  static constexpr int kRetryMs = 2000;
  static constexpr int kProbeMs = 10000;

  // `port`, `link` (which runs over `port`) and `state` (which follows
  // `link`) must outlive the watch. `device` is the path that is opened
  // again, as the messages name it.
  LinkWatch(SerialLink *port, RadioLink *link, RadioState *state, const QString &device, QObject *parent = nullptr);

  // Begins watching; a port that is not open is retried like a lost one.
  void start();
  // Stops every timer; nothing more is opened or sent (the window closes).
  void stop();

  // The probe runs only while `wanted` says so (the status poll is off and
  // nobody is typing); otherwise it waits another probe interval.
  void setProbeWanted(std::function<bool()> wanted) { probeWanted_ = std::move(wanted); }
  // For the tests: shorter waits than the operator's.
  void setIntervals(int retryMs, int probeMs);

  // Commands in a row left unanswered before the window says what to check.
  static constexpr int kUnansweredForChecks = 3;

  // What the window says of the link's trouble: empty while reachable.
  QString text() const;
  // What to check, for the status line after text(): while the port is
  // closed, and from the kUnansweredForChecks-th command in a row without an
  // answer (naming the port then); empty otherwise.
  QString guidance() const;
  // What to check when the port cannot be opened or the radio does not
  // answer: "check the cable, ...".
  static QString checks();

signals:
  // The port opened again (the line is prepared; the connect command is out
  // when the transceiver had been talked to).
  void reopened();
  // A command could not go out: `why` says so for the operator.
  void refused(const QString &why);

private:
  void onLost(const QString &why);
  void retry();
  void onCommandStarted();
  void scheduleProbe();
  void probe();

  SerialLink *port_;
  RadioLink *link_;
  RadioState *state_;
  QString device_;
  bool watching_ = false;
  bool talkedTo_ = false;  // a command has gone out: the operator connected
  int unanswered_ = 0;     // commands failed since the last decoded reply
  std::function<bool()> probeWanted_ = [] { return true; };
  int retryMs_ = kRetryMs, probeMs_ = kProbeMs;
  QTimer retryTimer_, probeTimer_;
};

}  // namespace radio

#endif
