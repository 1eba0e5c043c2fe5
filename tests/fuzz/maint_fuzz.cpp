// Fuzz target: file maintenance over damaged file sets.
//
// Three sound file sets are made once: fixed-length records with two keys,
// variable-length records with one key, and a hashed file, each with some
// records deleted. The first input byte chooses the set, the VERIFY flags
// and the answer to PACK's question; the rest is a list of damages, four
// bytes each: which file (data or index), what (flip a byte, set a byte,
// truncate, write a record count into the header) and a 16-bit offset,
// the value coming from the kind byte. VERIFY, RECOVER, VERIFY, PACK and
// VERIFY then run over the damaged set: each must end with a result, never
// crash, hang or touch memory outside its buffers.
#include <stddef.h>
#include <stdint.h>
#include <unistd.h>

#include <string>

#include "engine/maintenance/filemaint.h"
#include "tests/fuzz/damaged_sets.h"
#include "tests/support/recording_progress.h"

using namespace corvex;

namespace {

fuzz::DamagedSets g_sets;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = g_sets.setup();
  if (!ready || size < 1) return 0;
  uint8_t choice = data[0];
  int set = choice % fuzz::kSets;
  g_sets.spill_damaged(set, data + 1, size - 1);
  std::string dat = g_sets.data_name(set);

  testing::RecordingProgress window;
  window.answers = {(choice & 0x80) != 0};
  corvex_set_progress_window(&window);
  // Network use would wait on locks; the other VERIFY flags are the input's.
  int flags = (choice >> 2) & (FM_KEEPGOING | FM_SKIPINDEX | FM_SKIPRECORDS);
  filemaint(FM_VERIFY, dat.c_str(), "", "", "", flags, nullptr);
  filemaint(FM_RECOVER, dat.c_str(), "", "", "", 0, nullptr);
  filemaint(FM_VERIFY, dat.c_str(), "", "", "", FM_KEEPGOING, nullptr);
  filemaint(FM_PACK, dat.c_str(), "", "", "", (choice & 0x40) ? FM_STRIP : 0, nullptr);
  filemaint(FM_VERIFY, dat.c_str(), "", "", "", FM_KEEPGOING, nullptr);
  corvex_set_progress_window(nullptr);
  unlink(g_sets.name(set, ".nas").c_str());
  return 0;
}
