#include "access/request.h"

#include "engine/dispatch.h"

namespace lumbra {

bool send(fhrequest &r, uint8_t opcode) {
  r.opcode = opcode;
  return _filehandler(&r) == 0;
}

void send_plain(uint8_t opcode) {
  fhrequest r{};
  send(r, opcode);
}

}  // namespace lumbra
