#include "engine/rfh.h"

#include <string.h>

#include <string>

#include "engine/dispatch.h"
#include "util/memory.h"

namespace corvex {

namespace {

constexpr uint16_t kDefaultHdrTries = 100;

std::string &tmpdir() {
  static std::string dir;
  return dir;
}

int32_t run(fhrequest *block, uint8_t opcode) {
  if (!block) return -1;
  block->status = FHS_OK;
  block->opcode = opcode;
  return _filehandler(block);
}

int32_t run_flagged(fhrequest *block, uint8_t opcode, uint16_t flag, int32_t on) {
  if (!block) return -1;
  if (on != 0) {
    block->mode |= flag;
  } else {
    block->mode &= static_cast<uint16_t>(~flag);
  }
  return run(block, opcode);
}

// The record buffer of an open file: reclen spaces ending in a line feed,
// then a zero byte; 8 spare bytes.
char *new_record_buffer(uint16_t reclen) {
  char *buf = static_cast<char *>(globalmalloc(static_cast<size_t>(reclen) + 8));
  if (!buf) return nullptr;
  memset(buf, ' ', reclen);
  if (reclen > 0) buf[reclen - 1] = '\n';
  buf[reclen] = '\0';
  return buf;
}

int32_t run_open(fhrequest *block, uint8_t opcode) {
  if (!block) return -1;
  if (block->hdrtries == 0) block->hdrtries = kDefaultHdrTries;
  if (block->rectries == 0) block->rectries = 1;
  // 113 reports a file opened after an unfinished update: it is open.
  if (run(block, opcode) != 0 && block->status != FHS_RECOVER) return -1;
  uint8_t opened = block->status;
  char *buf = new_record_buffer(block->reclen);
  if (!buf) {
    run(block, FHOP_CLOSE);
    block->status = FHS_NOMEMORY;
    return -1;
  }
  block->recbuf = buf;
  block->status = opened;
  return opened == FHS_OK ? 0 : -1;
}

}  // namespace

const char *engine_tmpdir() { return tmpdir().c_str(); }

}  // namespace corvex

using namespace corvex;

int32_t _rfhopen(fhrequest *block) { return run_open(block, FHOP_OPEN); }
int32_t _rfhmake(fhrequest *block) { return run_open(block, FHOP_MAKE); }
int32_t _rfhmaketidx(fhrequest *block) { return run_open(block, FHOP_TEMPINDEX); }

int32_t _rfhclose(fhrequest *block) {
  if (!block) return -1;
  int32_t result = run(block, FHOP_CLOSE);
  globalmfree(block->recbuf);
  block->recbuf = nullptr;
  return result;
}

int32_t _rfhread(fhrequest *block, int32_t stay) { return run_flagged(block, FHOP_READ, FH_STAY, stay); }
int32_t _rfhwrite(fhrequest *block, int32_t stay) { return run_flagged(block, FHOP_WRITE, FH_STAY, stay); }
int32_t _rfhadd(fhrequest *block, int32_t stay) { return run_flagged(block, FHOP_ADD, FH_STAY, stay); }
int32_t _rfhposn(fhrequest *block, int32_t exact) { return run_flagged(block, FHOP_POSITION, FH_EXACT, exact); }
int32_t _rfhbacksp(fhrequest *block) { return run(block, FHOP_BACKSPACE); }
int32_t _rfhdelete(fhrequest *block) { return run(block, FHOP_DELETE); }
int32_t _rfhrlock(fhrequest *block) { return run(block, FHOP_LOCK); }
int32_t _rfhrunlock(fhrequest *block) { return run(block, FHOP_UNLOCK); }
int32_t _rfhsecure(fhrequest *block) { return run(block, FHOP_SECURE); }

int32_t _rfhsetkey(fhrequest *block, uint8_t key) {
  if (!block) return -1;
  block->keyarg = key;
  return run(block, FHOP_SETKEY);
}

void _rfhsettmpdir(const char *dir) { tmpdir() = dir ? dir : ""; }

void _rfhgetversion(uint16_t *major, uint16_t *minor) {
  if (major) *major = 1537;
  if (minor) *minor = 257;
}
