#include "tools/rig/responder.h"

namespace rig {

Bytes Responder::onFrame(const Frame &frame) {
  if (frame == kExecute) {
    if (!hasPending_) return {};
    hasPending_ = false;
    Bytes reply = transceiver_.execute(pending_);
    if (!reply.empty() && hits(faults_.shortReply, ++replies_)) reply.resize(reply.size() / 2);
    return reply;
  }
  pending_ = frame;
  hasPending_ = true;
  ++commands_;
  if (hits(faults_.loseEcho, commands_)) return {};
  Bytes echo;
  if (hits(faults_.strayBytes, commands_)) echo = {0xFF, 0x55, 0xAA};
  echo.insert(echo.end(), frame.begin(), frame.end());
  if (hits(faults_.wrongEcho, commands_)) echo[echo.size() - 5] ^= 0x01;
  return echo;
}

}  // namespace rig
