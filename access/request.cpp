#include "access/request.h"

#include "engine/dispatch.h"

namespace lumbra {

bool send(fhrequest &r, uint8_t opcode) {
  r.opcode = opcode;
  return _filehandler(&r) == 0;
}

bool send_read(fhrequest &r, bool stay) {
  set_flag(r, FH_STAY, stay);
  return send(r, FHOP_READ);
}

bool send_write(fhrequest &r, bool stay) {
  set_flag(r, FH_STAY, stay);
  return send(r, FHOP_WRITE);
}

bool send_position(fhrequest &r, bool exact) {
  set_flag(r, FH_EXACT, exact);
  return send(r, FHOP_POSITION);
}

bool send_setkey(fhrequest &r, uint8_t key) {
  r.keyarg = key;
  return send(r, FHOP_SETKEY);
}

}  // namespace lumbra
