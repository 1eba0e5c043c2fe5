#include <string.h>

#include <fstream>

#include <gtest/gtest.h>

#include "engine/fid/companion_names.h"
#include "engine/fid/fid.h"
#include "engine/fid/fidwrite.h"
#include "tests/support/scratch.h"

using namespace corvex;

namespace {

fhitemdef item(const char *name, char type, uint16_t offset, uint16_t length, uint16_t count = 1) {
  fhitemdef it = {};
  strncpy(it.name, name, FID_NAMELEN);
  it.type = type;
  it.just = 'L';
  it.offset = offset;
  it.length = length;
  it.count = count;
  return it;
}

fhkeydef key(std::initializer_list<fhsegment> segs) {
  fhkeydef k = {};
  for (const fhsegment &s : segs) {
    k.seg[k.nsegs++] = s;
    k.keylen = static_cast<uint8_t>(k.keylen + s.length);
  }
  return k;
}

// A description of 40 data bytes: four items, two keys, one thread.
Description sample() {
  Description d;
  d.datalen = 40;
  d.items = {item("NAME", 'C', 0, 10), item("DATE", 'D', 10, 8), item("LINK", 'C', 20, 4),
             item("AMOUNT", 'N', 24, 6, 2)};
  d.keys = {key({{0, 10, 0}}), key({{10, 8, SEG_DESCENDING}})};
  d.threads = {{"link", "name = 'abc' and x"}};
  return d;
}

class FidTest : public ::testing::Test {
 protected:
  // Writes `bytes` as the FID and loads it into block_.
  int load(const std::string &bytes, uint16_t mode = 0) {
    std::string path = scratch_.path("T.fid");
    std::ofstream(path, std::ios::binary) << bytes;
    fid_free(&block_);
    block_ = fhrequest();
    block_.mode = mode;
    strcpy(block_.fidname, path.c_str());
    block_.keybuf = keybuf_;
    return fid_load(&block_);
  }
  int load(const Description &d) { return load(fid_encode(d)); }

  void expect_nothing_loaded() {
    EXPECT_EQ(+block_.itemdefs, nullptr);
    EXPECT_EQ(+block_.keydefs, nullptr);
    EXPECT_EQ(+block_.threaddefs, nullptr);
    EXPECT_EQ(+block_.nitems, 0);
    EXPECT_EQ(+block_.nkeys, 0);
  }

  void TearDown() override { fid_free(&block_); }

