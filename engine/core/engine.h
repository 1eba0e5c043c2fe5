// Module engine/core/: the engine-wide state, the open-file list, the
// shared key buffer and per-block maps. Its face is this header with
// openlist.h, keybuf.h and perblock.h; it uses only the engine's public
// types (fhrequest.h, plug.h).
//
// The engine-wide state: one copy per process, shared by every request block.
// The engine is single-threaded per process; callers serialise their calls.
#ifndef CORVEX_ENGINE_CORE_ENGINE_H
#define CORVEX_ENGINE_CORE_ENGINE_H

#include <stdint.h>

#include "engine/fhrequest.h"

namespace corvex {

struct fhslot;

struct EngineState {
  int8_t initcount = 0;         // raised by init, lowered by terminate
  bool setup = false;           // the set-up's allocations are in place
  uint8_t netmode = 0;          // engine/sharing/netmode.h
  bool hdrlockheld = false;     // some file's header lock is held
  // The call's reads are checked by the change count (engine/sharing/changecount.h)
  // instead of being made under the header lock.
  bool unlocked_reads = false;
  fhslot *openlist = nullptr;   // head entry of the open-file list
  char *keybuf = nullptr;       // the shared FH_KEYBUFSIZE-byte key buffer
};

// The process's engine state, set up before any code runs (constant
// initialisation), so that it is there for static constructors too. Asked
// many times in every call, hence inline.
extern constinit EngineState engine_state;
inline EngineState &engine() { return engine_state; }

// True when `block` takes part in locking and shared-mode behaviour: a
// network mode other than 0 and neither FH_EXCLUSIVE nor FH_READONLY.
inline bool block_may_lock(const fhrequest *block) {
  return engine().netmode != 0 && (block->mode & (FH_EXCLUSIVE | FH_READONLY)) == 0;
}

// True when `block` is in a shared mode without FH_EXCLUSIVE: headers are
// written at once, and re-read (with the index nodes dropped) whenever other
// programs may have changed them (block_rereads).
inline bool block_is_shared(const fhrequest *block) {
  return engine().netmode != 0 && (block->mode & FH_EXCLUSIVE) == 0;
}

// Keys are used for navigation: the file has keys and FH_NOKEY is clear.
bool keys_in_use(const fhrequest *block);

// Sets or clears ST_POSITIONED.
void set_positioned(fhrequest *block, bool on);

}  // namespace corvex

#endif
