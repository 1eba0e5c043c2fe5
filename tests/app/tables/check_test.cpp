// "Check tables" over real tables: sound tables are reported sound, a
// damaged one is described, repaired with the repair its findings call for
// after the user agrees, opened again and found sound.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "app/tables/logtab.h"

#include "app/tables/checktables.h"
#include "engine/maintenance/filemaint.h"
#include "tests/app/tables/tables_fixture.h"
#include "tests/support/recording_progress.h"

namespace {

class CheckTablesTest : public TablesTest {
protected:
  void SetUp() override {
    TablesTest::SetUp();
    care.installProgressWindow(&progress);
    start();
    check = std::make_unique<tables::CheckTables>(window.get(), tabs.get(), &care, &dialogs);
  }
  void TearDown() override {
    check.reset();
    care.installProgressWindow(nullptr);
    TablesTest::TearDown();
  }

  static void overwrite(const char *file, qint64 at, const QByteArray &bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(at));
    ASSERT_EQ(f.write(bytes), bytes.size());
  }

  tables::LibraryCare care{&lumbra()};
  corvex::testing::RecordingProgress progress;
  std::unique_ptr<tables::CheckTables> check;
};

TEST_F(CheckTablesTest, SoundTablesAreReportedSound) {
  EXPECT_EQ(check->button()->text(), "Check tables");
  check->button()->click();
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_EQ(dialogs.messages[0], "Log.Dat: sound.\nScans.Dat: sound.\nStandards.Dat: sound.");
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(progress.lines[corvex::kFmMessage], "Message: VERIFY completed successfuly.");
}

TEST_F(CheckTablesTest, DamagedTablesAreRepairedWithWhatTheFindingsSay) {
  // A header count that the data file does not hold calls for PACK; an
  // index cut short calls for RECOVER.
  overwrite("Log.Dat", 1, "00000003");
  ASSERT_TRUE(QFile::resize("Scans.idx", 10));
  check->run();
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_TRUE(dialogs.shown[0].message.startsWith("Log.Dat is damaged:\n"
                                                  "Data records/data file header mismatch. Solution: PACK.\n"))
      << dialogs.shown[0].message.toStdString();
  EXPECT_TRUE(dialogs.shown[0].message.endsWith("Repair it with PACK now?"));
  EXPECT_TRUE(dialogs.shown[1].message.endsWith("Repair it with RECOVER now?"));
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_EQ(dialogs.messages[0],
            "Log.Dat: repaired with PACK; it is sound now.\n"
            "Scans.Dat: repaired with RECOVER; it is sound now.\n"
            "Standards.Dat: sound.");
  // The tables are open again and take new entries.
  EXPECT_EQ(tables::LibraryCare(&lumbra()).filemaint(FM_VERIFY, "Log.Dat", 0, ""), 0);
  EXPECT_EQ(lumbra().posn(tabs->database().fileId(tables::TableId::Scans), "", 1, 0), 0);
}

TEST_F(CheckTablesTest, ARefusedRepairLeavesTheTableAsItWas) {
  ASSERT_TRUE(QFile::resize("Scans.idx", 10));
  dialogs.yesNoAnswer = 0;
  check->run();
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].contains("Scans.Dat: not repaired. Error reading index file."))
      << dialogs.messages[0].toStdString();
  EXPECT_EQ(QFile("Scans.idx").size(), 10);
}

// A program killed after writing a log entry but before the data file's
// header counted it: the next start's open mends the log by itself, shows
// the entry and leaves nothing to repair.
TEST_F(CheckTablesTest, ATableLeftUnfinishedIsMendedByTheNextStart) {
  QFile log("Log.Dat");
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QByteArray emptyHeader = log.read(9);
  log.close();
  tables::LogTab &tab = tabs->log();
  tab.Log1->click();
  tab.FrqSave->setText("14070.00");
  tab.LogNotes->setText("saved just before the crash");
  tab.SaveLog->click();
  ASSERT_EQ(tab.Grid1->rowCount(), 1);
  check.reset();
  stop();
  overwrite("Log.Dat", 0, emptyHeader);

  start();
  EXPECT_TRUE(tabs->database().unfinished().empty());
  EXPECT_EQ(tabs->log().Grid1->rowCount(), 1);
  EXPECT_EQ(tables::LibraryCare(&lumbra()).filemaint(FM_VERIFY, "Log.Dat", 0, ""), 0);
}

}  // namespace
