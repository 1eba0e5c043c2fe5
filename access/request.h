// Requests on a file's engine block.
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

// Read (opcode 4) and write (opcode 5) with FH_STAY set when stay is true
// and cleared otherwise; position (opcode 8) with FH_EXACT set or cleared.
// The flag stays as set after the request.
bool send_read(fhrequest &r, bool stay);
bool send_write(fhrequest &r, bool stay);
bool send_position(fhrequest &r, bool exact);
// Set-key (opcode 19) with keyarg = key.
bool send_setkey(fhrequest &r, uint8_t key);

}  // namespace lumbra

#endif
