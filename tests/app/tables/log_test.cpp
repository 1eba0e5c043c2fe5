// The "Logs" tab and the start-up of the tables, on fresh tables.
#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include "app/radio/scanner.h"
#include "app/tables/logtab.h"
#include "app/tables/scanstab.h"
#include "app/tables/standardstab.h"
#include "tests/app/tables/tables_fixture.h"

using tables::LogTab;

namespace {

const std::vector<QByteArray> kLogItems = {"DATETIME", "FRQ", "MODE", "NET", "DATESORT", "NOTES", "UNIKEY"};

class LogTest : public TablesTest {
protected:
  LogTab &log() { return tabs->log(); }
  QString cell(int row, int column) { return log().Grid1->text(row, column); }
  // "Add 2 Log" at the displayed frequency `digits`, then notes, key and Save.
  void addEntry(const char *digits, const QString &notes, const QString &key = {}) {
    reportToState(window->radio()->state(), digits, "USB");
    log().Log1->click();
    log().LogNotes->setText(notes);
    if (!key.isEmpty()) log().UniKey->setText(key);
    log().SaveLog->click();
  }
  void filter(const QString &text) {
    log().OnlyShow->setCurrentText(text);
    log().table().display();
  }
};

}  // namespace

TEST_F(LogTest, AddTwoLogFillsTheFrameFromThePanel) {
  start();
  EXPECT_TRUE(tabs->opened());
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(log().Grid1->rowCount(), 0);
  EXPECT_FALSE(shown(log().LogFrm));
  reportToState(window->radio()->state(), "1420005", "CW-N");
  log().LogNotes->setText("kept from before");
  log().UniKey->setText("123");
  log().HFNet->setChecked(true);
  log().Log1->click();
  EXPECT_EQ(log().FrqSave->text(), "14200.05");
  EXPECT_EQ(log().LogMode->text(), "CW-N");
  EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d$").match(log().Col0->text()).hasMatch());
  EXPECT_TRUE(QRegularExpression("^\\d{10}$").match(log().Col4->text()).hasMatch());
  EXPECT_EQ(log().UniKey->text(), "");
  EXPECT_FALSE(log().HFNet->isChecked());
  EXPECT_EQ(log().LogNotes->text(), "kept from before");
  EXPECT_TRUE(shown(log().LogFrm));
  log().ButtonPlus8->click();
  EXPECT_EQ(log().LogMode->text(), "Unknown Digital");
  log().ButtonPlus11->click();
  EXPECT_FALSE(shown(log().LogFrm));
}

