#include "engine/sharing/netmode.h"

#include <string.h>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/plug.h"
#include "engine/sharing/changecount.h"
#include "util/ascii.h"

namespace corvex {

namespace {

struct NetModeName {
  char name[8];  // not terminated when all eight are used
  uint8_t mode;
};

const NetModeName kModes[] = {
    {"SINGLE", 0}, {"DOS", 0},     {"MULTI", 7},   {"IBMNET", 1},  {"MSNET", 1},
    {"NETWARE", 2}, {"PCMOS", 0}, {"PCMOS-S", 0}, {"PCMOS-M", 3}, {"PCMOS-N", 2},
};

}  // namespace

int netmode_lookup(char *name) {
  if (name == nullptr) return -1;
  for (char *p = name; *p; p++) *p = static_cast<char>(ascii_upper(static_cast<unsigned char>(*p)));
  for (const NetModeName &m : kModes) {
    size_t len = strnlen(m.name, sizeof m.name);
    if (strlen(name) == len && memcmp(name, m.name, len) == 0) return m.mode;
  }
  return -1;
}

namespace {

// A block that is not shared keeps its headers and index nodes in memory;
// once shared it would re-read them from the files and lose them. Every
// such block writes them out before the mode changes.
int write_pending() {
  const Plug &p = plug();
  for (fhslot *s = engine().openlist ? engine().openlist->next : nullptr; s; s = s->next) {
    fhrequest *block = s->block;
    if (block_is_shared(block) || block->nitems == 0) continue;
    int status = openlist_use(block);
    if (status == FHS_OK && p.write_headers) status = p.write_headers(block);
    if (status != FHS_OK) return status;
    if (p.flush_nodes) p.flush_nodes(block);
    block->state &= static_cast<uint16_t>(~ST_HDRDIRTY);
  }
  return FHS_OK;
}

}  // namespace

int op_netmode(fhrequest *block) {
  int mode = netmode_lookup(block->keybuf);
  if (mode < 0) return FHS_BADNETMODE;
  if (mode != engine().netmode) {
    int status = write_pending();
    if (status != FHS_OK) return status;
  }
  // Counts are kept only in modes that place real locks; each block
  // attaches again, as stale, when it next needs one.
  if (mode != engine().netmode) changes_release_all();
  engine().netmode = static_cast<uint8_t>(mode);
  return FHS_OK;
}

}  // namespace corvex
