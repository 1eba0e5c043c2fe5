// Requests on an engine block that have no wrapper of their own in the
// engine (the others go through the engine's _rfh functions).
#ifndef LUMBRA_ACCESS_REQUEST_H
#define LUMBRA_ACCESS_REQUEST_H

#include <cstdint>

#include "engine/fhrequest.h"

namespace lumbra {

// Sets or clears mode flag bit on block r.
inline void set_flag(fhrequest &r, uint16_t bit, bool on) {
  r.mode = static_cast<uint16_t>(on ? (r.mode | bit) : (r.mode & ~bit));
}

// Sends opcode on block r through the engine's entry point. The status is
// left in r.status; returns true when it is 0.
bool send(fhrequest &r, uint8_t opcode);

// Sends a request that needs no file (initialise, terminate) on a zero-filled
// block.
void send_plain(uint8_t opcode);

}  // namespace lumbra

#endif
