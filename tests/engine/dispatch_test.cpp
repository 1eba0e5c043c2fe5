#include <string.h>

#include <gtest/gtest.h>

#include "engine/core/engine.h"
#include "engine/core/keybuf.h"
#include "engine/core/openlist.h"
#include "engine/dispatch.h"
#include "engine/status.h"

using namespace corvex;

namespace {

int call(fhrequest &block, uint8_t opcode) {
  block.opcode = opcode;
  int result = _filehandler(&block);
  // The result always agrees with the status left in the block.
  EXPECT_EQ(result, block.status == 0 ? 0 : -1);
  return block.status;
}

// Brings the engine to its state at load: count 0, nothing set up.
void reset_engine() {
  fhrequest block = {};
  while (engine().initcount > 0) call(block, FHOP_TERMINATE);
  call(block, FHOP_TERMINATE);
  engine().netmode = 0;
}

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_engine(); }
  void TearDown() override { reset_engine(); }
  fhrequest block_ = {};
};

TEST_F(DispatchTest, NothingRunsBeforeInit) {
  char name[] = "MSNET";
  block_.keybuf = name;
  EXPECT_EQ(call(block_, FHOP_READ), FHS_NOTINIT);
  EXPECT_EQ(call(block_, FHOP_NETMODE), FHS_NOTINIT);
  EXPECT_EQ(engine().netmode, 0);
  EXPECT_EQ(call(block_, 10), FHS_NOTINIT);
  EXPECT_EQ(shared_keybuf(), nullptr);
  EXPECT_EQ(_filehandler(nullptr), -1);
}

TEST_F(DispatchTest, UnknownOpcodesAnswer101) {
  ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  for (int op : {10, 17, 18, 21, 99, 255}) {
    SCOPED_TRACE(op);
    EXPECT_EQ(call(block_, static_cast<uint8_t>(op)), FHS_BADOPCODE);
  }
  EXPECT_EQ(call(block_, FHOP_READ), FHS_NOTOPEN);  // a known one: the block is not open
  EXPECT_EQ(call(block_, FHOP_ADD), FHS_NOTOPEN);
}

TEST_F(DispatchTest, InitCountsAndTerminateShutsDownAtZero) {
  ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  char *keybuf = shared_keybuf();
  ASSERT_NE(keybuf, nullptr);
  ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  EXPECT_EQ(shared_keybuf(), keybuf);  // only the first init sets up
  EXPECT_EQ(engine().initcount, 2);
  EXPECT_EQ(call(block_, FHOP_TERMINATE), FHS_OK);
  EXPECT_EQ(call(block_, FHOP_UNLOCK), FHS_NOTOPEN);  // still initialised
  EXPECT_EQ(call(block_, FHOP_TERMINATE), FHS_OK);
  // Count 0: the set-up stays, yet every call but init and terminate answers 12.
  EXPECT_NE(shared_keybuf(), nullptr);
  EXPECT_EQ(call(block_, FHOP_READ), FHS_NOTINIT);
  EXPECT_EQ(call(block_, FHOP_TERMINATE), FHS_OK);
  EXPECT_EQ(shared_keybuf(), nullptr);
  EXPECT_EQ(engine().openlist, nullptr);
  EXPECT_EQ(call(block_, FHOP_TERMINATE), FHS_OK);  // again, harmlessly
}

TEST_F(DispatchTest, InitAtZeroReclaimsTheEarlierSetUp) {
  ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  fhrequest other = {};
  ASSERT_EQ(openlist_add(&other, 0), FHS_OK);
  ASSERT_EQ(call(block_, FHOP_TERMINATE), FHS_OK);
  EXPECT_EQ(call(block_, FHOP_READ), FHS_NOTINIT);
  ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  EXPECT_NE(shared_keybuf(), nullptr);
  // The fresh set-up starts with an empty list; the old one was freed (the
  // leak checker of the sanitizer build would report it otherwise).
  EXPECT_EQ(openlist_find(&other), nullptr);
  EXPECT_EQ(engine().initcount, 1);
}

TEST_F(DispatchTest, InitCountSaturates) {
  for (int i = 0; i < 200; i++) ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  EXPECT_EQ(engine().initcount, 127);
  EXPECT_EQ(call(block_, FHOP_TERMINATE), FHS_OK);
  EXPECT_EQ(engine().initcount, 126);
  EXPECT_NE(shared_keybuf(), nullptr);
}

TEST_F(DispatchTest, StatusAndResultAgree) {
  ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  char good[] = "msnet";
  char bad[] = "LANTASTIC";
  block_.keybuf = good;
  EXPECT_EQ(call(block_, FHOP_NETMODE), FHS_OK);
  block_.keybuf = bad;
  EXPECT_EQ(call(block_, FHOP_NETMODE), FHS_BADNETMODE);
  EXPECT_EQ(call(block_, FHOP_LOCK), FHS_NOTOPEN);  // not registered
  block_.opcode = FHOP_INIT;
  EXPECT_EQ(_filehandler(&block_), 0);
  EXPECT_EQ(+block_.status, 0);
}

TEST_F(DispatchTest, HeaderLockLeftHeldIsReleased) {
  ASSERT_EQ(call(block_, FHOP_INIT), FHS_OK);
  engine().hdrlockheld = true;
  EXPECT_EQ(call(block_, FHOP_UNLOCK), FHS_NOTOPEN);
  EXPECT_FALSE(engine().hdrlockheld);
}

TEST(StatusMessages, FullMessagesFromTheTable) {
  char out[64];
  status_message(FHS_OPENDATA, out, sizeof out);
  EXPECT_STREQ(out, "Error opening data file.");
  status_message(FHS_NOMEMORY, out, sizeof out);
  EXPECT_STREQ(out, "Error : out of memory.");
  status_message(FHS_THREADEXPR, out, sizeof out);
  EXPECT_STREQ(out, "Error : bad thread expression.");
  status_message(15, out, sizeof out);
  EXPECT_STREQ(out, "Error .");
  status_message(FHS_OLDINDEX, out, sizeof out);
  EXPECT_STREQ(out, "Error .");
  for (int code : {0, 45, 54, 100, 107, -1}) {
    EXPECT_EQ(status_entry(code), nullptr);
    EXPECT_EQ(status_message(code, out, sizeof out), 0u);
    EXPECT_STREQ(out, "");
  }
  char small[8];
  EXPECT_EQ(status_message(FHS_READFID, small, sizeof small), strlen("Error reading FID file."));
  EXPECT_STREQ(small, "Error r");
}

}  // namespace
