#include "app/polling.h"

#include <QCheckBox>

#include "app/form.h"
#include "app/panel.h"
#include "app/radio/frames.h"

Polling::Polling(Panel *panel, radio::RadioLink *link, QObject *parent) : QObject(parent), link_(link) {
  pollBox_ = form::place<QCheckBox>(panel, "PollBox", 458, panel_row::kCommands, 56, 26, "Poll");
  timer_.setSingleShot(true);
  setIntervalSeconds(kDefaultSeconds);
  connect(&timer_, &QTimer::timeout, this, &Polling::poll);
  connect(link_, &radio::RadioLink::commandStarted, this, [this] {
    if (enabled()) timer_.start();
  });
  connect(pollBox_, &QCheckBox::toggled, this, [this](bool on) {
    if (on)
      timer_.start();
    else
      timer_.stop();
  });
}

void Polling::setIntervalSeconds(int seconds) {
  timer_.setInterval(seconds * 1000);
  pollBox_->setToolTip(tr("Ask the transceiver for its full status every %n second(s) while the link is idle",
                                 nullptr, seconds));
}

void Polling::setEnabled(bool on) { pollBox_->setChecked(on); }

bool Polling::enabled() const { return pollBox_->isChecked(); }

void Polling::poll() {
  if (link_->inFlight()) {
    timer_.start();  // a command is under way; its end will not restart the wait
    return;
  }
  link_->send(radio::connectFrame(), radio::kFullStatusLength);
}
