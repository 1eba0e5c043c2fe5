// ADIF export and import of the station log and its companion on fresh
// tables, through the Logs tab's menu and the command-line entry; the
// entry form's call and reports, the UTC property of the log and the
// contacts of the weak-signal programs' datagrams.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <sys/stat.h>

#include <set>

#include "app/tables/adiflog.h"
#include "app/tables/adifmenu.h"
#include "app/tables/logtab.h"
#include "tests/app/tables/tables_fixture.h"

namespace {

const std::vector<QByteArray> kItems = {"DATETIME", "FRQ", "MODE", "NET", "DATESORT", "NOTES", "UNIKEY"};

class AdifLogTest : public TablesTest {
protected:
  tables::LogTab &log() { return tabs->log(); }
  void add(const char *digits, const char *mode, const QString &notes, bool net = false) {
    reportToState(window->radio()->state(), digits, mode);
    log().Log1->click();
    log().LogNotes->setText(notes);
    log().HFNet->setChecked(net);
    log().UniKey->setText(QString::number(261207000000 + ++saved_));
    log().SaveLog->click();
  }
  // Fresh empty tables in place of the current ones.
  void emptyTables() {
    stop();
    for (const QString &f : QDir(dir.path()).entryList({"Log.*", "LogExtra.*"})) QFile::remove(dir.filePath(f));
    ASSERT_EQ(QProcess::execute(CORVEX_TOOL, {"make", TESSALY_DATA_DIR "/Log.desc"}), 0);
    start();
  }
  void writeFile(const QString &name, const QByteArray &bytes) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  int saved_ = 0;
  static std::vector<std::map<QByteArray, QString>> withoutKeys(std::vector<std::map<QByteArray, QString>> all) {
    for (auto &r : all) r.erase("UNIKEY");
    return all;
  }
};

}  // namespace

TEST_F(AdifLogTest, ExportThenImportIntoEmptyTablesGivesTheSameEntries) {
  start();
  add("1407015", "USB", "Zulu PSK31 CQ");
  add("0705500", "CW-N", QString::fromLatin1("caf\xe9 net"), true);
  add("0950000", "AM-W", "");
  add("1410000", "FSK", QString(100, 'x'));
  add("1410000", "Unknown Digital", "odd");
  const auto before = stored("Log.Dat", kItems);
  ASSERT_EQ(before.size(), 5u);

  dialogs.saveName = dir.filePath("export.adi");
  log().adif().exportAction()->trigger();
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_EQ(dialogs.messages.last(), "Exported 5 entries to " + dialogs.saveName + ".");
  EXPECT_TRUE(dialogs.filters.contains("ADIF (*.adi) adi"));
  QFile written(dialogs.saveName);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  const QByteArray text = written.readAll();
  EXPECT_TRUE(text.contains("<COMMENT:9>caf\xc3\xa9 net"));  // UTF-8, length in bytes
  EXPECT_TRUE(text.contains("<BAND:3>40m"));
  EXPECT_FALSE(QDir(dir.path()).entryList({"export.adi.tmp*"}).size());

  emptyTables();
  dialogs.fileName = dialogs.saveName;
  log().adif().importAction()->trigger();
  EXPECT_EQ(dialogs.messages.last(), "Imported 5 entries from " + dialogs.fileName + ".");
  const auto after = stored("Log.Dat", kItems);
  EXPECT_EQ(withoutKeys(after), withoutKeys(before));
  EXPECT_EQ(log().Grid1->rowCount(), 5);

  // Importing the same file again adds nothing.
  log().adif().importAction()->trigger();
  EXPECT_EQ(dialogs.messages.last(), "Imported 0 entries from " + dialogs.fileName +
                                         ".\n5 entries already in the log, not added again.");
  EXPECT_EQ(stored("Log.Dat", kItems).size(), 5u);
}

TEST_F(AdifLogTest, ExportTakesWhatTheFilterShows) {
  start();
  add("1407000", "USB", "PSK31 one");
  add("1407100", "USB", "other");
  log().OnlyShow->setCurrentText("PSK31");
  dialogs.saveName = dir.filePath("psk.adi");
  log().adif().exportShown();
  EXPECT_EQ(dialogs.messages.last(), "Exported 1 entry to " + dialogs.saveName + ".");
  // A cancelled dialog does nothing; an unwritable file says why.
  dialogs.saveName.clear();
  log().adif().exportShown();
  EXPECT_EQ(dialogs.messages.size(), 1);
  dialogs.saveName = dir.filePath("no/such/folder.adi");
  log().adif().exportShown();
  EXPECT_TRUE(dialogs.messages.last().startsWith("Unable to write " + dialogs.saveName + ": "));
}

TEST_F(AdifLogTest, ExportReplacesALinkAtItsNameInsteadOfWritingThroughIt) {
  start();
  add("1407000", "USB", "PSK31 one");
  writeFile("victim", "keep me");
  const QString victim = dir.filePath("victim");
  dialogs.saveName = dir.filePath("linked.adi");
  ASSERT_TRUE(QFile::link(victim, dialogs.saveName));
  log().adif().exportShown();
  EXPECT_EQ(dialogs.messages.last(), "Exported 1 entry to " + dialogs.saveName + ".");
  QFile kept(victim);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "keep me");
  EXPECT_FALSE(QFileInfo(dialogs.saveName).isSymLink());
}

