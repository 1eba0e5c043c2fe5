#include "access/request.h"

#include "engine/dispatch.h"

namespace lumbra {

bool send(fhrequest &r, uint8_t opcode) {
  r.opcode = opcode;
  return _filehandler(&r) == 0;
}

}  // namespace lumbra
