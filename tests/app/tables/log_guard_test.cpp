// What keeps wrong entries out of the log, driven by typed text, clicks and
// keys on a shown window: a frequency asked for when the radio gave none and
// checked against the radio's range, the count of the notes' characters,
// Delete that asks first and keeps the grid's filter, and the dialog of a
// folder without the tables.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "app/tables/logtab.h"
#include "tests/app/tables/tables_fixture.h"

using tables::LogTab;

namespace {

const std::vector<QByteArray> kItems = {"FRQ", "MODE", "NOTES", "UNIKEY"};

class LogGuardTest : public TablesTest {
protected:
  LogTab &log() { return tabs->log(); }
  void showLogs() {
    window->show();
    window->showFull();
    window->tabs()->setCurrentIndex(MainWindow::kLogsTab);
    QApplication::processEvents();
  }
  // Replaces the text of `box` as typing does.
  static void type(QLineEdit *box, const QString &text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
  }
  QPoint cellCentre(int row, int column) {
    return log().Grid1->visualRect(log().Grid1->model()->index(row, column)).center();
  }
};

}  // namespace

TEST_F(LogGuardTest, WithoutARadioFrequencyTheFrameAsksForOneInRange) {
  start();
  showLogs();
  QTest::mouseClick(log().Log1, Qt::LeftButton);
  ASSERT_TRUE(shown(log().LogFrm));
  EXPECT_EQ(log().FrqSave->text(), "");
  EXPECT_TRUE(log().FrameNote->text().startsWith("Type the frequency, kHz (00100.00 to 30000.00 kHz)"));
  EXPECT_EQ(QApplication::focusWidget(), log().FrqSave);

  // Neither empty, a dot, MHz nor a text is saved.
  for (const char *typed : {"", ".", "7.074", "CQ"}) {
    type(log().FrqSave, typed);
    QTest::mouseClick(log().SaveLog, Qt::LeftButton);
    EXPECT_TRUE(shown(log().LogFrm)) << typed;
    EXPECT_FALSE(log().FrameNote->text().isEmpty()) << typed;
  }
  EXPECT_TRUE(stored("Log.Dat", kItems).empty());
  EXPECT_TRUE(dialogs.messages.isEmpty());

  type(log().FrqSave, "7074");
  type(log().LogNotes, "FT8 test");
  EXPECT_EQ(log().NotesCount->text(), "8/100");
  QTest::mouseClick(log().SaveLog, Qt::LeftButton);
  EXPECT_FALSE(shown(log().LogFrm));
  const auto records = stored("Log.Dat", kItems);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].at("FRQ"), "07074.00");
  EXPECT_EQ(records[0].at("NOTES"), "FT8 test");
}

TEST_F(LogGuardTest, NotesCountTheirHundredCharacters) {
  start();
  showLogs();
  reportToState(window->radio()->state(), "1407000", "USB");
  QTest::mouseClick(log().Log1, Qt::LeftButton);
  EXPECT_EQ(log().FrameNote->text(), "");
  type(log().LogNotes, QString(120, 'x'));
  EXPECT_EQ(log().LogNotes->text().size(), 100);
  EXPECT_EQ(log().NotesCount->text(), "100/100");
  QTest::mouseDClick(log().LogNotes, Qt::LeftButton);
  EXPECT_EQ(log().NotesCount->text(), "0/100");
}

