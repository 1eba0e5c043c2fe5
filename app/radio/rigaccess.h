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
// decoded reply, the panel's included, with their ages) and whether it can be
// reached from the radio state, the values the panel shows.
#ifndef TESSALY_APP_RADIO_RIGACCESS_H
#define TESSALY_APP_RADIO_RIGACCESS_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "app/radio/radiostate.h"

namespace radio {

class RadioLink;

class RigAccess : public QObject {
  Q_OBJECT
public:
  static constexpr int kMaxRetries = 3;  // take-overs by the panel before a command gives up

  // What a finished command tells its sender: true when its reply came.
  using Done = std::function<void(bool ok)>;

  // `link` and `state` must outlive this object; `state` must follow the
  // link's replies before this object does (make it first).
  RigAccess(RadioLink *link, const RadioState *state, QObject *parent = nullptr);

  // Queues `frame` (reply of `replyLength` bytes); `done` runs once, after the
  // reply or the failure. `done` may queue further commands. Returns the
  // command's ticket for cancel().
  quint64 submit(const QByteArray &frame, int replyLength, Done done);
  // Forgets a command that has not gone out yet; its `done` never runs. One
  // already on the wire finishes as it is.
  void cancel(quint64 ticket);
  // Reads the full status, queued like any command; `done` (may be empty)
  // runs after it. A refresh already waiting serves this one too.
  void refresh(Done done);

  // The radio's state the commands read and refresh.
  const RadioState &state() const { return *state_; }

  // Commands waiting or in flight.
  int pending() const { return static_cast<int>(queue_.size()); }

private:
  struct Job {
    QByteArray frame;
    int replyLength;
    Done done;
    quint64 ticket;
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
  bool refreshQueued_ = false;
  quint64 nextTicket_ = 1;
  std::vector<Done> refreshWaiters_;
};

}  // namespace radio

#endif
