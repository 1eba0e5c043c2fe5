// Outage: a fault of the simulated transceiver that comes and goes on a fixed
// cycle: `upFor` of normal service, then `downFor` of outage, again and again,
// counted from the simulator's start. Pure arithmetic, so the main loop can
// ask both whether the fault is on and when it next switches.
#ifndef TESSALY_TOOLS_RIG_OUTAGE_H
#define TESSALY_TOOLS_RIG_OUTAGE_H

#include <chrono>

namespace rig {

class Outage {
public:
  using Duration = std::chrono::milliseconds;

  // Never down.
  Outage() = default;
  // Down after every `upFor` for `downFor`; both must be above zero.
  Outage(Duration upFor, Duration downFor) : upFor_(upFor), downFor_(downFor) {}

  bool configured() const { return upFor_.count() > 0 && downFor_.count() > 0; }
  // Whether the fault is on `since` the start.
  bool down(Duration since) const;
  // Time from the start of the next switch after `since`; Duration::max()
  // when the fault is not configured.
  Duration nextSwitch(Duration since) const;

private:
  Duration upFor_{0}, downFor_{0};
};

}  // namespace rig

#endif