TEST_F(LogTest, SaveReloadFilterSortOpenResaveDelete) {
  start();
  addEntry("1407000", "Zulu PSK31 CQ");
  ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_FALSE(shown(log().LogFrm));
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  const QString firstKey = cell(0, LogTab::kKeyColumn);
  EXPECT_TRUE(QRegularExpression("^\\d{12}$").match(firstKey).hasMatch()) << firstKey.toStdString();
  EXPECT_EQ(cell(0, 1), "14070.00");
  EXPECT_EQ(cell(0, 3), "0");
  // A second entry logged later (a later sort stamp) with a key of its own.
  log().Log1->click();
  log().Col4->setText("9999999999");
  log().FrqSave->setText("07055.00");
  log().LogNotes->setText("alpha psk31 net");
  log().HFNet->setChecked(true);
  log().UniKey->setText("991231235959");
  log().SaveLog->click();
  ASSERT_EQ(log().Grid1->rowCount(), 2);

  // What the files hold.
  auto records = stored("Log.Dat", kLogItems);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]["UNIKEY"], firstKey);
  EXPECT_EQ(records[0]["NOTES"], "Zulu PSK31 CQ");
  EXPECT_EQ(records[0]["MODE"], "USB");
  EXPECT_EQ(records[1]["NET"], "1");
  EXPECT_EQ(records[1]["FRQ"], "07055.00");

  restart();
  ASSERT_EQ(log().Grid1->rowCount(), 2);
  EXPECT_EQ(cell(0, 5), "Zulu PSK31 CQ");  // by the sort stamp: oldest first
  EXPECT_EQ(cell(1, 5), "alpha psk31 net");
  EXPECT_EQ(log().Grid1->columnCount(), 9);  // "Call" from the companion last
  EXPECT_LE(log().Grid1->columnWidth(4), 1);  // "Sort" and "Key" are hidden by their width
  EXPECT_LE(log().Grid1->columnWidth(7), 1);
  EXPECT_EQ(log().Grid1->columnWidth(1), MainWindow::twipsToPixels(1000));
  // "Notes" takes the room the other columns leave, so that "Scn" stays in view.
  EXPECT_EQ(log().Grid1->horizontalHeader()->sectionResizeMode(5), QHeaderView::Stretch);

  filter(" All ");
  EXPECT_EQ(log().Grid1->rowCount(), 2);
  filter("PSK31");
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_EQ(cell(0, 5), "Zulu PSK31 CQ");
  filter("psk31");
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_EQ(cell(0, 5), "alpha psk31 net");
  filter("all");  // in lower case an ordinary word
  EXPECT_EQ(log().Grid1->rowCount(), 0);
  filter("All");
  EXPECT_EQ(log().Grid1->rowCount(), 2);

  // Sorting by "Notes" ignores case.
  EXPECT_EQ(log().Combo1->count(), 9);
  EXPECT_EQ(log().Combo1->itemText(5), "Notes");
  log().Combo1->setCurrentIndex(5);
  emit log().Combo1->activated(5);
  EXPECT_EQ(cell(0, 5), "alpha psk31 net");
  EXPECT_EQ(cell(1, 5), "Zulu PSK31 CQ");

  // Any cell of a row opens its entry.
  log().LogNotes->setText("stale");
  emit log().Grid1->cellDoubleClicked(1, 2);
  ASSERT_TRUE(shown(log().LogFrm));
  EXPECT_EQ(log().LogNotes->text(), "Zulu PSK31 CQ");
  EXPECT_EQ(log().UniKey->text(), firstKey);
  EXPECT_FALSE(log().HFNet->isChecked());
  // The scan and standards boxes are walked but keep what they show.
  EXPECT_EQ(tabs->scans().ScanNotes->text(), "");
  log().LogNotes->setText("Zulu PSK31 answered");
  log().SaveLog->click();
  ASSERT_EQ(log().Grid1->rowCount(), 2);
  records = stored("Log.Dat", kLogItems);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]["UNIKEY"], firstKey);
  EXPECT_EQ(records[0]["NOTES"], "Zulu PSK31 answered");

  // Delete with an empty key deletes nothing and says nothing.
  log().UniKey->clear();
  log().DelLog->click();
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(log().Grid1->rowCount(), 2);
  // Delete the opened entry.
  emit log().Grid1->cellDoubleClicked(0, 0);
  ASSERT_EQ(log().UniKey->text(), firstKey);
  log().DelLog->click();
  EXPECT_FALSE(shown(log().LogFrm));
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_EQ(cell(0, 7), "991231235959");
  records = stored("Log.Dat", kLogItems);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["UNIKEY"], "991231235959");
  EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(LogTest, ClicksTuneAndToggleTheScanMark) {
  start();
  addEntry("0705500", "net");
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  emit log().Grid1->cellClicked(0, LogTab::kMarkColumn);
  EXPECT_EQ(cell(0, LogTab::kMarkColumn), "X");
  emit log().Grid1->cellClicked(0, LogTab::kMarkColumn);
  EXPECT_EQ(cell(0, LogTab::kMarkColumn), "");
  link->written.clear();
  emit log().Grid1->cellClicked(0, 5);
  EXPECT_TRUE(link->written.empty());
  emit log().Grid1->cellClicked(0, LogTab::kFrequencyColumn);
  EXPECT_EQ(p->NewFrq->text(), "07055.00");
  ASSERT_EQ(link->written.size(), 1u);
  EXPECT_EQ(link->written[0], hex("00 55 70 00 08"));
  // Double-clicking the notes box clears it.
  log().LogNotes->setText("old notes");
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(log().LogNotes, &dbl);
  EXPECT_EQ(log().LogNotes->text(), "");
}

TEST_F(LogTest, MouseClicksOnTheShownGridTuneMarkAndOpen) {
  start();
  addEntry("0705500", "first net", "261201000001");
  addEntry("1407000", "second net", "261201000002");
  window->show();
  window->tabs()->setCurrentIndex(MainWindow::kLogsTab);
  QApplication::processEvents();
  ASSERT_EQ(log().Grid1->rowCount(), 2);
  auto at = [&](int row, int column) { return log().Grid1->visualRect(log().Grid1->model()->index(row, column)).center(); };
  link->written.clear();
  QTest::mouseClick(log().Grid1->viewport(), Qt::LeftButton, {}, at(1, LogTab::kFrequencyColumn));
  EXPECT_EQ(p->NewFrq->text(), "14070.00");
  ASSERT_EQ(link->written.size(), 1u);
  EXPECT_EQ(link->written[0], hex("00 70 40 01 08"));
  QTest::mouseClick(log().Grid1->viewport(), Qt::LeftButton, {}, at(0, LogTab::kMarkColumn));
  EXPECT_EQ(cell(0, LogTab::kMarkColumn), "X");
  EXPECT_EQ(cell(1, LogTab::kMarkColumn), "");
  // A double-click as the mouse makes it: a click, then the second press and its release.
  QTest::mouseClick(log().Grid1->viewport(), Qt::LeftButton, {}, at(1, 0));
  EXPECT_FALSE(shown(log().LogFrm));
  QTest::mouseDClick(log().Grid1->viewport(), Qt::LeftButton, {}, at(1, 0));
  QTest::mouseRelease(log().Grid1->viewport(), Qt::LeftButton, {}, at(1, 0));
  ASSERT_TRUE(shown(log().LogFrm));
  EXPECT_EQ(log().LogNotes->text(), "second net");
  EXPECT_EQ(log().UniKey->text(), "261201000002");
}

