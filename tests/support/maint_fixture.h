// Shared set-up of the file maintenance tests: an initialised engine, a
// recording progress window and tables of numbered records.
#ifndef TESSALY_TESTS_SUPPORT_MAINT_FIXTURE_H
#define TESSALY_TESTS_SUPPORT_MAINT_FIXTURE_H

#include <stdio.h>
#include <string.h>

#include <deque>
#include <filesystem>
#include <set>
#include <string>

#include "engine/fid/fid.h"
#include "engine/maintenance/filemaint.h"
#include "tests/support/recording_progress.h"
#include "tests/support/rfh_fixture.h"

// Fixed-length records with a unique key and a second key.
inline const char kKeyedDesc[] =
    "length 30\n"
    "item KEY C 0 10\n"
    "item VAL C 10 10\n"
    "item TAG C 20 10\n"
    "key KEY\n"
    "key TAG\n";

class MaintTest : public EngineTest {
 protected:
  // Makes NAME.dat from `desc` with records K000.. (VAL V<i>, TAG T<i % 4>)
  // of which those in `deleted` are deleted again; closes it.
  void table(const std::string &name, const std::string &desc, int records, std::set<int> deleted = {}) {
    fhrequest &block = new_block();
    make(&block, name, desc);
    for (int i = 0; i < records; i++) write_record(&block, i, "V" + std::to_string(i));
    for (int i : deleted) {
      fill(&block, {{"KEY", key(i).c_str()}});
      ASSERT_EQ(_rfhdelete(&block), 0) << i;
    }
    ASSERT_EQ(_rfhclose(&block), 0);
  }

  void write_record(fhrequest *block, int i, const std::string &val) {
    fill(block, {{"KEY", key(i).c_str()}, {"VAL", val.c_str()}});
    if (_fhfidoffset(block, "TAG") >= 0) fill(block, {{"TAG", ("T" + std::to_string(i % 4)).c_str()}});
    ASSERT_EQ(_rfhwrite(block, 0), 0) << "status " << +block->status;
  }

  static std::string key(int i) {
    char text[16];
    snprintf(text, sizeof text, "K%03d", i);
    return text;
  }

  int run(int action, const std::string &name, int flags = 0, const std::string &log = "") {
    return filemaint(action, path(name + ".dat").c_str(), "", "", "", flags, log.empty() ? nullptr : log.c_str());
  }

  // A block that lives as long as the test (the fixture closes what is
  // left open at its end).
  fhrequest &new_block() { return blocks_.emplace_back(); }

  // A block for the existing NAME.dat, ready to open; closed at the end of
  // the test when still open.
  fhrequest &existing(const std::string &name) {
    fhrequest &block = new_block();
    strcpy(block.datname, path(name + ".dat").c_str());
    opened_.push_back(&block);
    return block;
  }

  bool exists(const std::string &file) const { return std::filesystem::exists(path(file)); }

  // The last text of `line` (a FileMaintLine).
  std::string line(int which) const { return window_.lines[which]; }

  std::deque<fhrequest> blocks_;
  corvex::testing::RecordingProgress window_;
  corvex::testing::InstalledProgress installed_{window_};
};

#endif
