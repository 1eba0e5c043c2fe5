// Secure: bring a file's pending state to the disk while it stays open.
#ifndef CORVEX_ENGINE_OPS_FLUSH_TO_DISK_H
#define CORVEX_ENGINE_OPS_FLUSH_TO_DISK_H

#include "engine/fhrequest.h"

namespace corvex {

// Opcode 9. With an unchanged header, or no description, succeeds at once.
// Otherwise, under the header lock: in mode 0 or for an FH_EXCLUSIVE block
// writes the data file header, thread heads and index header; flushes the
// block's index nodes; parks the file so that the system writes its data
// out; clears ST_HDRDIRTY. Returns 0, 11, 108 or the status of a failed
// header write or park.
int op_secure(fhrequest *block);

}  // namespace corvex

#endif
