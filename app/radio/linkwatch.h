// LinkWatch: keeps the link to the transceiver up without the operator.
//
// Two troubles are watched. The port failing (the line's lost(): a USB
// adapter pulled, the device node gone) or not opening at start: the port is
// opened again at the same path every retry interval; once it opens, the line
// is prepared as at start and, if the transceiver had been talked to before,
// the connect command goes out so that the panel fills again by itself. The
// transceiver not answering while the port stays open (switched off): when
// nothing at all comes back within kSilenceMs of a command, it is silent until
// bytes come again. Whatever sends notices that: the scans, the status poll,
// or, when the poll is off, a probe for the status after kProbeMs of quiet.
//
// The watch only reports; the window shows text() and the scanner pauses
// while the state is not Up. Commands sent while the port is closed are
// answered by refused(), so that a button pressed meanwhile says why it did
// nothing.
#ifndef TESSALY_APP_RADIO_LINKWATCH_H
#define TESSALY_APP_RADIO_LINKWATCH_H

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace radio {

class RadioLink;
class SerialLink;

// Sets what the line needs before the first command: the sent event and DTR
// held on (the transceiver's interface is powered from it).
void prepareLine(SerialLink *port);

class LinkWatch : public QObject {
  Q_OBJECT
public:
  static constexpr int kRetryMs = 2000;
  static constexpr int kProbeMs = 10000;
  static constexpr int kSilenceMs = 3000;

  enum class State {
    Up,            // the port is open and nothing is known to be wrong
    Silent,        // the port is open, the transceiver does not answer
    Disconnected,  // the port is closed; it is opened again every retry interval
  };
  Q_ENUM(State)

  // `port` and `link` (which runs over `port`) must outlive the watch.
  // `device` is the path that is opened again, as the messages name it.
  LinkWatch(SerialLink *port, RadioLink *link, const QString &device, QObject *parent = nullptr);

  // Begins watching; a port that is not open is retried like a lost one.
  void start();
  // Stops every timer; nothing more is opened or sent (the window closes).
  void stop();

  // The probe runs only while `wanted` says so (the status poll is off and
  // nobody is typing); otherwise it waits another probe interval.
  void setProbeWanted(std::function<bool()> wanted) { probeWanted_ = std::move(wanted); }
  // For the tests: shorter waits than the operator's.
  void setIntervals(int retryMs, int probeMs, int silenceMs);

  State state() const { return state_; }
  // What the window says of the state: empty while Up.
  QString text() const;

signals:
  void stateChanged(radio::LinkWatch::State state);
  // The port opened again (the line is prepared; the connect command is out
  // when the transceiver had been talked to).
  void reopened();
  // A command could not go out: `why` says so for the operator.
  void refused(const QString &why);

private:
  void onLost(const QString &why);
  void retry();
  void onCommandStarted();
  void onHeard();
  void probe();
  void setState(State state);

  SerialLink *port_;
  RadioLink *link_;
  QString device_;
  State state_ = State::Up;
  bool watching_ = false;
  bool talkedTo_ = false;  // a command has gone out: the operator connected
  std::function<bool()> probeWanted_ = [] { return true; };
  QTimer retryTimer_, probeTimer_, silenceTimer_;
};

}  // namespace radio

#endif
