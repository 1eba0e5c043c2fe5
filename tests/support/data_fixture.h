// A file set on disk made from a text description, driven through
// _filehandler as a caller would.
#ifndef TESSALY_TESTS_SUPPORT_DATA_FIXTURE_H
#define TESSALY_TESTS_SUPPORT_DATA_FIXTURE_H

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"

// Writes the FID of `description` to `path`; fails the test when it is bad.
inline void write_fid(const std::string &path, const std::string &description) {
  corvex::Description d;
  std::string error;
  ASSERT_TRUE(corvex::parse_description(description, &d, &error)) << error;
  ASSERT_TRUE(corvex::fid_write(d, path.c_str(), &error)) << error;
}

// Calls init on construction and terminate on destruction.
struct EngineSession {
  explicit EngineSession(const char *netmode = nullptr) {
    fhrequest b = {};
    b.opcode = FHOP_INIT;
    _filehandler(&b);
    if (netmode) select(netmode);
  }
  ~EngineSession() {
    select("SINGLE");
    fhrequest b = {};
    b.opcode = FHOP_TERMINATE;
    _filehandler(&b);
  }
  static void select(const char *netmode) {
    char name[16];
    strncpy(name, netmode, sizeof name - 1);
    name[sizeof name - 1] = '\0';
    fhrequest b = {};
    b.opcode = FHOP_NETMODE;
    b.keybuf = name;
    _filehandler(&b);
  }
};

// One open file: its request block and record buffer.
class Table {
 public:
  Table() = default;
  Table(const Table &) = delete;
  Table &operator=(const Table &) = delete;
  ~Table() {
    if (open_) op(FHOP_CLOSE);
  }

  // Opcode 1 or 2 on `datname`, whose FID is beside it (derived).
  int start(int opcode, const std::string &datname, uint16_t mode = 0, const char *fidname = "") {
    block = fhrequest();
    block.mode = mode;
    strncpy(block.datname, datname.c_str(), FH_NAMESIZE - 1);
    strncpy(block.fidname, fidname, FH_NAMESIZE - 1);
    block.hdrtries = 100;
    block.rectries = 1;
    int status = op(opcode);
    // 113: opened after an unfinished update; the set is open all the same.
    if (status == FHS_OK || status == FHS_RECOVER) {
      open_ = true;
      buffer.assign(block.reclen + 8u, ' ');
      block.recbuf = buffer.data();
    }
    return status;
  }
  int make(const std::string &datname, uint16_t mode = 0) { return start(FHOP_MAKE, datname, mode); }
  int open(const std::string &datname, uint16_t mode = 0) { return start(FHOP_OPEN, datname, mode); }
  int close() {
    open_ = false;
    return op(FHOP_CLOSE);
  }

  int op(int opcode) {
    block.opcode = static_cast<uint8_t>(opcode);
    _filehandler(&block);
    return block.status;
  }

  // Clears the record buffer to an active blank record.
  void clear() {
    memset(block.recbuf, ' ', block.reclen);
    block.recbuf[block.reclen - 1] = '\n';
  }
  // Puts `text` at the raised offset `at` of the record buffer.
  void put(int at, const std::string &text) { memcpy(block.recbuf + at, text.data(), text.size()); }
  std::string get(int at, int len) const { return std::string(block.recbuf + at, static_cast<size_t>(len)); }
  bool positioned() const { return (block.state & ST_POSITIONED) != 0; }

  int position_key(const std::string &text) {
    memset(block.keybuf, 0, FH_KEYBUFSIZE);
    memcpy(block.keybuf, text.data(), text.size());
    return op(FHOP_POSITION);
  }
  int position_number(uint32_t n) {
    memcpy(block.keybuf, &n, sizeof n);
    return op(FHOP_POSITION);
  }
  int setkey(int key) {
    block.keyarg = static_cast<uint8_t>(key);
    return op(FHOP_SETKEY);
  }

  fhrequest block = {};
  std::vector<char> buffer;

 private:
  bool open_ = false;
};

// `value` as `width` decimal digits with leading zeros.
inline std::string field(int value, int width) {
  std::string s = std::to_string(value);
  return std::string(static_cast<size_t>(width) - s.size(), '0') + s;
}

#endif
