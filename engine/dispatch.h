// The engine's entry point.
#ifndef CORVEX_ENGINE_DISPATCH_H
#define CORVEX_ENGINE_DISPATCH_H

#include <stdint.h>

#include "engine/fhrequest.h"
#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// Runs the operation `block->opcode` and writes its status into
// `block->status`; returns 0 when the status is 0 and -1 otherwise.
//
// Init (0) sets the engine up when the count is 0 and raises the count
// (which saturates at 127); terminate (20) lowers a count above 0 and shuts
// the engine down at 0 (closing every open block first). Every other opcode
// answers 12 while the count is 0, and 101 when it is unknown. Open (1),
// make (2) and make temporary index (15) on a block that is open already
// answer 1 and leave the block and its file as they were. After every
// call a header lock left held is released. A null block returns -1.
CORVEX_EXPORT int32_t _filehandler(fhrequest *block);

CORVEX_EXTERN_C_END

#endif
