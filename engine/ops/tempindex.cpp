// Opcode 15: the temporary index over a data file, made when it is not
// there yet, opened as the block's index.
#include "engine/ops/fileset.h"

#include <unistd.h>

#include "engine/core/keybuf.h"
#include "engine/core/openlist.h"
#include "engine/data/datafile.h"
#include "engine/fid/companion_names.h"
#include "engine/fid/fid.h"
#include "engine/index/index.h"

namespace corvex {

namespace {

// Opens the handles, making the index first when it cannot be opened.
int open_temp_set(fhrequest *block) {
  uint16_t flags = fileset_open_flags(block);
  int status = fileset_open_handles(block, flags);
  if (status == FHS_OPENINDEX) {
    status = index_make(block);
    if (status == FHS_OK) status = fileset_open_handles(block, flags);
    if (status != FHS_OK) unlink(block->idxname);
  } else if (status == FHS_OK) {
    block->state |= ST_TIDXEXISTED;
  }
  if (status != FHS_OK) return status;
  status = openlist_add(block, flags);
  if (status != FHS_OK) fileset_close_handles(block);
  return status;
}

int make_temp(fhrequest *block) {
  block->mode |= FH_TEMPINDEX;
  block->mode &= static_cast<uint16_t>(~(FH_NOKEY | FH_NOFID));
  if (!block->keybuf) return FHS_BADTEMPEXPR;
  int status = fid_prepare(block);
  if (status != FHS_OK) return status;
  block->mode &= static_cast<uint16_t>(~FH_HASHED);
  if (block->idxname[0] == 0 && !derive_name(block->datname, kTempExt, block->idxname, FH_NAMESIZE)) {
    return FHS_OPENINDEX;
  }
  block->state &= static_cast<uint16_t>(~ST_TIDXEXISTED);
  if ((status = open_temp_set(block)) != FHS_OK) return status;
  if ((status = index_open(block)) != FHS_OK) return status;
  block->state |= ST_POSITIONED | ST_HDRDIRTY;
  if ((status = header_read(block, true)) != FHS_OK) return status;
  block->recpos = block->reclen;
  block->keybuf = shared_keybuf();
  return FHS_OK;
}

}  // namespace

int op_tempindex(fhrequest *block) {
  int status = make_temp(block);
  if (status != FHS_OK) fileset_abandon(block);
  return status;
}

}  // namespace corvex
