// The pure pieces of the tables: stamps, plain numbers, the comma-separated
// reader and its pairing, import names, grid rows, their model and sorting.
#include <gtest/gtest.h>

#include "app/tables/csv.h"
#include "app/tables/grid.h"
#include "app/tables/plaintext.h"
#include "app/tables/stamps.h"

using namespace tables;

namespace {

const QDateTime kDecember(QDate(2026, 12, 7), QTime(21, 5, 9));
const QDateTime kJanuary(QDate(2027, 1, 7), QTime(9, 4, 3));

std::vector<QByteArray> fields(const char *text) { return csvFields(QByteArray(text)); }

}  // namespace

TEST(Stamps, EveryPatternOfTheTables) {
  EXPECT_EQ(stamp(kLogDatePattern, kDecember), "12/07/26 21:05");
  EXPECT_EQ(stamp(kSortPattern, kDecember), "2612072105");
  EXPECT_EQ(stamp(kUniqueKeyPattern, kDecember), "261207210509");
  EXPECT_EQ(stamp(kStandardKeyPattern, kDecember), "2607210509");
  EXPECT_EQ(stamp(kImportKeyPattern, kDecember), "1207210509");
  EXPECT_EQ(stamp(kScanDatePattern, kDecember), "12/07/26");
  // A single M has no leading zero; minutes and months are not confused.
  EXPECT_EQ(stamp(kImportKeyPattern, kJanuary), "107090403");
  EXPECT_EQ(stamp(kLogDatePattern, kJanuary), "01/07/27 09:04");
  EXPECT_EQ(stamp("[YY-MM]", kJanuary), "[27-01]");
}

TEST(PlainText, ShortestFormWithoutExponent) {
  EXPECT_EQ(numberToPlainText(0), "0");
  EXPECT_EQ(numberToPlainText(1), "1");
  EXPECT_EQ(numberToPlainText(2), "2");
  EXPECT_EQ(numberToPlainText(0.5), "0.5");
  EXPECT_EQ(numberToPlainText(-42), "-42");
  EXPECT_EQ(numberToPlainText(1.5e20), "150000000000000000000");
  EXPECT_EQ(numberToPlainText(-2e17), "-200000000000000000");
  EXPECT_EQ(numberToPlainText(1e-7), "0");
}

TEST(PlainText, HashPicture) {
  EXPECT_EQ(hashPictureKhz(14070), "14070.00");
  EXPECT_EQ(hashPictureKhz(14080.5), "14080.50");
  EXPECT_EQ(hashPictureKhz(7035.555), "7035.56");
  EXPECT_EQ(hashPictureKhz(0.5), ".50");
}

TEST(Csv, FieldsEndAtCommasAndLineEnds) {
  EXPECT_EQ(fields("PSK31,14070\nRTTY,14080.5\n"),
            (std::vector<QByteArray>{"PSK31", "14070", "RTTY", "14080.5"}));
  EXPECT_EQ(fields("a,b\r\nc,d"), (std::vector<QByteArray>{"a", "b", "c", "d"}));
  EXPECT_EQ(fields("a\rb"), (std::vector<QByteArray>{"a", "b"}));
  EXPECT_EQ(fields("  spaced name  ,\t7035 \n"), (std::vector<QByteArray>{"spaced name", "7035"}));
  EXPECT_TRUE(fields("").empty());
  EXPECT_TRUE(fields("\n\n  \r\n").empty());
  // Empty fields between commas and at a line's end count.
  EXPECT_EQ(fields("a,,b,\nc"), (std::vector<QByteArray>{"a", "", "b", "", "c"}));
}

TEST(Csv, QuotedFieldsKeepCommasAndLineEnds) {
  EXPECT_EQ(fields("\"Olivia, 8/250\",7072.5\n"), (std::vector<QByteArray>{"Olivia, 8/250", "7072.5"}));
  EXPECT_EQ(fields("\"two\nlines\",1"), (std::vector<QByteArray>{"two\nlines", "1"}));
  EXPECT_EQ(fields("\"a\" junk,b"), (std::vector<QByteArray>{"a", "b"}));
  // An unterminated quote runs to the end of the text.
  EXPECT_EQ(fields("x,\"open"), (std::vector<QByteArray>{"x", "open"}));
}

TEST(Csv, PairsIgnoreLinesAndDropAnOddName) {
  const auto pairs = pairFields(fields("PSK31,14070,extra\n14080.5\nlone"));
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].name, "PSK31");
  EXPECT_EQ(pairs[0].khz, 14070);
  // The third field of the first line shifts the pairs: it names the next entry.
  EXPECT_EQ(pairs[1].name, "extra");
  EXPECT_EQ(pairs[1].khz, 14080.5);
  EXPECT_TRUE(pairFields(fields("only")).empty());
}

