// RigAccess: commands from other programs, run over the panel's link.
//
// Network clients share the one serial link with the panel. Their commands wait
// in one queue and go out only while the link is idle, one at a time, through
// the same echo-then-execute handshake as the panel's own; the panel's commands
// are never delayed. A panel command sent while a queued command is in flight
// takes the link over (as any new command does); the queued command was then
// not carried out and goes out again once the link is idle.
//
// Clients read what the transceiver last reported (frequency and mode, from any
// decoded reply, the panel's included) from the radio state, the values the
// panel shows. Values older than kFreshMs are refreshed with the status command.
#ifndef TESSALY_APP_RADIO_RIGACCESS_H
#define TESSALY_APP_RADIO_RIGACCESS_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

#include "app/radio/radiostate.h"

namespace radio {

class RadioLink;

class RigAccess : public QObject {
  Q_OBJECT
public:
  static constexpr int kFreshMs = 1000;
  static constexpr int kMaxRetries = 3;  // take-overs by the panel before a command gives up

  // What a finished command tells its sender: true when its reply came.
  using Done = std::function<void(bool ok)>;

  // `link` and `state` must outlive this object; `state` must follow the
  // link's replies before this object does (make it first).
  RigAccess(RadioLink *link, const RadioState *state, QObject *parent = nullptr);

  // Queues `frame` (reply of `replyLength` bytes); `done` runs once, after the
  // reply or the failure. `done` may queue further commands.
  void submit(const QByteArray &frame, int replyLength, Done done);
  // Runs `done` at once when both frequency and mode are fresh, else after a
  // status refresh (queued like any command).
  void refresh(Done done);

  // The last frequency reported, in units of 10 Hz, and the last mode caption.
  std::optional<long> frequency() const;
  std::optional<QString> mode() const;
  // Both were reported less than kFreshMs ago.
  bool fresh() const;

  // Commands waiting or in flight.
  int pending() const { return static_cast<int>(queue_.size()); }

private:
  struct Job {
    QByteArray frame;
    int replyLength;
    Done done;
    int retries = 0;
  };

  void onCommandStarted();
  void onReply();
  void onFailed();
  void finishCurrent(bool ok);
  void sendNext();

  RadioLink *link_;
  const RadioState *state_;
  std::deque<Job> queue_;  // front is in flight when inFlight_
  bool inFlight_ = false;
  bool sending_ = false;  // our own send() is running: its start is no take-over
};

}  // namespace radio

#endif
