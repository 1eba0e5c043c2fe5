// StopSignals: SIGTERM and SIGINT delivered as a Qt signal.
//
// A signal handler may do almost nothing, so it only writes the signal's
// number into a socket pair; a notifier on the other end raises received()
// from the event loop, where the program can unkey the transmitter and close
// in order. One object at a time; it puts the earlier handlers back when it goes.
#ifndef TESSALY_APP_STOPSIGNALS_H
#define TESSALY_APP_STOPSIGNALS_H

#include <QObject>
#include <csignal>

class QSocketNotifier;

class StopSignals : public QObject {
  Q_OBJECT
public:
  explicit StopSignals(QObject *parent = nullptr);
  ~StopSignals() override;

signals:
  void received(int signal);

private:
  static void onSignal(int signal);
  void readSignals();

  int fds_[2] = {-1, -1};
  QSocketNotifier *notifier_ = nullptr;
  struct sigaction oldTerm_ {}, oldInt_ {};
};

#endif
