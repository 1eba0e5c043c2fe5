#include "engine/netmode.h"

#include <string.h>

#include "engine/engine.h"
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

bool netmode_places_locks() {
  uint8_t mode = engine().netmode;
  return mode == 1 || mode == 2;
}

int op_netmode(fhrequest *block) {
  int mode = netmode_lookup(block->keybuf);
  if (mode < 0) return FHS_BADNETMODE;
  engine().netmode = static_cast<uint8_t>(mode);
  return FHS_OK;
}

}  // namespace corvex
