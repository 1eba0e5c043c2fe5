// Finding log entries by the words of their notes, on fresh tables.
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/tables/logtab.h"
#include "tests/app/tables/tables_fixture.h"

using tables::LogTab;
using tables::LogWords;

namespace {

class WordsTest : public TablesTest {
protected:
  LogTab &log() { return tabs->log(); }
  void addEntry(const QString &key, const QString &notes) {
    log().Log1->click();
    log().FrqSave->setText("14070.00");
    log().LogNotes->setText(notes);
    log().UniKey->setText(key);
    log().SaveLog->click();
  }
  // The keys of the entries listed for `words`, in grid order.
  QStringList find(const QString &words) {
    log().FindWords->setText(words);
    log().findWords();
    QStringList keys;
    for (int row = 0; row < log().Grid1->rowCount(); ++row)
      keys << log().Grid1->text(row, LogTab::kKeyColumn);
    return keys;
  }
  void seed() {
    addEntry("261207210509", "Strong signal from the coast guard, (Weather) net");
    addEntry("261207211000", "weak signal, QSB");
    addEntry("261208080000", "PSK31 net on 14070");
  }
};

TEST(LogWordsTest, DocumentNumbersComeFromTheKeysTimeAndGoBack) {
  EXPECT_EQ(LogWords::documentOf("000101000000"), 0u);
  EXPECT_EQ(LogWords::documentOf("000102000001"), 86401u);
  EXPECT_EQ(LogWords::keyOf(*LogWords::documentOf("261207210509")), "261207210509");
  EXPECT_FALSE(LogWords::documentOf("261307210509"));  // month 13
  EXPECT_FALSE(LogWords::documentOf("12"));
}

TEST(LogWordsTest, SearchWordsAreCleanedAsTheIndexCleansThem) {
  EXPECT_EQ(LogWords::searchWords("  (Strong), the SIGNAL. TV tv it and"),
            (QStringList{"strong", "signal", "tv"}));
  EXPECT_TRUE(LogWords::notesHold("Strong signal, QSB", {"signal", "qsb"}));
  EXPECT_FALSE(LogWords::notesHold("Strong signals", {"signal"}));
}

TEST_F(WordsTest, FindsTheEntriesWhoseNotesHoldEveryWord) {
  start();
  ASSERT_TRUE(log().FindWords->isEnabled());
  seed();
  EXPECT_EQ(find("signal"), (QStringList{"261207210509", "261207211000"}));
  EXPECT_EQ(find("SIGNAL weather"), QStringList{"261207210509"});
  EXPECT_EQ(find("net psk31"), QStringList{"261208080000"});
  EXPECT_EQ(find("14070"), QStringList{"261208080000"});
  EXPECT_TRUE(find("absent").isEmpty());
  EXPECT_EQ(find("").size(), 3);  // an empty box lists the whole log
  EXPECT_TRUE(QFile::exists("LogWords.hyp"));
}

TEST_F(WordsTest, ChangedNotesAreFoundByTheirNewWordsOnly) {
  start();
  seed();
  log().LogNotes->setText("rtty contest");
  log().UniKey->setText("261207211000");
  log().SaveLog->click();
  EXPECT_EQ(find("contest"), QStringList{"261207211000"});
  EXPECT_EQ(find("signal"), QStringList{"261207210509"});  // the old word stays in the index, unlisted
  log().UniKey->setText("261207210509");
  log().DelLog->click();
  EXPECT_TRUE(find("signal").isEmpty());
}

TEST_F(WordsTest, IndexMissingOrOlderThanTheLogIsMadeAfreshAtStart) {
  start();
  seed();
  stop();
  ASSERT_TRUE(QFile::remove("LogWords.hyp"));
  start();
  EXPECT_EQ(find("signal").size(), 2);
  stop();
  // An index older than the log, as after the log was changed elsewhere.
  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "LogWords.hyp", old, 0), 0);
  start();
  EXPECT_EQ(find("weather"), QStringList{"261207210509"});
  struct stat st;
  ASSERT_EQ(stat("LogWords.hyp", &st), 0);
  EXPECT_GT(st.st_mtim.tv_sec, 1000000000);
  EXPECT_TRUE(QDir().entryList({"LogWords*~*"}, QDir::Files).isEmpty()) << "a temporary was left";
  stop();
  ASSERT_TRUE(QFile::remove("LogWords.Dat"));  // the postings cannot be reached without it
  start();
  EXPECT_EQ(find("weather"), QStringList{"261207210509"});
}

TEST_F(WordsTest, WithoutTheDescriptionTheBoxSaysWhyAndOffersToBuildIt) {
  ASSERT_TRUE(QFile::remove("LogWords.fid"));
  start();
  EXPECT_FALSE(log().words().isOpen());
  EXPECT_TRUE(log().FindWords->toolTip().contains("LogWords.fid is missing in " + QDir::toNativeSeparators(dir.path())));
  EXPECT_TRUE(log().FindWords->toolTip().contains("build the word index"));
  seed();
  EXPECT_EQ(log().Grid1->rowCount(), 3);

  // Enter in the box asks; No leaves the grid as it is.
  dialogs.yesNoAnswer = 0;
  log().FindWords->setText("signal");
  QTest::keyClick(log().FindWords, Qt::Key_Return);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_TRUE(dialogs.shown[0].message.endsWith("Build the word index now?"));
  EXPECT_EQ(log().Grid1->rowCount(), 3);
  // Yes builds it from the log and searches.
  dialogs.yesNoAnswer = 1;
  QTest::keyClick(log().FindWords, Qt::Key_Return);
  EXPECT_TRUE(log().words().isOpen());
  EXPECT_TRUE(QFile::exists("LogWords.fid"));
  EXPECT_EQ(find("signal"), (QStringList{"261207210509", "261207211000"}));
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
}

}  // namespace
