// Sound file sets made once per fuzz program and damaged per input: the
// shared part of the targets that run the engine over damaged files.
//
// Three sets: fixed-length records with two keys, variable-length records
// with one key, and a hashed file, each with 300 records (a few pages, so
// that a file cut short loses whole pages) of which every fourth is deleted
// again. A damage list is four bytes per damage: which
// file (bit 0: data or index), what (flip a bit, set a byte, truncate,
// write a record count into the header; the value comes from the kind
// byte) and a 16-bit little-endian offset.
#ifndef TESSALY_TESTS_FUZZ_DAMAGED_SETS_H
#define TESSALY_TESTS_FUZZ_DAMAGED_SETS_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/rfh.h"
#include "engine/rfhitem.h"
#include "tests/support/scratch.h"

namespace fuzz {

constexpr int kSets = 3;
constexpr int kVarlenSet = 1;
constexpr int kRecords = 300;

struct DamagedSets {
  struct Template {
    const char *desc;
    const char *index_ext;
    std::string data;
    std::string index;
  };
  Template sets[kSets] = {
      {"length 30\nitem KEY C 0 10\nitem VAL C 10 10\nitem TAG C 20 10\nkey KEY\nkey TAG\n", ".idx", "", ""},
      {"length 40\nvarlen\nitem KEY C 4 10\nitem VAL C 14 26\nkey KEY\n", ".idx", "", ""},
      {"length 20\nhashed 601\nitem KEY C 0 10\nitem VAL C 10 10\nkey KEY\n", ".hsh", "", ""},
  };
  std::string dir;

  // Makes the folder and the three sets, keeping the engine initialised so
  // that every run only raises its count. False when anything fails.
  bool setup() {
    static Scratch scratch;
    if (!scratch.made()) return false;
    dir = scratch.dir();
    static fhrequest control = {};
    control.opcode = FHOP_INIT;
    if (_filehandler(&control) != 0) return false;
    for (int i = 0; i < kSets; i++) {
      if (!make(i)) return false;
    }
    return true;
  }

  std::string name(int set, const char *ext) const { return dir + "/S" + std::to_string(set) + ext; }
  std::string data_name(int set) const { return name(set, ".dat"); }

  // Writes set `set` with the damages of `list` (`size` bytes) applied.
  void spill_damaged(int set, const uint8_t *list, size_t size) const {
    const Template &t = sets[set];
    std::string bytes[2] = {t.data, t.index};
    for (size_t at = 0; at + 4 <= size; at += 4) {
      uint16_t offset = static_cast<uint16_t>(list[at + 2] | list[at + 3] << 8);
      damage(bytes[list[at] & 1], list[at + 1], offset);
    }
    spill(name(set, ".dat"), bytes[0]);
    spill(name(set, t.index_ext), bytes[1]);
  }

 private:
  static std::string slurp(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static void spill(const std::string &file, const std::string &bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  bool make(int i) {
    Template &t = sets[i];
    corvex::Description d;
    std::string error;
    if (!corvex::parse_description(t.desc, &d, &error) || !corvex::fid_write(d, name(i, ".fid").c_str(), &error))
      return false;
    fhrequest block = {};
    snprintf(block.datname, sizeof block.datname, "%s", name(i, ".dat").c_str());
    if (_rfhmake(&block) != 0) return false;
    for (int r = 0; r < kRecords; r++) {
      std::string key = "K" + std::to_string(r);
      std::string val = std::string(static_cast<size_t>(r % 7 + 1), static_cast<char>('a' + r % 26));
      _rfhitemset(&block, "KEY", 0, key.c_str());
      _rfhitemset(&block, "VAL", 0, val.c_str());
      if (i == 0) _rfhitemset(&block, "TAG", 0, val.c_str());
      _rfhwrite(&block, 0);
    }
    for (int r = 0; r < kRecords; r += 4) {
      _rfhitemset(&block, "KEY", 0, ("K" + std::to_string(r)).c_str());
      _rfhdelete(&block);
    }
    _rfhclose(&block);
    t.data = slurp(name(i, ".dat"));
    t.index = slurp(name(i, t.index_ext));
    return !t.data.empty() && !t.index.empty();
  }

  static void damage(std::string &bytes, uint8_t kind, uint16_t offset) {
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
};

}  // namespace fuzz

#endif
