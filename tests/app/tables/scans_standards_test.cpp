// The "Scan Banks" and "Digital Standards" tabs and the standards import, on
// fresh tables.
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "app/tables/scanstab.h"
#include "app/tables/standardsimport.h"
#include "app/tables/standardstab.h"
#include "tests/app/tables/tables_fixture.h"

using tables::ScansTab;
using tables::StandardsTab;

namespace {

const std::vector<QByteArray> kStandardItems = {"DATETIMES", "FRQS", "MODES", "NOTESS", "UNIKEYS"};

QString cell(tables::Grid *grid, int row, int column) { return grid->text(row, column); }

QStringList column(tables::Grid *grid, int c) {
  QStringList out;
  for (int r = 0; r < grid->rowCount(); ++r) out << cell(grid, r, c);
  return out;
}

void writeFile(const QString &name, const QByteArray &bytes) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class ScansTest : public TablesTest {
protected:
  ScansTab &scans() { return tabs->scans(); }
  void addScan(const char *low, const char *high, const char *notes, const char *key) {
    p->LoFrq->setText(low);
    p->HiFrq->setText(high);
    scans().AddScan->click();
    scans().ScanNotes->setText(notes);
    scans().ScanUniKey->setText(key);
    scans().ScanToFile->click();
  }
};

class StandardsTest : public TablesTest {
protected:
  StandardsTab &standards() { return tabs->standards(); }
  void addStandard(const char *frequency, const char *notes, const char *key) {
    standards().ButtonPlus3->click();
    standards().SFreq->setText(frequency);
    standards().SMode->setText("USB");
    standards().SNotes->setText(notes);
    standards().UNIKEYS->setText(key);
    standards().ButtonPlus5->click();
  }
  void filter(const QString &text) {
    standards().OnlyShows->setCurrentText(text);
    standards().table().display();
  }
  // Imports the file chosen as `chosen`; returns the notices shown.
  QStringList import(const QString &chosen) {
    dialogs.fileName = chosen;
    dialogs.shown.clear();
    standards().Command1->click();
    return dialogs.shownTexts();
  }
};

}  // namespace

TEST_F(ScansTest, SaveLoadBackFilterAndSort) {
  start();
  p->LoFrq->setText("7000");
  p->HiFrq->setText("7300");
  scans().AddScan->click();
  EXPECT_EQ(scans().FrqLo->text(), "7000");
  EXPECT_EQ(scans().FrqHi->text(), "7300");
  EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d\\d$").match(scans().ScanDate->text()).hasMatch());
  EXPECT_EQ(scans().ScanUniKey->text(), "");
  ASSERT_TRUE(shown(scans().ScanFram));
  scans().ScanNotes->setText("Marine 40m");
  scans().ScanToFile->click();
  EXPECT_FALSE(shown(scans().ScanFram));
  ASSERT_EQ(scans().Grid2->rowCount(), 1);
  EXPECT_TRUE(QRegularExpression("^\\d{12}$").match(cell(scans().Grid2, 0, 3)).hasMatch());
  addScan("14000.00", "14350.00", "Amateur 20m", "100000000001");
  addScan("3500", "3800", "amateur 80m", "100000000002");
  ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();

  restart();
  EXPECT_EQ(column(scans().Grid2, 4), (QStringList{"Amateur 20m", "amateur 80m", "Marine 40m"}));
  scans().OnlyScan->setCurrentText("Amateur");
  scans().table().display();
  EXPECT_EQ(column(scans().Grid2, 4), QStringList{"Amateur 20m"});
  scans().OnlyScan->setCurrentText("All");
  scans().table().display();
  emit scans().Combo2->activated(0);  // "Low" as text
  EXPECT_EQ(column(scans().Grid2, 0), (QStringList{"14000.00", "3500", "7000"}));

  // The "Hi" cell of the 7000 .. 7300 row loads the range into the scanner.
  link->written.clear();
  emit scans().Grid2->cellClicked(2, ScansTab::kHighColumn);
  EXPECT_EQ(p->LoFrq->text(), "07000.00");
  EXPECT_EQ(p->HiFrq->text(), "07300.00");
  EXPECT_EQ(scans().Grid2->currentColumn(), ScansTab::kHighColumn);
  EXPECT_TRUE(link->written.empty());  // nothing is started
  emit scans().Grid2->cellClicked(0, 4);
  emit scans().Grid2->cellClicked(0, 2);
  EXPECT_EQ(p->LoFrq->text(), "07000.00");

  // Open by "Date Time", change and save under the same key.
  emit scans().Grid2->cellDoubleClicked(0, 0);
  EXPECT_FALSE(shown(scans().ScanFram));
  emit scans().Grid2->cellDoubleClicked(0, ScansTab::kDateColumn);
  ASSERT_TRUE(shown(scans().ScanFram));
  EXPECT_EQ(scans().FrqLo->text(), "14000.00");
  EXPECT_EQ(scans().ScanUniKey->text(), "100000000001");
  scans().ScanNotes->setText("Amateur 20m wide");
  scans().ScanToFile->click();
  EXPECT_EQ(scans().Grid2->rowCount(), 3);
  const auto records = stored("Scans.Dat", {"LOFRQ", "SCANNOTES", "SCANUNIKEY"});
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].at("SCANNOTES"), "Amateur 20m wide");
  // Delete it.
  emit scans().Grid2->cellDoubleClicked(0, ScansTab::kDateColumn);
  scans().DelScan->click();
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(column(scans().Grid2, 4), (QStringList{"amateur 80m", "Marine 40m"}));
}

