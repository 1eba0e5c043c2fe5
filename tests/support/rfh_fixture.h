// Shared set-up of the tests of the item exports, parking and hash files: an
// initialised engine, a scratch directory and files made from descriptions.
#ifndef TESSALY_TESTS_SUPPORT_RFH_FIXTURE_H
#define TESSALY_TESTS_SUPPORT_RFH_FIXTURE_H

#include <string.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "engine/fid/description.h"
#include "engine/fid/fidwrite.h"
#include "engine/rfh.h"
#include "engine/rfhitem.h"
#include "tests/support/scratch.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(call(&control_, FHOP_INIT), 0); }
  void TearDown() override {
    for (fhrequest *block : opened_) {
      if (block->recbuf) _rfhclose(block);
    }
    // The first terminate lowers the count, the second shuts down and closes
    // whatever a test left open.
    call(&control_, FHOP_TERMINATE);
    call(&control_, FHOP_TERMINATE);
  }

  static int call(fhrequest *block, uint8_t opcode) {
    block->opcode = opcode;
    return _filehandler(block);
  }

  // Writes NAME.fid from `desc` and prepares `block` for NAME.dat; the block
  // is closed at the end of the test if it is still open.
  void describe(fhrequest *block, const std::string &name, const std::string &desc) {
    corvex::Description d;
    std::string error;
    ASSERT_TRUE(corvex::parse_description(desc, &d, &error)) << error;
    ASSERT_TRUE(corvex::fid_write(d, path(name + ".fid").c_str(), &error)) << error;
    *block = fhrequest();
    strcpy(block->datname, path(name + ".dat").c_str());
    opened_.push_back(block);
  }

  // Makes NAME from `desc` and leaves it open through `block`.
  void make(fhrequest *block, const std::string &name, const std::string &desc) {
    describe(block, name, desc);
    ASSERT_EQ(_rfhmake(block), 0) << "status " << +block->status;
  }

  // Sets the items of `block`'s record buffer from NAME=value pairs.
  static void fill(fhrequest *block, std::initializer_list<std::pair<const char *, const char *>> items) {
    for (const auto &[name, value] : items) ASSERT_EQ(_rfhitemset(block, name, 0, value), 0) << name;
  }

  static std::string item(fhrequest *block, const char *name, int index = 0) {
    char out[256];
    if (_rfhitemget(block, name, index, out) != 0) return "<none>";
    return out;
  }

  // Puts `key` at `keybuf`, padded with spaces to `width`.
  static void set_key(fhrequest *block, const std::string &key, size_t width) {
    std::string padded = key;
    padded.resize(width, ' ');
    memcpy(block->keybuf, padded.c_str(), width + 1);
  }

  std::string path(const std::string &file) const { return scratch_.path(file); }

  std::string contents(const std::string &file) const {
    std::ifstream in(path(file), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  Scratch scratch_;
  fhrequest control_ = {};
  std::vector<fhrequest *> opened_;  // closed at the end when still open
};

#endif
