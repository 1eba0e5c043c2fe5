// Fuzz target: opening damaged file sets and walking them, as a program
// does, through the engine's open and its mapped reads.
//
// The sets of damaged_sets.h, the variable-length one most often. The
// first input byte chooses the set (bits 0-1: 3 picks variable length
// too), the shared mode (bit 2), whether another handle cuts the data file
// to half its size in the middle of the walks (bit 3) and whether a record
// is written at the end (bit 4); the rest is the damage list. The open,
// the walk by key, the walk by record number, lookups by key and the write
// must each end with a status: never a crash, a signal from a mapped page
// beyond the end of the file, a hang or a touch outside a buffer.
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "tests/fuzz/damaged_sets.h"

namespace {

fuzz::DamagedSets g_sets;
constexpr int kSteps = fuzz::kRecords + 20;

int netmode(const char *name) {
  fhrequest control = {};
  char mode[16];
  snprintf(mode, sizeof mode, "%s", name);
  control.keybuf = mode;
  control.opcode = FHOP_NETMODE;
  return _filehandler(&control);
}

// Reads on from the current position: at most kSteps records, deleted ones
// passed over. Halfway, with `cut`, another handle shortens the data file.
void walk(fhrequest *block, bool cut) {
  for (int n = 0; n < kSteps; n++) {
    if (cut && n == 3 && truncate(block->datname, lseek(block->datfd, 0, SEEK_END) / 2) != 0) return;
    if (_rfhread(block, 0) != 0 && block->status != FHS_DELETED) return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = g_sets.setup();
  if (!ready || size < 1) return 0;
  const uint8_t choice = data[0];
  const int set = (choice & 3) == 3 ? fuzz::kVarlenSet : choice & 3;
  const bool cut = (choice & 8) != 0;
  g_sets.spill_damaged(set, data + 1, size - 1);
  if ((choice & 4) && netmode("MSNET") != 0) return 0;

  fhrequest block = {};
  snprintf(block.datname, sizeof block.datname, "%s", g_sets.data_name(set).c_str());
  // 113 leaves the file open: a program may go on with it.
  if (_rfhopen(&block) == 0 || block.status == FHS_RECOVER) {
    const bool hashed = (block.mode & FH_HASHED) != 0;
    if (block.nkeys > 0 && !hashed && _rfhsetkey(&block, 1) == 0) {
      memset(block.keybuf, ' ', FH_KEYBUFSIZE);
      if (_rfhposn(&block, 0) == 0) walk(&block, cut);
    }
    if (_rfhsetkey(&block, 0) == 0 || block.nkeys == 0) {
      memset(block.keybuf, 0, sizeof(uint32_t));
      if (_rfhposn(&block, 0) == 0) walk(&block, cut);
    }
    if (block.nkeys > 0 && _rfhsetkey(&block, 1) == 0) {
      for (int r = 0; r < fuzz::kRecords; r += 31) {
        std::string key = "K" + std::to_string(r);
        memset(block.keybuf, ' ', FH_KEYBUFSIZE);
        memcpy(block.keybuf, key.data(), key.size());
        if (_rfhposn(&block, 1) == 0 && (block.state & ST_POSITIONED)) _rfhread(&block, 1);
      }
    }
    if (choice & 16) {
      _rfhitemset(&block, "KEY", 0, "K99");
      _rfhitemset(&block, "VAL", 0, "written");
      _rfhwrite(&block, 0);
    }
    _rfhclose(&block);
  }
  if (choice & 4) netmode("SINGLE");
  return 0;
}
