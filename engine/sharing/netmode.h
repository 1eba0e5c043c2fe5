// Module engine/sharing/: what programs sharing a table need: network
// modes, header and record locks, change counts and mapped views. Its face
// is this header with locks.h, changecount.h and mapping.h; it uses core/.
// Reading again what a block keeps of its files is the ops module's part,
// which the header lock reaches through the plug (refresh_view).
//
// Network modes: how much locking and sharing the engine does, process-wide.
//
//   0 (SINGLE, DOS, PCMOS, PCMOS-S): no sharing flags, no locks; headers are
//     written at close, secure and park; index nodes stay cached.
//   any other (shared): files are opened shareable, the header lock guards
//     every change, headers are written at once and re-read, and index nodes
//     dropped, whenever another program may have changed them (for blocks
//     without FH_EXCLUSIVE).
//   1 and 2 (IBMNET, MSNET, NETWARE, PCMOS-N) place byte locks, and on local
//     file systems keep a change count (engine/sharing/changecount.h) that tells a
//     block when others changed its files; 3 and 7 (PCMOS-M, MULTI) keep the
//     shared behaviour but every lock succeeds without touching the file, so
//     they re-read and drop after every operation.
#ifndef CORVEX_ENGINE_SHARING_NETMODE_H
#define CORVEX_ENGINE_SHARING_NETMODE_H

#include <stdint.h>

#include "engine/core/engine.h"
#include "engine/fhrequest.h"

namespace corvex {

// Converts `name` to upper case in place and returns the mode it names, or
// -1 when no table entry has that name. A null name is unknown.
int netmode_lookup(char *name);

// True when the current mode places real byte locks (modes 1 and 2).
inline bool netmode_places_locks() {
  uint8_t mode = engine().netmode;
  return mode == 1 || mode == 2;
}

// Opcode 12: selects the mode named at block->keybuf. Before the mode
// changes, every open block that is not shared writes its pending headers
// and index nodes (parked ones are opened again for it). Returns 0, 106 for
// an unknown name, or the status of a failed write; the mode is unchanged
// on failure.
int op_netmode(fhrequest *block);

}  // namespace corvex

#endif
