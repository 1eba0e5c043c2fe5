#include "engine/plug.h"

#include "engine/core/keybuf.h"
#include "engine/core/openlist.h"
#include "engine/index/index.h"
#include "engine/index/nodecache.h"
#include "engine/ops/fileset.h"
#include "engine/ops/flush_to_disk.h"
#include "engine/ops/ops.h"
#include "engine/ops/parking.h"
#include "engine/ops/steps.h"
#include "engine/sharing/locks.h"
#include "engine/sharing/netmode.h"

namespace corvex {

namespace {

constexpr OpEntry kOps[] = {
    {FHOP_OPEN, op_open},
    {FHOP_MAKE, op_make},
    {FHOP_CLOSE, op_close},
    {FHOP_READ, op_read},
    {FHOP_WRITE, op_write},
    {FHOP_DELETE, op_delete},
    {FHOP_BACKSPACE, op_backspace},
    {FHOP_POSITION, op_position},
    {FHOP_SECURE, op_secure},
    {FHOP_END, op_end},
    {FHOP_NETMODE, op_netmode},
    {FHOP_LOCK, op_reclock},
    {FHOP_UNLOCK, op_recunlock},
    {FHOP_TEMPINDEX, op_tempindex},
    {FHOP_ADD, op_add},
    {FHOP_SETKEY, op_setkey},
};

const Resource kResources[] = {
    {openlist_setup, openlist_shutdown},
    {keybuf_setup, keybuf_shutdown},
    {nodecache_setup, nodecache_shutdown},
};

struct OpTable {
  OpHandler ops[FHOP_COUNT] = {};
};

constexpr OpTable make_table() {
  OpTable table;
  for (const OpEntry &e : kOps) table.ops[e.opcode] = e.run;
  return table;
}

constexpr OpTable kTable = make_table();

const Plug kPlug = {
    kOps,
    sizeof kOps / sizeof kOps[0],
    kResources,
    sizeof kResources / sizeof kResources[0],
    [](fhrequest *block) { index_flush_nodes(block); },  // flush_nodes
    fileset_write_headers,
    park_block,
    reopen_slot,
    closelru,
    refresh_shared_view,
};

}  // namespace

const Plug &plug() { return kPlug; }

OpHandler op_handler(int opcode) {
  if (opcode < 0 || opcode >= FHOP_COUNT) return nullptr;
  return kTable.ops[opcode];
}

}  // namespace corvex