  Scratch scratch_;
  fhrequest block_ = {};
  char keybuf_[FH_KEYBUFSIZE] = {};
};

TEST_F(FidTest, LoadsTablesWithRaisedOffsetsAndAppendedPrimaryKey) {
  ASSERT_EQ(load(sample()), FHS_OK);
  EXPECT_EQ(+block_.reclen, 42);
  EXPECT_EQ(+block_.nitems, 4);
  EXPECT_EQ(+block_.nkeys, 2);
  EXPECT_EQ(+block_.nthreads, 1);
  EXPECT_EQ(+block_.itemdefs[0].offset, 1);
  EXPECT_EQ(+block_.itemdefs[3].offset, 25);
  EXPECT_EQ(+block_.itemdefs[3].count, 2);
  EXPECT_EQ(+block_.keydefs[0].keylen, 10);
  EXPECT_EQ(+block_.keydefs[1].keylen, 18);
  EXPECT_EQ(+block_.keydefs[1].seg[0].offset, 10);  // segment offsets stay 0-based
  EXPECT_EQ(+block_.keydefs[1].seg[0].flags, SEG_DESCENDING);
  EXPECT_EQ(+block_.threaddefs[0].offset, 21);
  EXPECT_STREQ(block_.threaddefs[0].expr, "NAME = 'abc' AND X");
  EXPECT_EQ(block_.mode & (FH_VARLEN | FH_HASHED), 0);
}

TEST_F(FidTest, FlagsSetOrganisation) {
  Description d = sample();
  d.flags = FID_HASHED;
  d.hashsize = 1000;
  ASSERT_EQ(load(d), FHS_OK);
  EXPECT_TRUE(block_.mode & FH_HASHED);
  EXPECT_EQ(+block_.hashsize, 1000u);
  fid_free(&block_);
  d.flags = FID_VARLEN;
  d.items[0].offset = 4;
  d.items[0].length = 6;
  ASSERT_EQ(load(d), FHS_OK);
  EXPECT_TRUE(block_.mode & FH_VARLEN);
  EXPECT_FALSE(block_.mode & FH_HASHED);
  fid_free(&block_);
  d.flags = FID_VARLEN | FID_HASHED;
  EXPECT_EQ(load(d), FHS_HASHFIDMISMATCH);
  expect_nothing_loaded();
}

TEST_F(FidTest, FindsItemsByName) {
  ASSERT_EQ(load(sample()), FHS_OK);
  EXPECT_EQ(_fhfidoffset(&block_, "NAME"), 0);
  EXPECT_EQ(_fhfidoffset(&block_, "DATE"), 1);
  EXPECT_EQ(_fhfidoffset(&block_, "LINK"), 2);
  EXPECT_EQ(_fhfidoffset(&block_, "AMOUNT"), 3);
  EXPECT_EQ(_fhfidoffset(&block_, "A"), -1);       // before all
  EXPECT_EQ(_fhfidoffset(&block_, "ZZZ"), -1);     // after all
  EXPECT_EQ(_fhfidoffset(&block_, "EEE"), -1);     // between DATE and LINK
  EXPECT_EQ(_fhfidoffset(&block_, "name"), -1);    // case-sensitive
  EXPECT_EQ(_fhfidoffset(&block_, nullptr), -1);
  fhrequest empty = {};
  EXPECT_EQ(_fhfidoffset(&empty, "NAME"), -1);
}

TEST_F(FidTest, RecordLengthLimits) {
  Description d;
  d.datalen = 7;
  EXPECT_EQ(load(d), FHS_RECMIN);
  d.datalen = 8;
  ASSERT_EQ(load(d), FHS_OK);
  EXPECT_EQ(+block_.reclen, 10);
  d.datalen = 65534;  // reclen would not fit 16 bits
  EXPECT_EQ(load(d), FHS_READFID);
}

TEST_F(FidTest, DamagedFilesGiveTheirStatus) {
  const std::string good = fid_encode(sample());
  EXPECT_EQ(load(good.substr(0, 19)), FHS_READFID);
  std::string bad = good;
  bad[0] = 'X';
  EXPECT_EQ(load(bad), FHS_FIDVERSION);
  bad = good;
  bad[4] = 0x5F;  // version 607
  EXPECT_EQ(load(bad), FHS_FIDVERSION);
  EXPECT_EQ(load(good.substr(0, 20 + 10)), FHS_READFID);  // item cut short
  size_t keys = 20;  // the first key follows four items and their comment lines
  for (int i = 0; i < 4; i++) keys = good.find('\n', keys + 20) + 1;
  EXPECT_EQ(load(good.substr(0, keys + 50)), FHS_READFID);  // key cut short
  EXPECT_EQ(load(good.substr(0, good.rfind("LINK"))), FHS_READFID);  // thread lines missing
  expect_nothing_loaded();
  EXPECT_EQ(load(good.substr(0, good.size() - 3)), FHS_OK);  // a cut expression line still ends the file
}

TEST_F(FidTest, CountsThatDoNotFitAreRefused) {
  Description d = sample();
  d.items[3].count = 3;  // 24 + 3 * 6 > 40
  EXPECT_EQ(load(d), FHS_READFID);
  expect_nothing_loaded();

  std::string bytes = fid_encode(sample());
  bytes[20 + 18] = 9;  // name order entry beyond the item count
  EXPECT_EQ(load(bytes), FHS_READFID);

  d = sample();
  d.keys[0].seg[0].offset = 1;  // segment beyond the record
  d.keys[0].seg[0].length = 40;
  d.keys[0].keylen = 40;
  EXPECT_EQ(load(d), FHS_READFID);
  d = sample();
  d.keys[0].keylen = 9;  // does not match its segments
  EXPECT_EQ(load(d), FHS_READFID);
  d = sample();
  d.keys[1].nsegs = 0;
  EXPECT_EQ(load(d), FHS_READFID);
  d = sample();
  d.keys[1].nsegs = 19;
  EXPECT_EQ(load(d), FHS_READFID);
}

TEST_F(FidTest, ThreadItemChecks) {
  Description d = sample();
  d.threads[0].item = "NOSUCH";
  EXPECT_EQ(load(d), FHS_READFID);
  d = sample();
  d.items[2].offset = 7;  // raised offset 8
  EXPECT_EQ(load(d), FHS_THREADLOW);
  expect_nothing_loaded();
  d.items[2].offset = 8;
  EXPECT_EQ(load(d), FHS_OK);
  fid_free(&block_);
  d = sample();
  d.items[2].length = 3;
  EXPECT_EQ(load(d), FHS_THREADSHORT);
  d.items[2].length = 4;
  EXPECT_EQ(load(d), FHS_OK);
}

TEST_F(FidTest, TemporaryIndexKeyFromExpression) {
  strcpy(keybuf_, " NAME + -date ");
  ASSERT_EQ(load(fid_encode(sample()), FH_TEMPINDEX), FHS_OK);
  ASSERT_EQ(+block_.nkeys, 1);
  const fhkeydef &k = block_.keydefs[0];
  ASSERT_EQ(+k.nsegs, 2);
  EXPECT_EQ(+k.keylen, 10 + 8 + 4);
  EXPECT_EQ(+k.seg[0].offset, 0);
  EXPECT_EQ(+k.seg[0].flags, 0);
  EXPECT_EQ(+k.seg[1].offset, 10);
  EXPECT_EQ(+k.seg[1].flags, SEG_DESCENDING | SEG_CASE | SEG_DATE);

  fhkeydef out;
  EXPECT_EQ(fid_tempkey(&block_, "NAME+-DATE", &out), FHS_OK);
  EXPECT_EQ(+out.seg[1].flags, SEG_DESCENDING | SEG_DATE);
  EXPECT_EQ(fid_tempkey(&block_, "name", &out), FHS_OK);
  EXPECT_EQ(+out.seg[0].flags, SEG_CASE);
  EXPECT_EQ(fid_tempkey(&block_, "AMOUNTXXXXX", &out), FHS_BADTEMPEXPR);  // 11 characters
  EXPECT_EQ(fid_tempkey(&block_, "NOSUCH", &out), FHS_BADTEMPEXPR);
  EXPECT_EQ(fid_tempkey(&block_, "", &out), FHS_BADTEMPEXPR);
  EXPECT_EQ(fid_tempkey(&block_, "NAME+", &out), FHS_BADTEMPEXPR);
  EXPECT_EQ(fid_tempkey(&block_, "NAME*DATE", &out), FHS_BADTEMPEXPR);
  EXPECT_EQ(fid_tempkey(&block_, nullptr, &out), FHS_BADTEMPEXPR);
  std::string many = "NAME";
  for (int i = 0; i < 18; i++) many += "+DATE";
  EXPECT_EQ(fid_tempkey(&block_, many.c_str(), &out), FHS_BADTEMPEXPR);  // 19 segments

  strcpy(keybuf_, "NOSUCH");
  EXPECT_EQ(load(fid_encode(sample()), FH_TEMPINDEX), FHS_BADTEMPEXPR);
  expect_nothing_loaded();
}

TEST_F(FidTest, PrepareDerivesTheNameOrLoadsNothing) {
  std::ofstream(scratch_.path("LOG.fid"), std::ios::binary) << fid_encode(sample());
  strcpy(block_.datname, scratch_.path("LOG.DAT").c_str());
  ASSERT_EQ(fid_prepare(&block_), FHS_OK);
  EXPECT_EQ(+block_.fidname, scratch_.path("LOG.fid"));
  EXPECT_EQ(+block_.nitems, 4);
  fid_free(&block_);

  block_ = fhrequest();
  strcpy(block_.datname, scratch_.path("LOG.DAT").c_str());
  strcpy(block_.fidname, "*SEQUENTIAL");
  EXPECT_EQ(fid_prepare(&block_), FHS_OK);
  EXPECT_EQ(+block_.nitems, 0);
  strcpy(block_.fidname, "");
  block_.mode = FH_NOFID;
  block_.nitems = 3;  // the caller's description stands
  EXPECT_EQ(fid_prepare(&block_), FHS_OK);
  EXPECT_EQ(+block_.nitems, 3);
  block_ = fhrequest();
  strcpy(block_.datname, scratch_.path("missing.dat").c_str());
  EXPECT_EQ(fid_prepare(&block_), FHS_OPENFID);
  memset(block_.fidname, 'x', sizeof block_.fidname);  // not terminated
  EXPECT_EQ(fid_load(&block_), FHS_OPENFID);
}

TEST(CompanionNames, ReplaceTheExtensionOfTheFileName) {
  char out[FH_NAMESIZE];
  ASSERT_TRUE(derive_name("C:\\DATA\\LOG.DAT", kFidExt, out, sizeof out));
  EXPECT_STREQ(out, "C:\\DATA\\LOG.fid");
  ASSERT_TRUE(derive_name("Log.Dat", kIndexExt, out, sizeof out));
  EXPECT_STREQ(out, "Log.idx");
  ASSERT_TRUE(derive_name("data/log", kHashExt, out, sizeof out));
  EXPECT_STREQ(out, "data/log.hsh");
  ASSERT_TRUE(derive_name("/srv/v1.2/log", kTempExt, out, sizeof out));
  EXPECT_STREQ(out, "/srv/v1.2/log.itx");
  ASSERT_TRUE(derive_name("a.b.c", kFidExt, out, sizeof out));
  EXPECT_STREQ(out, "a.b.fid");
  ASSERT_TRUE(derive_name("", kFidExt, out, sizeof out));
  EXPECT_STREQ(out, ".fid");
  std::string long_name(61, 'n');
  EXPECT_FALSE(derive_name(long_name.c_str(), kFidExt, out, sizeof out));
  EXPECT_STREQ(out, "");
  long_name.pop_back();
  EXPECT_TRUE(derive_name(long_name.c_str(), kFidExt, out, sizeof out));
}

}  // namespace
