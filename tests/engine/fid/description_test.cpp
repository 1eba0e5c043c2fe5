#include <string.h>

#include <gtest/gtest.h>

#include "engine/fid/description.h"
#include "engine/fid/fid.h"
#include "engine/fid/fidwrite.h"
#include "tests/support/scratch.h"

using namespace corvex;

namespace {

// The line number an error message starts with, or -1.
int error_line(const std::string &text) {
  Description d;
  std::string error;
  if (parse_description(text, &d, &error)) return -1;
  int line = -1;
  sscanf(error.c_str(), "line %d:", &line);
  return line;
}

struct Shipped {
  const char *file;
  const char *key;
  uint16_t keyoffset;  // raised
};

TEST(Description, ShippedTablesLoadAsDescribed) {
  const Shipped tables[] = {{"Log.desc", "UNIKEY", 150}, {"Scans.desc", "SCANUNIKEY", 25},
                            {"Standards.desc", "UNIKEYS", 150}};
  Scratch scratch;
  for (const Shipped &t : tables) {
    SCOPED_TRACE(t.file);
    Description d;
    std::string error;
    ASSERT_TRUE(read_description((std::string(TESSALY_DATA_DIR) + "/" + t.file).c_str(), &d, &error)) << error;
    std::string fid = scratch.path("t.fid");
    ASSERT_TRUE(fid_write(d, fid.c_str(), &error)) << error;
    fhrequest block = {};
    strcpy(block.fidname, fid.c_str());
    ASSERT_EQ(fid_load(&block), FHS_OK);
    EXPECT_EQ(+block.reclen, d.datalen + 2);
    ASSERT_EQ(+block.nkeys, 1);
    EXPECT_EQ(+block.keydefs[0].nsegs, 1);
    EXPECT_EQ(+block.keydefs[0].keylen, 12);
    EXPECT_EQ(+block.keydefs[0].seg[0].flags, 0);
    EXPECT_EQ(+block.keydefs[0].seg[0].offset + 1, t.keyoffset);
    int32_t key = _fhfidoffset(&block, t.key);
    ASSERT_GE(key, 0);
    EXPECT_EQ(+block.itemdefs[key].offset, t.keyoffset);
    unsigned covered = 0;
    for (uint16_t i = 0; i < block.nitems; i++) {
      const fhitemdef &item = block.itemdefs[i];
      EXPECT_EQ(+item.type, 'C');
      EXPECT_EQ(+item.just, 'L');
      EXPECT_EQ(_fhfidoffset(&block, std::string(item.name, strnlen(item.name, 10)).c_str()), i);
      covered += item.length;
    }
    EXPECT_EQ(covered, d.datalen);  // the items fill the record without gaps
    fid_free(&block);
  }
  Description d;
  std::string error;
  EXPECT_FALSE(read_description("/nonexistent/x.desc", &d, &error));
}

TEST(Description, OptionsFlagsAndThreadsRoundTrip) {
  const char *text =
      "# sample\n"
      "length 30\n"
      "hashed 500\n"
      "\n"
      "item code N 0 6 1 R\n"
      "item NAME C 6 10\n"
      "item LINK C 16 4\n"
      "item PARTS C 20 5 2\n"
      "key CODE/dn NAME/c\n"
      "key name/bt\n"
      "thread LINK  CODE > 5  \n";
  Description d;
  std::string error;
  ASSERT_TRUE(parse_description(text, &d, &error)) << error;
  EXPECT_EQ(+d.flags, FID_HASHED);
  EXPECT_EQ(+d.hashsize, 500u);
  ASSERT_EQ(d.items.size(), 4u);
  EXPECT_STREQ(d.items[0].name, "CODE");
  EXPECT_EQ(+d.items[0].just, 'R');
  EXPECT_EQ(+d.items[3].count, 2);
  ASSERT_EQ(d.keys.size(), 2u);
  EXPECT_EQ(+d.keys[0].nsegs, 2);
  EXPECT_EQ(+d.keys[0].keylen, 16);
  EXPECT_EQ(+d.keys[0].seg[0].flags, SEG_DESCENDING | SEG_NUMERIC);
  EXPECT_EQ(+d.keys[0].seg[1].flags, SEG_CASE);
  EXPECT_EQ(+d.keys[1].seg[0].flags, SEG_BINARY | SEG_DATE);
  ASSERT_EQ(d.threads.size(), 1u);
  EXPECT_EQ(d.threads[0].expr, "CODE > 5");

  Scratch scratch;
  std::string fid = scratch.path("s.fid");
  ASSERT_TRUE(fid_write(d, fid.c_str(), &error));
  fhrequest block = {};
  strcpy(block.fidname, fid.c_str());
  ASSERT_EQ(fid_load(&block), FHS_OK);
  EXPECT_EQ(+block.keydefs[1].keylen, 10 + 16);
  EXPECT_EQ(+block.threaddefs[0].offset, 17);
  EXPECT_EQ(_fhfidoffset(&block, "PARTS"), 3);
  EXPECT_TRUE(block.mode & FH_HASHED);
  fid_free(&block);
  EXPECT_FALSE(fid_write(d, "/nonexistent/dir/s.fid", &error));
}

TEST(Description, FaultsNameTheirLine) {
  EXPECT_EQ(error_line("length 20\nitem A C 0 0\n"), 2);              // zero length
  EXPECT_EQ(error_line("length 20\nitem A C x 4\n"), 2);              // bad offset
  EXPECT_EQ(error_line("length 20\nitem TOOLONGNAME C 0 4\n"), 2);
  EXPECT_EQ(error_line("length 20\nitem A-B C 0 4\n"), 2);
  EXPECT_EQ(error_line("length 20\nitem A CC 0 4\n"), 2);             // type is one letter
  EXPECT_EQ(error_line("length 20\nitem A C 0 4 1 X\n"), 2);
  EXPECT_EQ(error_line("length 20\nitem A C 0 4\nitem a C 4 4\n"), 3);  // twice
  EXPECT_EQ(error_line("length 20\nitem A C 0 8\n\nitem B C 6 4\n"), 4);  // overlap
  EXPECT_EQ(error_line("item B C 6 4\nitem A C 0 8\nlength 20\n"), 2);  // overlap, either order
  EXPECT_EQ(error_line("length 20\nitem A C 10 2 6\n"), 2);           // beyond the record
  EXPECT_EQ(error_line("length 20\nitem A C 0 4\nkey A B\n"), 3);     // missing item
  EXPECT_EQ(error_line("length 20\nitem A C 0 4\nkey A/q\n"), 3);     // unknown flag
  EXPECT_EQ(error_line("length 20\nitem A C 0 4\nkey\n"), 3);
  EXPECT_EQ(error_line("length 20\nbogus 1\n"), 2);
  EXPECT_EQ(error_line("length 7\n"), 1);
  EXPECT_EQ(error_line("length 20\nlength 20\n"), 2);
  EXPECT_EQ(error_line("item A C 0 4\n"), 0);                         // no length
  EXPECT_EQ(error_line("length 20\nvarlen\nitem A C 2 4\n"), 3);      // in the length digits
  EXPECT_EQ(error_line("length 20\nvarlen\nhashed 10\n"), 3);
  EXPECT_EQ(error_line("length 20\nhashed 10\nitem A C 0 4\n"), 0);   // hashed without key
  EXPECT_EQ(error_line("length 20\nitem A C 4 4\nthread A X\n"), 3);  // first 8 bytes
  EXPECT_EQ(error_line("length 20\nitem A C 8 3\nthread A X\n"), 3);  // shorter than 4
  EXPECT_EQ(error_line("length 20\nitem A C 8 4\nthread B X\n"), 3);
  EXPECT_EQ(error_line("length 20\nitem A C 8 4\nthread A " + std::string(56, 'x') + "\n"), 3);
  EXPECT_EQ(error_line("length 600\nitem A C 0 200\nitem B C 200 100\nkey A\nkey B\n"), 5);
  EXPECT_EQ(error_line("length 20\nitem A C 8 4\nthread A X\nkey A\n"), -1);
}

}  // namespace