TEST_F(ScansTest, DeletingAnUnsavedScanSaysItCannotBeFound) {
  start();
  addScan("7000", "7300", "Air", "100000000001");
  p->LoFrq->setText("1000");
  scans().AddScan->click();
  ASSERT_EQ(scans().ScanUniKey->text(), "");
  scans().DelScan->click();
  EXPECT_EQ(dialogs.messages, QStringList{"Unable to locate this entry"});
  EXPECT_FALSE(shown(scans().ScanFram));
  EXPECT_EQ(scans().Grid2->rowCount(), 1);
  // A failed save keeps the frame open with its text.
  scans().AddScan->click();
  scans().ScanNotes->setText("keep");
  kdb.failWrites = true;
  scans().ScanToFile->click();
  EXPECT_EQ(dialogs.messages.last(), "Error writing to Scan file");
  EXPECT_TRUE(shown(scans().ScanFram));
  EXPECT_EQ(scans().ScanNotes->text(), "keep");
}

TEST_F(StandardsTest, EmptyKeyGetsTenDigitsAndFiltersKeepTheirBlank) {
  start();
  EXPECT_EQ(standards().OnlyShows->count(), 13);
  EXPECT_EQ(standards().OnlyShows->itemText(9), "RTTY ");
  addStandard("14080.00", "RTTY 45 Digital", "");
  ASSERT_TRUE(dialogs.messages.isEmpty());
  ASSERT_EQ(standards().Grid3->rowCount(), 1);
  const QString key = cell(standards().Grid3, 0, StandardsTab::kKeyColumn);
  EXPECT_TRUE(QRegularExpression("^\\d{10}$").match(key).hasMatch()) << key.toStdString();
  EXPECT_EQ(standards().Grid3->model()->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
  addStandard("14083.00", "RTTYM 500 Digital", "1");
  ASSERT_EQ(standards().Grid3->rowCount(), 2);

  filter("RTTY ");
  EXPECT_EQ(column(standards().Grid3, 5), QStringList{"RTTY 45 Digital"});
  filter("RTTYM");
  EXPECT_EQ(column(standards().Grid3, 5), QStringList{"RTTYM 500 Digital"});
  filter("All");
  EXPECT_EQ(standards().Grid3->rowCount(), 2);

  // A click on "Frequency" tunes; "Notes" does nothing.
  emit standards().Grid3->cellClicked(0, 5);
  EXPECT_TRUE(link->written.empty());
  const int row = column(standards().Grid3, 1).indexOf("14083.00");
  emit standards().Grid3->cellClicked(row, StandardsTab::kFrequencyColumn);
  EXPECT_EQ(p->NewFrq->text(), "14083.00");
  ASSERT_EQ(link->written.size(), 1u);
  EXPECT_EQ(link->written[0], hex("00 83 40 01 08"));

  // Delete after a double-click on "Mode" removes that entry; an empty key
  // deletes nothing.
  emit standards().Grid3->cellDoubleClicked(row, StandardsTab::kModeColumn);
  ASSERT_TRUE(shown(standards().Frame1));
  EXPECT_EQ(standards().SNotes->text(), "RTTYM 500 Digital");
  standards().ButtonPlus7->click();
  EXPECT_EQ(column(standards().Grid3, 5), QStringList{"RTTY 45 Digital"});
  standards().UNIKEYS->clear();
  standards().ButtonPlus7->click();
  EXPECT_EQ(standards().Grid3->rowCount(), 1);
  EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(StandardsTest, ImportTwoLines) {
  start();
  writeFile("two.csv", "PSK31,14070\nRTTY,14080.5\n");
  const QStringList notices = import(dir.filePath("two.csv"));
  EXPECT_EQ(dialogs.filters, QStringList{"Comma Delimitated (*.csv) Csv"});
  ASSERT_EQ(notices.size(), 2);
  EXPECT_EQ(notices[0], "Correct Upper Case Text to Proper Case");
  EXPECT_TRUE(tables::asksYesNo(dialogs.shown[0].yesNo));
  EXPECT_EQ(dialogs.shown[0].heading, "Student Data - General Info.");
  EXPECT_TRUE(notices[1].startsWith("Processing Complete")) << notices[1].toStdString();
  EXPECT_TRUE(notices[1].contains("2 stored, 0 skipped"));
  EXPECT_EQ(dialogs.shown[1].seconds, 2);
  EXPECT_FALSE(tables::asksYesNo(dialogs.shown[1].yesNo));
  EXPECT_EQ(standards().importer().properCase(), 1);
  EXPECT_EQ(standards().Grid3->rowCount(), 0);  // the grid waits for the next refresh

  auto records = stored("Standards.Dat", kStandardItems);
  ASSERT_EQ(records.size(), 2u);
  std::sort(records.begin(), records.end(), [](auto &a, auto &b) { return a["NOTESS"] < b["NOTESS"]; });
  EXPECT_EQ(records[0]["NOTESS"], "PSK31 Digital");
  EXPECT_EQ(records[0]["FRQS"], "14070.00");
  EXPECT_EQ(records[1]["NOTESS"], "RTTY Digital");
  EXPECT_EQ(records[1]["FRQS"], "14080.50");
  EXPECT_EQ(records[0]["MODES"], "SB");
  EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d$").match(records[0]["DATETIMES"]).hasMatch());
  const long long k0 = records[0]["UNIKEYS"].toLongLong(), k1 = records[1]["UNIKEYS"].toLongLong();
  EXPECT_GT(k0, 0);
  EXPECT_GE(std::llabs(k1 - k0), 1);
  EXPECT_EQ(standards().importer().counter(), 2);

  filter("All");
  EXPECT_EQ(standards().Grid3->rowCount(), 2);
}

TEST_F(StandardsTest, ImportEdgeFiles) {
  start();
  writeFile("empty.csv", "");
  QStringList notices = import(dir.filePath("empty.csv"));
  ASSERT_FALSE(notices.isEmpty());
  EXPECT_TRUE(notices.last().startsWith("Processing Complete"));
  EXPECT_TRUE(stored("Standards.Dat", kStandardItems).empty());

  writeFile("std.Csv", "Olivia,7072.5\n\"Hell, Feld\",3582\nOdd");
  notices = import(dir.filePath("std"));
  EXPECT_TRUE(notices.last().contains("2 stored, 0 skipped")) << notices.last().toStdString();
  auto records = stored("Standards.Dat", kStandardItems);
  ASSERT_EQ(records.size(), 2u);  // the name without a frequency is not stored
  QStringList notes;
  for (auto &r : records) notes << r["NOTESS"];
  notes.sort();
  EXPECT_EQ(notes, (QStringList{"Hell, Feld Digital", "Olivia Digital"}));

  writeFile("bad.csv", "Throb,fast,MFSK16,14080\n");
  notices = import(dir.filePath("bad.csv"));
  EXPECT_TRUE(notices.last().contains("1 stored, 1 skipped")) << notices.last().toStdString();
  EXPECT_EQ(stored("Standards.Dat", kStandardItems).size(), 3u);

  for (const QString &chosen : {QString(), QStringLiteral("   "), dir.filePath("absent.csv")}) {
    notices = import(chosen);
    EXPECT_EQ(notices, QStringList{"Unable to open the file"});
    EXPECT_EQ(dialogs.shown.back().seconds, 2);
  }

  // A failed write ends the import with the standard message.
  writeFile("more.csv", "A,1\nB,2\n");
  kdb.failWrites = true;
  notices = import(dir.filePath("more.csv"));
  EXPECT_EQ(dialogs.messages, QStringList{"Error writing to Log file"});
  EXPECT_EQ(notices.size(), 1);  // the question only
  kdb.failWrites = false;
  EXPECT_EQ(stored("Standards.Dat", kStandardItems).size(), 3u);
}