TEST_F(AdifLogTest, HandWrittenSampleWithBrokenRecords) {
  start();
  add("1407000", "USB", "already here");
  const auto existing = stored("Log.Dat", kItems);
  writeFile("sample.adi",
            "Sample log\r\n<adif_ver:5>3.1.4\r\n<eoh>\r\n"
            "<call:4>DL1X<qso_date:8>20261207<time_on:4>1200<freq:6>14.070<mode:3>PSK<submode:5>PSK31"
            "<band:3>20m<comment:5>first<eor>\r\n"
            "<QSO_DATE:8>20261207<TIME_ON:6>120000<FREQ:5>7.055<MODE:2>CW<EOR>\n"  // the same second
            "<QSO_DATE:8>20261207<TIME_ON:4>1300<FREQ:x>7.055<EOR>\n"              // bad length
            "<QSO_DATE:8>20261307<TIME_ON:4>1300<FREQ:5>7.055<EOR>\n"              // impossible date
            "<QSO_DATE:8>20261207<TIME_ON:4>1300<FREQ:4>7MHz<EOR>\n"               // not a number
            "<QSO_DATE:8>20261207<TIME_ON:4>1400<FREQ:5>3.600<COMMENT:120>" +
                QByteArray(120, 'n') + "<EOR>\n"                                   // notes cut
            "<QSO_DATE:8>20261207<TIME_ON:4>1500<FREQ:5>3.600\n"                   // missing end ...
            "<QSO_DATE:8>20261207<TIME_ON:4>1500<FREQ:5>3.600<EOR>\n"
            "<QSO_DATE:8>20261207<TIME_ON:4>1600<FREQ:5>3.600<COMMENT:99>short");  // past the end
  dialogs.fileName = dir.filePath("sample.adi");
  log().adif().importFile();
  EXPECT_EQ(dialogs.messages.last(),
            "Imported 4 entries from " + dialogs.fileName +
                ".\nSkipped 4: 1 with a broken field tag, 1 cut short by the end of "
                "the file (nothing after it was read), 1 with a missing or impossible date or time, 1 with a "
                "frequency that is not a number.\n1 entry with a field given twice; the first value was kept."
                "\n1 entry with a mode or notes longer than the log holds, cut.");
  const auto all = stored("Log.Dat", kItems);
  ASSERT_EQ(all.size(), 5u);
  std::set<QString> keys;
  for (const auto &r : all) keys.insert(r.at("UNIKEY"));
  EXPECT_EQ(keys.size(), 5u);
  EXPECT_NE(std::find(all.begin(), all.end(), existing[0]), all.end());
  std::set<QString> modes, notes;
  for (const auto &r : all) {
    modes.insert(r.at("MODE"));
    notes.insert(r.at("NOTES"));
  }
  EXPECT_EQ(modes, (std::set<QString>{"USB", "PSK31", "CW", ""}));
  EXPECT_TRUE(notes.count(QString(100, 'n')));
  EXPECT_EQ(log().Grid1->rowCount(), 5);

  dialogs.fileName = dir.filePath("missing.adi");
  log().adif().importFile();
  EXPECT_EQ(dialogs.messages.last(), "Unable to open " + dialogs.fileName + ": No such file or directory");
  // What is not a regular file is not read: a device that never ends, a pipe, a folder.
  ASSERT_EQ(mkfifo(dir.filePath("pipe").toLocal8Bit().constData(), 0600), 0);
  for (const QString &odd : {QStringLiteral("/dev/zero"), dir.filePath("pipe"), dir.path()}) {
    dialogs.fileName = odd;
    log().adif().importFile();
    EXPECT_EQ(dialogs.messages.last(), "Unable to open " + odd + ": not a regular file");
  }
}

TEST_F(AdifLogTest, AFailedWriteStopsTheImport) {
  start();
  writeFile("two.adi", "<QSO_DATE:8>20261207<TIME_ON:4>1200<FREQ:5>7.055<EOR>"
                       "<QSO_DATE:8>20261207<TIME_ON:4>1201<FREQ:5>7.055<EOR>");
  kdb.failWrites = true;
  const tables::AdifImport done = tables::importLogAdif(tabs->database().logFiles(), dir.filePath("two.adi"));
  EXPECT_EQ(done.added, 0);
  EXPECT_TRUE(done.writeFailed);
  EXPECT_TRUE(done.message("two.adi").endsWith("Error writing to Log file; the import stopped there."));
  EXPECT_TRUE(stored("Log.Dat", kItems).empty());
}

TEST_F(AdifLogTest, CommandLineExportAndImport) {
  start();
  add("1407000", "USB", "from the window");
  stop();
  EXPECT_EQ(tables::runLogExchange(lumbra(), dir.filePath("cli.adi"), QString()), 0);
  // The log's own export comes back as a repeat of its one entry.
  EXPECT_EQ(tables::runLogExchange(lumbra(), QString(), dir.filePath("cli.adi")), 0);
  EXPECT_EQ(stored("Log.Dat", kItems).size(), 1u);
  EXPECT_EQ(tables::runLogExchange(lumbra(), QString(), dir.filePath("none.adi")), 1);
  QFile::remove(dir.filePath("Log.Dat"));
  EXPECT_EQ(tables::runLogExchange(lumbra(), dir.filePath("cli.adi"), QString()), 1);
}
