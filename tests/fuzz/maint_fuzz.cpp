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
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/maintenance/filemaint.h"
#include "engine/rfh.h"
#include "engine/rfhitem.h"
#include "tests/support/recording_progress.h"
#include "tests/support/scratch.h"

using namespace corvex;

namespace {

struct Template {
  const char *desc;
  const char *index_ext;
  std::string data;
  std::string index;
};

Template g_sets[3] = {
    {"length 30\nitem KEY C 0 10\nitem VAL C 10 10\nitem TAG C 20 10\nkey KEY\nkey TAG\n", ".idx", "", ""},
    {"length 40\nvarlen\nitem KEY C 4 10\nitem VAL C 14 26\nkey KEY\n", ".idx", "", ""},
    {"length 20\nhashed 281\nitem KEY C 0 10\nitem VAL C 10 10\nkey KEY\n", ".hsh", "", ""},
};

std::string g_dir;

std::string slurp(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void spill(const std::string &file, const std::string &bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string name(int set, const char *ext) { return g_dir + "/S" + std::to_string(set) + ext; }

// Makes set `i` with 30 records, every fourth deleted, and keeps its bytes.
bool make_template(int i) {
  Template &t = g_sets[i];
  Description d;
  std::string error;
  if (!parse_description(t.desc, &d, &error) || !fid_write(d, name(i, ".fid").c_str(), &error)) return false;
  fhrequest block = {};
  snprintf(block.datname, sizeof block.datname, "%s", name(i, ".dat").c_str());
  if (_rfhmake(&block) != 0) return false;
  for (int r = 0; r < 30; r++) {
    std::string key = "K" + std::to_string(r);
    std::string val = std::string(static_cast<size_t>(r % 7 + 1), static_cast<char>('a' + r % 26));
    _rfhitemset(&block, "KEY", 0, key.c_str());
    _rfhitemset(&block, "VAL", 0, val.c_str());
    if (i == 0) _rfhitemset(&block, "TAG", 0, val.c_str());
    _rfhwrite(&block, 0);
  }
  for (int r = 0; r < 30; r += 4) {
    _rfhitemset(&block, "KEY", 0, ("K" + std::to_string(r)).c_str());
    _rfhdelete(&block);
  }
  _rfhclose(&block);
  t.data = slurp(name(i, ".dat"));
  t.index = slurp(name(i, t.index_ext));
  return !t.data.empty() && !t.index.empty();
}

bool setup() {
  static Scratch scratch;
  if (!scratch.made()) return false;
  g_dir = scratch.dir();
  // The engine stays initialised, so that every run only raises its count.
  static fhrequest control = {};
  control.opcode = FHOP_INIT;
  if (_filehandler(&control) != 0) return false;
  for (int i = 0; i < 3; i++) {
    if (!make_template(i)) return false;
  }
  return true;
}

void damage(std::string &bytes, uint8_t kind, uint16_t offset) {
  if (bytes.empty()) return;
  size_t at = offset % (bytes.size() + 1);
  switch (kind & 3) {
    case 0:
      if (at < bytes.size()) bytes[at] = static_cast<char>(bytes[at] ^ (1 << (kind >> 5)));
      break;
    case 1:
      if (at < bytes.size()) bytes[at] = static_cast<char>(kind);
      break;
    case 2:
      bytes.resize(at);
      break;
    case 3: {
      char count[16];
      snprintf(count, sizeof count, "%08X", static_cast<unsigned>(offset) * (kind >> 2));
      if (bytes.size() >= 9) memcpy(&bytes[1], count, 8);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = setup();
  if (!ready || size < 1) return 0;
  uint8_t choice = data[0];
  int set = choice % 3;
  Template &t = g_sets[set];
  std::string bytes[2] = {t.data, t.index};
  for (size_t at = 1; at + 4 <= size; at += 4) {
    uint16_t offset = static_cast<uint16_t>(data[at + 2] | data[at + 3] << 8);
    damage(bytes[data[at] & 1], data[at + 1], offset);
  }
  std::string dat = name(set, ".dat");
  spill(dat, bytes[0]);
  spill(name(set, t.index_ext), bytes[1]);

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
  unlink(name(set, ".nas").c_str());
  return 0;
}
