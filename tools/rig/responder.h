// Responder: the transceiver's side of the handshake, with switchable faults.
// Every command frame is echoed; the execute frame after it makes the
// transceiver carry out that command and answer with its reply.
#ifndef TESSALY_TOOLS_RIG_RESPONDER_H
#define TESSALY_TOOLS_RIG_RESPONDER_H

#include "tools/rig/transceiver.h"

namespace rig {

// Each fault hits every Nth occasion (0 = never).
struct Faults {
  unsigned wrongEcho = 0;   // Nth command frame: echo with its first byte changed
  unsigned loseEcho = 0;    // Nth command frame: no echo at all
  unsigned strayBytes = 0;  // Nth command frame: three stray bytes before the echo
  unsigned shortReply = 0;  // Nth reply: only its first half is sent
};

class Responder {
public:
  explicit Responder(const Faults &faults) : faults_(faults) {}

  // Handles one received frame and returns the bytes to send back. An execute
  // frame with no command pending is ignored.
  Bytes onFrame(const Frame &frame);

  const Transceiver &transceiver() const { return transceiver_; }

private:
  static bool hits(unsigned every, unsigned count) { return every != 0 && count % every == 0; }

  Faults faults_;
  Transceiver transceiver_;
  Frame pending_{};
  bool hasPending_ = false;
  unsigned commands_ = 0;
  unsigned replies_ = 0;
};

}  // namespace rig

#endif