TEST_F(LogGuardTest, DeleteAsksFirstAndTheGridKeepsItsWordFilter) {
  start();
  showLogs();
  ASSERT_TRUE(log().FindWords->isEnabled());
  // Keys of their own: entries saved within one second are a matter of their own.
  int second = 0;
  for (const char *notes : {"alpha net", "alpha dx", "bravo"}) {
    reportToState(window->radio()->state(), "1407000", "USB");
    QTest::mouseClick(log().Log1, Qt::LeftButton);
    log().UniKey->setText(QStringLiteral("2612092100%1").arg(++second, 2, 10, QLatin1Char('0')));
    type(log().LogNotes, notes);
    QTest::mouseClick(log().SaveLog, Qt::LeftButton);
  }
  type(log().FindWords, "alpha");
  QTest::keyClick(log().FindWords, Qt::Key_Return);
  ASSERT_EQ(log().Grid1->rowCount(), 2);

  // A double-click on the notes cell opens the entry.
  // A double-click as the mouse makes it: a click, then the second press and its release.
  QTest::mouseClick(log().Grid1->viewport(), Qt::LeftButton, {}, cellCentre(0, 5));
  QTest::mouseDClick(log().Grid1->viewport(), Qt::LeftButton, {}, cellCentre(0, 5));
  QTest::mouseRelease(log().Grid1->viewport(), Qt::LeftButton, {}, cellCentre(0, 5));
  ASSERT_TRUE(shown(log().LogFrm));
  const QString opened = log().LogNotes->text();
  EXPECT_TRUE(opened.startsWith("alpha"));

  dialogs.yesNoAnswer = 0;  // "No" (Escape) keeps the entry
  QTest::mouseClick(log().DelLog, Qt::LeftButton);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].message.startsWith("Delete the entry of"));
  EXPECT_EQ(stored("Log.Dat", kItems).size(), 3u);
  EXPECT_TRUE(shown(log().LogFrm));

  dialogs.yesNoAnswer = 1;
  QTest::mouseClick(log().DelLog, Qt::LeftButton);
  EXPECT_EQ(stored("Log.Dat", kItems).size(), 2u);
  EXPECT_EQ(log().FindWords->text(), "alpha");
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_NE(log().Grid1->text(0, 5), opened);
  EXPECT_TRUE(log().Grid1->text(0, 5).startsWith("alpha"));
}

TEST_F(LogGuardTest, MissingTablesAreMadeHereOnRequest) {
  for (const char *file : {"Log.Dat", "Scans.Dat", "Standards.Dat", "LogWords.fid"}) ASSERT_TRUE(QFile::remove(file));
  dialogs.missingAnswers = {tables::Dialogs::MissingTables::CreateHere};
  start();
  EXPECT_TRUE(tabs->opened());
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_EQ(dialogs.messages[0], "Error opening Log file\n" + QDir::toNativeSeparators(dir.path()) +
                                     " lacks Log.Dat, Scans.Dat, Standards.Dat.");
  for (const char *file : {"Log.Dat", "Log.idx", "Scans.Dat", "Standards.Dat", "LogWords.fid"})
    EXPECT_TRUE(QFile::exists(file)) << file;
  EXPECT_TRUE(log().FindWords->isEnabled());
  reportToState(window->radio()->state(), "0707400", "USB");
  log().Log1->click();
  log().SaveLog->click();
  EXPECT_EQ(stored("Log.Dat", kItems).size(), 1u);
}

TEST_F(LogGuardTest, AnotherFolderIsOpenedOnRequest) {
  QTemporaryDir other;
  ASSERT_TRUE(other.isValid());
  for (const char *file : {"Log.Dat", "Log.fid", "Log.idx"})
    ASSERT_TRUE(QFile::rename(file, other.filePath(file)));
  for (const char *file : {"Scans", "Standards"})
    for (const char *ext : {".Dat", ".fid", ".idx"})
      ASSERT_TRUE(QFile::copy(QString(file) + ext, other.filePath(QString(file) + ext)));
  dialogs.missingAnswers = {tables::Dialogs::MissingTables::OpenAnother};
  dialogs.folder = other.path();
  start();
  EXPECT_TRUE(tabs->opened());
  EXPECT_EQ(QDir::currentPath(), other.path());
  EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(LogGuardTest, MakingFailsWithTheToolNamed) {
  ASSERT_TRUE(QFile::remove("Log.Dat"));
  QString error;
  EXPECT_FALSE(tables::makeMissingTables(dir.path(), "/nonexistent/corvex", &error));
  EXPECT_TRUE(error.contains("/nonexistent/corvex")) << error.toStdString();
  EXPECT_EQ(tables::missingTables(dir.path()), QStringList{"Log.Dat"});
}

// Every button of the window, on the panel and on every tab, says what it
// does when the mouse rests on it.
TEST_F(LogGuardTest, EveryButtonHasATooltip) {
  start();
  showLogs();
  QStringList silent;
  for (const QAbstractButton *b : window->findChildren<QAbstractButton *>())
    // Qt's own parts (a tab bar's scroll arrows, a grid's corner) have no name.
    if (!b->objectName().isEmpty() && !qobject_cast<QTabBar *>(b->parent()) && b->toolTip().isEmpty()) silent << b->objectName() + " \"" + b->text() + "\"";
  EXPECT_TRUE(silent.isEmpty()) << silent.join(", ").toStdString();
}
