// The table tabs as an operator meets them: new entries that replace none,
// the import of awkward files, the focus while typing, UTC stamps, and
// messages that do not wait when no one is there to answer.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/radio/scanner.h"
#include "app/tables/logtab.h"
#include "app/tables/scanstab.h"
#include "app/tables/stamps.h"
#include "app/tables/standardsimport.h"
#include "app/tables/standardstab.h"
#include "tests/app/tables/tables_fixture.h"

using tables::stamp;

namespace {

const std::vector<QByteArray> kLogItems = {"NOTES", "UNIKEY"};
const std::vector<QByteArray> kScanItems = {"SCANNOTES", "SCANUNIKEY"};
const std::vector<QByteArray> kStandardItems = {"FRQS", "MODES", "NOTESS", "UNIKEYS"};

void writeFile(const QString &name, const QByteArray &bytes) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class OperatorTest : public TablesTest {
protected:
  tables::LogTab &log() { return tabs->log(); }
  tables::ScansTab &scans() { return tabs->scans(); }
  tables::StandardsTab &standards() { return tabs->standards(); }

  void saveLog(const QString &notes, const QString &key) {
    log().Log1->click();
    log().FrqSave->setText("14070.00");
    log().LogNotes->setText(notes);
    log().UniKey->setText(key);
    log().SaveLog->click();
  }
  void saveScan(const QString &notes, const QString &key) {
    scans().AddScan->click();
    scans().ScanNotes->setText(notes);
    scans().ScanUniKey->setText(key);
    scans().ScanToFile->click();
  }
  void saveStandard(const QString &notes, const QString &key) {
    standards().ButtonPlus3->click();
    standards().SFreq->setText("14070.00");
    standards().SNotes->setText(notes);
    standards().UNIKEYS->setText(key);
    standards().ButtonPlus5->click();
  }
  QStringList importFile(const QString &name, const QByteArray &bytes) {
    writeFile(dir.filePath(name), bytes);
    dialogs.fileName = dir.filePath(name);
    dialogs.shown.clear();
    standards().Command1->click();
    return dialogs.shownTexts();
  }
  // The keys of `pattern` for now and the next `seconds` seconds, so that a
  // key made from the clock during the test is one of them.
  static QStringList keysFromNow(const char *pattern, int seconds) {
    const QDateTime now = tables::stampClock();
    QStringList keys;
    for (int s = 0; s <= seconds; ++s) keys << stamp(QLatin1String(pattern), now.addSecs(s));
    return keys;
  }
  static QStringList values(const std::vector<std::map<QByteArray, QString>> &records, const QByteArray &item) {
    QStringList out;
    for (const auto &r : records) out << r.at(item);
    return out;
  }
};

}  // namespace

TEST_F(OperatorTest, AddTwoStandardsStartsAnEmptyEntry) {
  start();
  saveStandard("RTTY 45 Digital", "");
  ASSERT_EQ(standards().Grid3->rowCount(), 1);
  emit standards().Grid3->cellDoubleClicked(0, tables::StandardsTab::kModeColumn);
  ASSERT_FALSE(standards().UNIKEYS->text().isEmpty());
  standards().ButtonPlus6->click();

  standards().ButtonPlus3->click();
  for (QLineEdit *box : {standards().SFreq, standards().SMode, standards().SNotes, standards().UNIKEYS,
                         standards().DateTimes, standards().Text8})
    EXPECT_TRUE(box->text().isEmpty()) << box->objectName().toStdString();
  EXPECT_TRUE(shown(standards().Frame1));
  standards().SFreq->setText("14083.00");
  standards().SNotes->setText("RTTYM 500 Digital");
  standards().ButtonPlus5->click();
  QStringList notes = values(stored("Standards.Dat", kStandardItems), "NOTESS");
  notes.sort();
  EXPECT_EQ(notes, (QStringList{"RTTY 45 Digital", "RTTYM 500 Digital"}));

  // After an import the boxes hold the last imported entry: Add empties them too.
  importFile("one.csv", "PSK31,14070\n");
  standards().ButtonPlus3->click();
  standards().SNotes->setText("Olivia Digital");
  standards().ButtonPlus5->click();
  EXPECT_EQ(stored("Standards.Dat", kStandardItems).size(), 4u);
}

