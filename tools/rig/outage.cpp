#include "tools/rig/outage.h"

namespace rig {

bool Outage::down(Duration since) const {
  if (!configured() || since.count() < 0) return false;
  return since % (upFor_ + downFor_) >= upFor_;
}

Outage::Duration Outage::nextSwitch(Duration since) const {
  if (!configured()) return Duration::max();
  if (since.count() < 0) return Duration{0};
  const Duration cycle = upFor_ + downFor_;
  const Duration start = since - since % cycle;
  return down(since) ? start + cycle : start + upFor_;
}

}  // namespace rig