TEST(Csv, FrequencyMustBeANumberAsAWhole) {
  const auto pairs = pairFields(fields("a,7035.5,b,14 MHz,c,,d,1.4e4,e,nan"));
  ASSERT_EQ(pairs.size(), 5u);
  EXPECT_EQ(pairs[0].khz, 7035.5);
  EXPECT_FALSE(pairs[1].khz);
  EXPECT_FALSE(pairs[2].khz);
  EXPECT_EQ(pairs[3].khz, 14000);
  EXPECT_FALSE(pairs[4].khz);
}

TEST(Csv, ImportFileName) {
  EXPECT_EQ(importFileName("std"), "std.Csv");
  EXPECT_EQ(importFileName("/tmp/modes"), "/tmp/modes.Csv");
  EXPECT_EQ(importFileName("a.csv"), "a.csv");
  EXPECT_EQ(importFileName("/x/B.CsV"), "/x/B.CsV");
  EXPECT_EQ(importFileName("a"), "a.Csv");
  EXPECT_EQ(importFileName(".csv"), ".csv");
  EXPECT_EQ(importFileName("list.txt"), "list.txt.Csv");
}

TEST(GridSort, NumericAndCaselessAreStable) {
  Rows rows = {{"b", "10"}, {"A", "9"}, {"c", "x"}, {"a", "9.5"}, {"B", "-1"}};
  sortRows(rows, 1, SortMode::Numeric);
  QStringList order;
  for (const auto &r : rows) order << r[0];
  EXPECT_EQ(order, (QStringList{"B", "c", "A", "a", "b"}));  // "x" counts as 0
  sortRows(rows, 0, SortMode::TextNoCase);
  order.clear();
  for (const auto &r : rows) order << r[0];
  EXPECT_EQ(order, (QStringList{"A", "a", "B", "b", "c"}));  // equal texts keep their order
  Rows shortRow = {{"only"}, {"x", "1"}};
  sortRows(shortRow, 1, SortMode::TextNoCase);  // a row without the column sorts as ""
  EXPECT_EQ(shortRow[0][0], "only");
}

TEST(GridRow, CellsChangeInPlaceAndTrimLikeText) {
  Row row{"a", "", "ccc"};
  EXPECT_EQ(row.size(), 3);
  EXPECT_EQ(row[2], "ccc");
  EXPECT_EQ(row[3], "");  // past the last cell
  EXPECT_EQ(row[-1], "");
  row.setCell(1, u"bb");
  row.setCell(0, u"");
  EXPECT_EQ(row.cells(), (QStringList{"", "bb", "ccc"}));
  row.setCell(4, u"e");  // empty cells up to it
  EXPECT_EQ(row.cells(), (QStringList{"", "bb", "ccc", "", "e"}));
  EXPECT_EQ(Row(QStringList{"x", "y"}), (Row{"x", "y"}));
  EXPECT_FALSE(Row({"xy", ""}) == (Row{"x", "y"}));

  // The blanks QString::trimmed takes from Latin-1 text, and no others.
  EXPECT_EQ(trimmedLatin1(" \t\xa0 PSK31 net \x85\r\n"), "PSK31 net");
  EXPECT_EQ(trimmedLatin1("\x1f x"), "\x1f x");
  EXPECT_EQ(trimmedLatin1("   "), "");
  for (int c = 0; c < 256; ++c) {
    const QByteArray text = QByteArray(1, static_cast<char>(c)) + "x";
    EXPECT_EQ(QString::fromLatin1(trimmedLatin1(text)), QString::fromLatin1(text).trimmed()) << c;
  }
}

TEST(GridModel, ShowsRowsWithTheirColumnsAlignmentAndMarks) {
  const Column columns[] = {{"Name", 1000, "A"}, {"Frequency", 1000, "B", true}};
  GridModel model;
  model.setColumns(columns);
  model.setRows({{"b", "7055"}, {"a"}});
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.columnCount(), 2);
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Frequency");
  EXPECT_EQ(model.index(0, 1).data().toString(), "7055");
  EXPECT_EQ(model.index(1, 1).data().toString(), "");  // a short row
  EXPECT_EQ(model.index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
  EXPECT_FALSE(model.index(0, 0).data(Qt::TextAlignmentRole).isValid());
  EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);

  int changes = 0;
  QObject::connect(&model, &GridModel::dataChanged, [&] { ++changes; });
  model.setText(1, 1, "X");
  model.setText(2, 0, "nowhere");  // outside the rows: nothing
  model.setText(0, 2, "nowhere");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(model.text(1, 1), "X");
  model.sortBy(0, SortMode::TextNoCase);  // whole rows move, marks with them
  EXPECT_EQ(model.text(0, 0), "a");
  EXPECT_EQ(model.text(0, 1), "X");
  EXPECT_EQ(model.text(1, 1), "7055");
}