TEST_F(OperatorTest, NewKeysNeverReplaceAnEntry) {
  start();
  // Entries holding the keys the clock gives now and in the next seconds:
  // a new entry saved meanwhile takes the next free key.
  const QStringList logKeys = keysFromNow(tables::kUniqueKeyPattern, 3);
  for (const QString &key : logKeys) saveLog("old " + key, key);
  saveLog("new one", "");
  saveLog("new two", "");
  auto records = stored("Log.Dat", kLogItems);
  EXPECT_EQ(records.size(), logKeys.size() + 2);
  const QStringList notes = values(records, "NOTES");
  EXPECT_TRUE(notes.contains("new one") && notes.contains("new two"));
  for (const QString &key : logKeys) EXPECT_TRUE(notes.contains("old " + key));
  EXPECT_EQ(values(records, "UNIKEY").last().size(), 12);

  const QStringList scanKeys = keysFromNow(tables::kUniqueKeyPattern, 3);
  for (const QString &key : scanKeys) saveScan("old", key);
  saveScan("new", "");
  EXPECT_EQ(stored("Scans.Dat", kScanItems).size(), scanKeys.size() + 1);

  // Standards keys have no month: the same day and time of another month
  // is the same key.
  const QStringList standardKeys = keysFromNow(tables::kStandardKeyPattern, 3);
  for (const QString &key : standardKeys) saveStandard("old", key);
  saveStandard("new", "");
  records = stored("Standards.Dat", kStandardItems);
  EXPECT_EQ(records.size(), standardKeys.size() + 1);
  EXPECT_TRUE(values(records, "NOTESS").contains("new"));

  // An import's key is the stamp plus a counter that starts again with the
  // program: keys of an earlier run are passed over.
  const long long base = stamp(QLatin1String(tables::kImportKeyPattern), tables::stampClock()).toLongLong();
  for (int i = 1; i <= 5; ++i) saveStandard("earlier import", QString::number(base + i));
  importFile("two.csv", "PSK31,14070\nRTTY,14080\n");
  records = stored("Standards.Dat", kStandardItems);
  EXPECT_EQ(records.size(), standardKeys.size() + 1 + 5 + 2);
  EXPECT_EQ(values(records, "NOTESS").count("earlier import"), 5);
}

TEST_F(OperatorTest, ImportSkipsFrequenciesThePanelCannotTune) {
  start();
  const QStringList notices = importFile("range.csv", "Big,144174\nNeg,-7\nTop,99999.99\nZero,0\nOver,99999.996\n");
  EXPECT_TRUE(notices.last().contains("2 stored, 3 skipped")) << notices.last().toStdString();
  QStringList frequencies = values(stored("Standards.Dat", kStandardItems), "FRQS");
  frequencies.sort();
  EXPECT_EQ(frequencies, (QStringList{".00", "99999.99"}));
}

TEST_F(OperatorTest, ImportReadsOnlyARegularFileOfBoundedSize) {
  start();
  const size_t before = stored("Standards.Dat", kStandardItems).size();
  QByteArray huge = QByteArray("PSK31,14070\n").repeated(tables::StandardsImport::kMaxFileBytes / 12 + 1);
  QStringList notices = importFile("huge.csv", huge);
  EXPECT_TRUE(notices.last().contains("larger than 8 MB")) << notices.last().toStdString();
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.csv")).constData(), 0600), 0);
  dialogs.fileName = dir.filePath("pipe.csv");
  dialogs.shown.clear();
  standards().Command1->click();
  EXPECT_TRUE(dialogs.shownTexts().last().contains("Unable to open")) << dialogs.shownTexts().last().toStdString();
  EXPECT_EQ(stored("Standards.Dat", kStandardItems).size(), before);
}

TEST_F(OperatorTest, ImportReadsUtf8AndLatin1) {
  start();
  QStringList notices = importFile("utf8.csv", "Caf\xc3\xa9,14070\n");
  EXPECT_FALSE(notices.last().contains("Latin-1")) << notices.last().toStdString();
  notices = importFile("latin1.csv", "Caf\xe9 2,14071\n");
  EXPECT_FALSE(notices.last().contains("Latin-1"));
  notices = importFile("greek.csv", "\xef\xbb\xbf\xce\xa9mega \xe2\x82\xac,14072\n");
  EXPECT_TRUE(notices.last().contains("1 stored, 0 skipped, 2 characters beyond Latin-1")) << notices.last().toStdString();
  QStringList notes = values(stored("Standards.Dat", kStandardItems), "NOTESS");
  notes.sort();
  EXPECT_EQ(notes, (QStringList{"?mega ? Digital", QString::fromUtf8("Café 2 Digital"), QString::fromUtf8("Café Digital")}));
}

