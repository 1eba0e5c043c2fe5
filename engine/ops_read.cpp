#include "engine/ops.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "engine/datafile.h"
#include "engine/openlist.h"
#include "engine/ops_util.h"
#include "engine/records.h"

namespace corvex {

namespace {

// A stream file moves up to `reclen` bytes at `recpos`.
int read_stream(fhrequest *block) {
  if (block->recpos < 0 || block->reclen == 0) return FHS_NORECORD;
  ssize_t got;
  do {
    got = pread(block->datfd, block->recbuf, block->reclen, block->recpos);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return FHS_READDATA;
  if (got == 0) return FHS_NORECORD;
  memset(block->recbuf + got, REC_FILL, block->reclen - static_cast<size_t>(got));
  block->recpos += static_cast<int32_t>(got);
  return FHS_OK;
}

int read_record(fhrequest *block) {
  if (block->recpos < block->reclen) {
    set_positioned(block, false);
    return FHS_NORECORD;
  }
  uint32_t len;
  int status = record_read(block, static_cast<uint32_t>(block->recpos), block->recbuf, &len);
  if (status != FHS_OK) return status;
  build_current_key(block);
  char mark = block->recbuf[0];
  if (!(block->mode & FH_STAY)) status = advance(block, len);
  if (status != FHS_OK) return status;
  return mark == REC_ACTIVE ? FHS_OK : FHS_DELETED;
}

}  // namespace

int op_read(fhrequest *block) {
  int status = openlist_use(block);
  if (status != FHS_OK) return status;
  if (!(block->state & ST_POSITIONED)) return FHS_NORECORD;
  if ((block->mode & FH_HASHED) && keys_in_use(block)) return FHS_OK;
  if (block->nitems == 0) return read_stream(block);
  return with_index_guard(block, read_record);
}

}  // namespace corvex
