// Base-95 numbers, variable-length packing and thread expressions.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/base95.h"
#include "engine/data/records.h"
#include "engine/data/thread_expr.h"
#include "engine/data/varlen_packing.h"
#include "engine/fhrequest.h"

using namespace corvex;

namespace {

TEST(Base95, DigitsAreCharacterCodesMinus32) {
  EXPECT_STREQ(tobase95(0, 4), "    ");
  EXPECT_STREQ(tobase95(95, 4), "  ! ");
  EXPECT_STREQ(tobase95(94, 1), "~");
  EXPECT_STREQ(tobase95(95 * 95 + 3, 2), " #");  // the width drops the high digit
  EXPECT_EQ(frombase95("  ! ", 4), 95u);
  EXPECT_EQ(frombase95(tobase95(81450624, 4), 4), 81450624u);
  EXPECT_EQ(frombase95(nullptr, 4), 0u);
  EXPECT_EQ(frombase95("!", 4), 1u);  // ends at the terminator
}

TEST(Base95, CheckedReadRefusesControlCharacters) {
  uint32_t v = 7;
  EXPECT_FALSE(base95_get("  \n ", 4, &v));
  EXPECT_EQ(v, 7u);
  char out[4];
  base95_put(kLinkLimit - 1, 4, out);
  ASSERT_TRUE(base95_get(out, 4, &v));
  EXPECT_EQ(v, kLinkLimit - 1);
}

TEST(Hex, RecordLengthDigits) {
  char out[4];
  hex_put(0x1A2, 4, out);
  EXPECT_EQ(std::string(out, 4), "01A2");
  uint32_t v;
  EXPECT_TRUE(hex_get("00ff", 4, &v));
  EXPECT_EQ(v, 255u);
  EXPECT_FALSE(hex_get("00G0", 4, &v));
  EXPECT_EQ(stored_length(" 0009AB\tC\n", 10, 20), 9u);
  EXPECT_EQ(stored_length(" 0005\n", 6, 20), 0u);   // below the smallest record
  EXPECT_EQ(stored_length(" 0015", 5, 20), 0u);     // above reclen
  EXPECT_EQ(stored_length(" 00", 3, 20), 0u);       // digits missing
}

// A block with a variable-length description built by hand.
class PackTest : public ::testing::Test {
 protected:
  void add(const char *name, char type, uint16_t offset, uint16_t length, uint16_t count = 1) {
    fhitemdef it = {};
    memcpy(it.name, name, strnlen(name, FID_NAMELEN));
    it.type = type;
    it.offset = offset;
    it.length = length;
    it.count = count;
    items_.push_back(it);
  }
  void finish(uint16_t reclen) {
    // Name order for the item lookup of expressions.
    std::vector<uint16_t> order(items_.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = static_cast<uint16_t>(i);
    std::sort(order.begin(), order.end(),
              [&](uint16_t a, uint16_t b) { return strncmp(items_[a].name, items_[b].name, FID_NAMELEN) < 0; });
    for (size_t i = 0; i < order.size(); i++) items_[i].order = order[i];
    block_.itemdefs = items_.data();
    block_.nitems = static_cast<uint16_t>(items_.size());
    block_.threaddefs = threads_.data();
    block_.nthreads = static_cast<uint16_t>(threads_.size());
    block_.reclen = reclen;
    block_.mode = FH_VARLEN;
  }
  std::string image(const std::string &data) {
    std::string img(block_.reclen, ' ');
    img.replace(5, data.size(), data);
    img[block_.reclen - 1] = '\n';
    return img;
  }
  std::string pack(const std::string &img) {
    std::string out(block_.reclen, '?');
    out.resize(pack_record(&block_, img.data(), out.data()));
    return out;
  }
  std::string unpack(const std::string &stored) {
    std::string img(block_.reclen, '?');
    unpack_record(&block_, stored.data(), stored.size(), img.data());
    return img;
  }

  std::vector<fhitemdef> items_;
  std::vector<fhthreaddef> threads_;
  fhrequest block_ = {};
};

TEST_F(PackTest, TrimsTextAndSeparatesWithTabs) {
  add("A", 'C', 5, 4);
  add("B", 'C', 9, 4);
  finish(14);
  std::string img = image("AB  C   ");
  EXPECT_EQ(pack(img), std::string(" 000AAB\tC\n"));
  EXPECT_EQ(unpack(pack(img)).substr(5), img.substr(5));
}

TEST_F(PackTest, FullElementTakesNoSeparatorAndEmptyElementsKeepTheirPlace) {
  add("A", 'C', 5, 3);
  add("B", 'C', 8, 2, 3);  // three elements
  add("C", 'C', 14, 3);
  finish(18);
  std::string img = image("XYZ  ..  Q  ");
  std::string stored = pack(img);
  EXPECT_EQ(stored.substr(5), "XYZ\t..\tQ\n");
  EXPECT_EQ(unpack(stored), [&] { std::string s = img; s.replace(1, 4, stored.substr(1, 4)); return s; }());
}

TEST_F(PackTest, NeverTrimmedItemsKeepTabsAndSpaces) {
  add("BIN", 'I', 5, 4);
  add("LINK", 'C', 9, 4);
  add("T", 'C', 13, 4);
  threads_.push_back(fhthreaddef{9, "T = 'x'", 0});
  finish(18);
  std::string img = image(std::string("\t\0 \t", 4) + "    " + "ok  ");
  std::string stored = pack(img);
  EXPECT_EQ(stored.size(), 5u + 4 + 4 + 2 + 1);
  std::string back = unpack(stored);
  EXPECT_EQ(back.substr(5, 12), img.substr(5, 12));
}

// Type letters count whatever their case: a lower-case 's' or 'i' item is
// kept whole like its upper-case form.
TEST_F(PackTest, TypeLettersIgnoreCase) {
  add("S", 's', 5, 4);
  add("I", 'i', 9, 4);
  add("C", 'C', 13, 4);
  finish(18);
  std::string img = image("ab  c\t  x   ");
  std::string stored = pack(img);
  EXPECT_EQ(stored.substr(5), std::string("ab  c\t  x\n"));
  EXPECT_EQ(unpack(stored).substr(5, 12), img.substr(5, 12));
}

TEST_F(PackTest, TabInsideTextCannotShiftLaterItems) {
  add("A", 'C', 5, 4);
  add("B", 'C', 9, 4);
  finish(14);
  std::string back = unpack(pack(image("a\tb zzzz")));
  EXPECT_EQ(back.substr(5, 8), "a b zzzz");
}

TEST_F(PackTest, OverlapsAndTheLengthDigitsAreLeftOut) {
  add("LOW", 'C', 2, 5);   // bytes 2..4 lie under the length digits
  add("OVER", 'C', 6, 3);  // overlaps LOW's last byte
  finish(12);
  std::string img = image("ABCDEF");
  std::string stored = pack(img);
  EXPECT_EQ(stored.substr(5), "ABCD\n");
  EXPECT_EQ(unpack(stored).substr(5, 4), "ABCD");
}

TEST_F(PackTest, DamagedStoredFormNeverReadsPastItsLength) {
  add("A", 'C', 5, 6);
  add("B", 'C', 11, 6);
  finish(18);
  // No separators at all and no line feed: the elements take what there is.
  std::string stored = " 0009ABCD";
  std::string back = unpack(stored);
  EXPECT_EQ(back.substr(5, 12), "ABC         ");
  EXPECT_EQ(back[17], '\n');
}

TEST_F(PackTest, RoundTripsRandomImages) {
  add("A", 'C', 5, 7);
  add("N", 'N', 12, 3, 4);
  add("S", 'S', 24, 5);
  add("Z", 'C', 29, 9);
  finish(40);
  uint32_t seed = 12345;
  for (int round = 0; round < 500; round++) {
    std::string data(33, ' ');  // the bytes of the items
    for (char &c : data) {
      seed = seed * 1103515245 + 12345;
      int r = (seed >> 16) % 5;
      c = r < 2 ? ' ' : static_cast<char>('a' + (seed >> 20) % 26);
    }
    std::string img = image(data);
    std::string stored = pack(img);
    ASSERT_LE(stored.size(), 40u);
    std::string back = unpack(stored);
    ASSERT_EQ(back.substr(5), img.substr(5)) << round;
  }
}

// Expressions over a small fixed record.
class ExprTest : public PackTest {
 protected:
  void SetUp() override {
    add("QTY", 'N', 1, 4);
    add("TYPE", 'C', 5, 3);
    add("NAME", 'C', 8, 6);
    finish(16);
    block_.mode = 0;
    rec_ = std::string(16, ' ');
    rec_[15] = '\n';
  }
  void set(const std::string &qty, const std::string &type, const std::string &name) {
    rec_.replace(1, 4, (qty + "    ").substr(0, 4));
    rec_.replace(5, 3, (type + "   ").substr(0, 3));
    rec_.replace(8, 6, (name + "      ").substr(0, 6));
  }
  double eval(const char *expr) {
    double v = -999;
    EXPECT_EQ(expr_evaluate(&block_, expr, rec_.data(), &v), FHS_OK) << expr;
    return v;
  }
  int status(const char *expr) {
    double v;
    return expr_evaluate(&block_, expr, rec_.data(), &v);
  }
  std::string rec_;
};

TEST_F(ExprTest, OperatorsGroupToTheRight) {
  EXPECT_EQ(eval("2 * 3 + 4"), 14);
  EXPECT_EQ(eval("10 - 4 - 3"), 9);
  EXPECT_EQ(eval("(10 - 4) - 3"), 3);
  EXPECT_EQ(eval("[8 / 2] * 3"), 12);
  EXPECT_EQ(eval("7 / 0"), 0);
  EXPECT_EQ(eval("-2.5 * 2"), -5);
}

TEST_F(ExprTest, AndBindsItsWholeRightSide) {
  // QTY > 5 AND TYPE = 'X' is QTY > (5 AND (TYPE = 'X')): with TYPE X the
  // right side is 1, so it asks QTY > 1.
  set("3", "X", "");
  EXPECT_EQ(eval("QTY > 5 AND TYPE = 'X'"), 1);
  set("3", "Y", "");
  EXPECT_EQ(eval("QTY > 5 AND TYPE = 'X'"), 1);  // QTY > 0
  set("0", "Y", "");
  EXPECT_EQ(eval("QTY > 5 AND TYPE = 'X'"), 0);
  EXPECT_EQ(eval("(QTY > 5) AND (TYPE = 'Y')"), 0);
  set("9", "Y", "");
  EXPECT_EQ(eval("(QTY > 5) AND (TYPE = 'Y')"), 1);
  EXPECT_EQ(eval("0 OR QTY"), 1);
}

TEST_F(ExprTest, ComparisonsFollowTheLeftKind) {
  set("12", "AB", "SMITH");
  EXPECT_EQ(eval("NAME = \"SMITH\""), 1);  // trailing spaces do not count
  EXPECT_EQ(eval("NAME < 'SMIU'"), 1);
  EXPECT_EQ(eval("NAME >= 'SMITHS'"), 0);
  EXPECT_EQ(eval("NAME <> 'X'"), 1);
  EXPECT_EQ(eval("QTY = '12.0'"), 1);   // the text is taken as a number
  EXPECT_EQ(eval("QTY <= 11.99"), 0);
  EXPECT_EQ(eval("'12' = QTY"), 1);     // the number becomes its text
  EXPECT_EQ(eval("'012' = QTY"), 0);
  EXPECT_EQ(eval("TYPE"), 0);           // a text that is no number is 0
}

TEST_F(ExprTest, MalformedExpressionsAre44) {
  EXPECT_EQ(status(""), FHS_THREADEXPR);
  EXPECT_EQ(status("QTY >"), FHS_THREADEXPR);
  EXPECT_EQ(status("(QTY > 1"), FHS_THREADEXPR);
  EXPECT_EQ(status("[QTY > 1)"), FHS_THREADEXPR);
  EXPECT_EQ(status("'open"), FHS_THREADEXPR);
  EXPECT_EQ(status("NOSUCH = 1"), FHS_THREADEXPR);
  EXPECT_EQ(status("VERYLONGNAME1 = 1"), FHS_THREADEXPR);
  EXPECT_EQ(status("# 1"), FHS_THREADEXPR);
  EXPECT_EQ(status("QTY ; junk"), FHS_OK);  // anything else ends the expression
  bool member = true;
  set("0", "", "");
  ASSERT_EQ(expr_member(&block_, "QTY", rec_.data(), &member), FHS_OK);
  EXPECT_FALSE(member);
}

TEST(TextNumber, DecimalConversion) {
  EXPECT_EQ(text_to_number("  42abc", 7), 42);
  EXPECT_EQ(text_to_number("-1.5", 4), -1.5);
  EXPECT_EQ(text_to_number("+3", 2), 3);
  EXPECT_EQ(text_to_number("x", 1), 0);
  EXPECT_EQ(text_to_number("-", 1), 0);
  EXPECT_EQ(text_to_number("12345", 3), 123);
}

}  // namespace