TEST_F(LogTest, SortingKeepsTheMarksARefillDropsThemAndTheSelection) {
  start();
  addEntry("0705500", "charlie", "261201000001");
  addEntry("1407000", "alpha", "261201000002");
  addEntry("0360000", "Bravo", "261201000003");
  window->show();
  ASSERT_EQ(log().Grid1->rowCount(), 3);
  emit log().Grid1->cellClicked(0, LogTab::kMarkColumn);  // charlie
  log().Combo1->setCurrentIndex(5);
  emit log().Combo1->activated(5);
  EXPECT_EQ(cell(0, 5), "alpha");
  EXPECT_EQ(cell(1, 5), "Bravo");
  EXPECT_EQ(cell(2, 5), "charlie");
  EXPECT_EQ(cell(2, LogTab::kMarkColumn), "X");  // the mark went with its row
  EXPECT_EQ(cell(0, LogTab::kMarkColumn), "");
  EXPECT_EQ(log().Grid1->currentRow(), 0);
  EXPECT_EQ(log().Grid1->currentColumn(), 5);
  EXPECT_EQ(window->focusWidget(), p->KBD);
  // The selected-entries scan finds the mark where the sort put it.
  window->scanner()->selectedTick();
  EXPECT_EQ(window->scanner()->selectedScanRow(), 3);
  EXPECT_EQ(p->NewFrq->text(), "07055.00");

  log().Grid1->setCurrentCell(1, 0);
  ASSERT_TRUE(log().Grid1->selectionModel()->hasSelection());
  log().table().display();
  EXPECT_EQ(log().Grid1->rowCount(), 3);
  EXPECT_EQ(cell(0, 5), "charlie");  // key order again, by the equal sort stamps
  EXPECT_EQ(cell(0, LogTab::kMarkColumn), "");
  EXPECT_FALSE(log().Grid1->selectionModel()->hasSelection());
  EXPECT_FALSE(log().Grid1->currentIndex().isValid());
}

TEST_F(LogTest, FailedSaveKeepsTheFrameAndTheText) {
  start();
  log().Log1->click();
  log().FrqSave->setText("14070.00");
  log().LogNotes->setText("do not lose me");
  kdb.failWrites = true;
  log().SaveLog->click();
  EXPECT_EQ(dialogs.messages, QStringList{"Error writing to Log file"});
  EXPECT_TRUE(shown(log().LogFrm));
  EXPECT_EQ(log().LogNotes->text(), "do not lose me");
  EXPECT_EQ(log().Grid1->rowCount(), 0);
  kdb.failWrites = false;
  log().SaveLog->click();  // the retry keeps the key it was given
  EXPECT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_EQ(stored("Log.Dat", kLogItems).size(), 1u);
}

TEST_F(LogTest, LongNotesAreCutToTheItem) {
  start();
  log().Log1->click();
  log().FrqSave->setText("14070.00");
  log().LogNotes->setMaxLength(32767);  // even past the box's own limit
  log().LogNotes->setText(QString(150, QLatin1Char('n')));
  log().SaveLog->click();
  const auto records = stored("Log.Dat", kLogItems);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("NOTES"), QString(100, QLatin1Char('n')));
  EXPECT_EQ(records[0].at("MODE"), log().LogMode->text());
}

TEST_F(LogTest, MissingScansTableShowsTheMessageOnceAndKeepsThePanel) {
  ASSERT_TRUE(QFile::remove("Scans.Dat"));
  start();
  EXPECT_FALSE(tabs->opened());
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_EQ(dialogs.messages[0], "Error opening Log file\n" + QDir::toNativeSeparators(dir.path()) + " lacks Scans.Dat.");
  for (tables::Grid *grid : {log().Grid1, tabs->scans().Grid2, tabs->standards().Grid3}) {
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), grid == tabs->scans().Grid2 ? "Hi" : "Frequency");
  }
  p->NewFrq->setText("14250");
  p->FreqGo->click();
  ASSERT_EQ(link->written.size(), 1u);
  EXPECT_EQ(link->written[0], hex("00 50 42 01 08"));
}

TEST_F(LogTest, MissingLibraryShowsTheMessageOnceAndKeepsThePanel) {
  tables::LumbraLibrary missing({"/nonexistent/liblumbra.so"});
  testing::internal::CaptureStderr();
  start(&missing);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(missing.loaded());
  EXPECT_NE(err.find("cannot load the record layer"), std::string::npos) << err;
  EXPECT_NE(err.find("/nonexistent/liblumbra.so"), std::string::npos) << err;
  EXPECT_EQ(dialogs.messages, QStringList{"Error opening Log file\nin " + QDir::toNativeSeparators(dir.path())});
  log().Log1->click();
  log().FrqSave->setText("7000");
  log().SaveLog->click();  // every later call fails quietly
  EXPECT_EQ(dialogs.messages.size(), 2);
  p->NewFrq->setText("7000");
  p->FreqGo->click();
  EXPECT_EQ(link->written.size(), 1u);
}
