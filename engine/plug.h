// Where the engine's modules plug into the dispatcher.
//
// Every operation is one handler in the opcode table of plug.cpp; modules add
// their engine-wide resources (set up at the first init, freed at shut-down)
// and the few per-file services that the core calls (flushing index nodes,
// writing headers, parking) in the same file, one line each. A null service
// is skipped by the core; an opcode without a handler answers 101.
#ifndef CORVEX_ENGINE_PLUG_H
#define CORVEX_ENGINE_PLUG_H

#include <stddef.h>
#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

struct fhslot;

// Runs one operation on `block`; returns its status (0 = success).
typedef int (*OpHandler)(fhrequest *block);

struct OpEntry {
  uint8_t opcode;
  OpHandler run;
};

// An engine-wide resource of a module. setup returns 0 or a status (9 when
// memory runs out); shutdown frees whatever setup made and must be harmless
// when setup never ran or failed.
struct Resource {
  int (*setup)();
  void (*shutdown)();
};

struct Plug {
  const OpEntry *ops;
  size_t nops;
  const Resource *resources;  // set up in order, shut down in reverse
  size_t nresources;
  // Writes back and drops the block's cached index nodes.
  void (*flush_nodes)(fhrequest *block);
  // Writes the data file header, thread heads and index header; a status.
  int (*write_headers)(fhrequest *block);
  // Closes the block's handles and keeps it registered, parked; a status.
  int (*park)(fhrequest *block);
  // Re-opens the handles of a parked entry; a status.
  int (*reopen)(fhslot *slot);
  // Parks the least recently used open file: 0, or -1 when none qualifies.
  int (*closelru)(int force);
  // Reads again what a shared block keeps of its files (index header and
  // nodes, data file header) after another program changed them; a status.
  int (*refresh_view)(fhrequest *block);
};

const Plug &plug();

// The handler of `opcode`, or null when the opcode is unknown.
OpHandler op_handler(int opcode);

}  // namespace corvex

#endif