TEST_F(OperatorTest, TypingInAnEntryKeepsTheFocusDuringAScan) {
  start();
  window->showFull();
  window->show();
  p->ButtonPlus1->click();  // the range scan runs
  log().Log1->click();
  log().LogNotes->clear();
  log().LogNotes->setFocus();
  link->written.clear();
  window->scanner()->rangeTick();
  ASSERT_EQ(link->written.size(), 1u);
  link->feed(link->written[0]);  // its echo
  link->feed(QByteArray(5, '\0'));  // and its reply
  EXPECT_EQ(window->focusWidget(), log().LogNotes);
  link->written.clear();
  QTest::keyClicks(log().LogNotes, "S9 on 14070 +20");
  EXPECT_EQ(log().LogNotes->text(), "S9 on 14070 +20");
  EXPECT_TRUE(link->written.empty());
  p->ButtonPlus1->click();

  // The filter box is typed into as well.
  log().OnlyShow->setFocus();
  window->scanner()->rangeTick();
  EXPECT_EQ(window->focusWidget(), log().OnlyShow);

  // "Scan Selected" hands the focus back to the keys; Tab leaves a grid.
  QTest::mouseClick(log().ButtonPlus2, Qt::LeftButton);
  EXPECT_EQ(window->focusWidget(), p->KBD);
  QTest::mouseClick(log().ButtonPlus2, Qt::LeftButton);
  log().Grid1->setFocus();
  QTest::keyClick(log().Grid1, Qt::Key_Tab);
  EXPECT_NE(window->focusWidget(), log().Grid1);
}

TEST_F(OperatorTest, UtcStampsNewEntries) {
  start();
  EXPECT_FALSE(tables::stampsInUtc());
  p->UtcBox->click();
  EXPECT_TRUE(tables::stampsInUtc());
  const QDateTime before = QDateTime::currentDateTimeUtc();
  log().Log1->click();
  const QDateTime after = QDateTime::currentDateTimeUtc();
  const QLatin1String pattern(tables::kLogDatePattern);
  EXPECT_TRUE(log().Col0->text() == stamp(pattern, before) || log().Col0->text() == stamp(pattern, after))
      << log().Col0->text().toStdString();
  EXPECT_EQ(log().Col4->text().left(8), stamp(QLatin1String(tables::kSortPattern), after).left(8));
  p->UtcBox->click();
  EXPECT_FALSE(tables::stampsInUtc());
}

TEST_F(OperatorTest, MessagesDoNotWaitWhenNoOneAnswers) {
  // Without Scans.Dat the start-up says "Error opening Log file"; shown only,
  // the message lets the start-up (and a screenshot) go on.
  ASSERT_TRUE(QFile::remove("Scans.Dat"));
  auto port = std::make_unique<FakeLink>();
  window = std::make_unique<MainWindow>(std::move(port), std::make_unique<FakeMixer>(), "1");
  tables::WidgetDialogs shownOnly(window.get(), tables::WidgetDialogs::kShowOnly);
  tabs = std::make_unique<tables::Tables>(window.get(), &lumbra(), &kdb, &shownOnly);
  EXPECT_FALSE(tabs->opened());
  QMessageBox *box = window->findChild<QMessageBox *>();
  ASSERT_NE(box, nullptr);
  // The dialog of missing tables, with its way forward.
  EXPECT_EQ(box->text(), "Error opening Log file\n" + QDir::toNativeSeparators(dir.path()) + " lacks Scans.Dat.");
  EXPECT_TRUE(box->isVisible());
  QStringList offers;
  for (const QAbstractButton *b : box->buttons()) offers << b->text();
  EXPECT_TRUE(offers.contains("Create empty tables here"));
  EXPECT_TRUE(offers.contains("Open another folder"));
  EXPECT_EQ(shownOnly.showMessage({"Correct Upper Case Text to Proper Case", 1, "h", "Y", 0}), 0);
  EXPECT_EQ(shownOnly.openFileName("Comma Delimitated (*.csv)", "Csv"), "");
  for (QWidget *w : QApplication::topLevelWidgets())
    if (qobject_cast<QDialog *>(w)) w->close();
}
