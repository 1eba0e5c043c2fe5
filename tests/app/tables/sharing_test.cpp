// Several programs on one log, each a real process: copies of the table code
// (log_worker) adding at once, two ADIF imports at once, edits racing
// another program's edit or delete, a backup taken while four programs
// write, a restore while another program holds the tables, and a restore
// stopped before each of its renames.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>

#include "app/tables/backup.h"
#include "app/tables/entrytable.h"
#include "app/tables/logtab.h"
#include "app/tables/tableset.h"
#include "tests/app/tables/tables_fixture.h"

namespace {

constexpr int kWaitMs = 600000;

struct NoBackupDialogs : tables::BackupDialogs {
  QString chooseFolder(const QString &) override { return folder; }
  QString chooseArchive(const QString &) override { return archive; }
  bool confirm(const QString &) override { return true; }
  void message(const QString &text) override { messages << text; }
  QString folder, archive;
  QStringList messages;
};

class SharingTest : public TablesTest {
protected:
  std::unique_ptr<QProcess> worker(const QStringList &args) {
    auto process = std::make_unique<QProcess>();
    process->start(LOG_WORKER, args);
    EXPECT_TRUE(process->waitForStarted());
    return process;
  }
  // Runs `args` to its end; its exit code.
  int runWorker(const QStringList &args) {
    auto process = worker(args);
    process->waitForFinished(kWaitMs);
    return process->exitCode();
  }
  // Waits for every process; the notes each acknowledged, from its output.
  QSet<QString> finish(std::vector<std::unique_ptr<QProcess>> &processes) {
    QSet<QString> acknowledged;
    for (auto &p : processes) {
      EXPECT_TRUE(p->waitForFinished(kWaitMs));
      EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
      for (const QByteArray &line : p->readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) acknowledged << QString::fromLatin1(line.split(' ').value(1));
    }
    return acknowledged;
  }
  QSet<QString> storedNotes(const char *file = "Log.Dat") {
    QSet<QString> notes;
    for (auto &record : stored(file, {"NOTES"})) notes << record["NOTES"];
    return notes;
  }
  int verify(const QString &file) { return QProcess::execute(CORVEX_TOOL, {"verify", file}); }

  void addAtOnce(int programs, int each) {
    std::vector<std::unique_ptr<QProcess>> adders;
    for (int i = 0; i < programs; ++i) adders.push_back(worker({"add", QString::number(each), QString("w%1").arg(i)}));
    const QSet<QString> acknowledged = finish(adders);
    EXPECT_EQ(acknowledged.size(), programs * each);
    EXPECT_EQ(stored("Log.Dat", {"UNIKEY"}).size(), static_cast<size_t>(programs * each));
    EXPECT_EQ(storedNotes(), acknowledged);
    EXPECT_EQ(verify("Log.Dat"), 0);
  }
};

TEST_F(SharingTest, TwoAndFourProgramsAddingAtOnceStoreEveryEntry) {
  addAtOnce(2, 1000);
  QFile::remove("Log.Dat");
  QFile::remove("Log.idx");
  ASSERT_EQ(QProcess::execute(CORVEX_TOOL, {"make", TESSALY_DATA_DIR "/Log.desc"}), 0);
  addAtOnce(4, 1000);
}

TEST_F(SharingTest, TwoAdifImportsAtOnceKeepEveryRecord) {
  // Every record has the same time, so both imports want the same keys; the
  // calls differ, so that no record repeats a contact.
  constexpr int kRecords = 1500;
  std::vector<std::unique_ptr<QProcess>> imports;
  for (const char *prefix : {"A", "B"}) {
    QByteArray adif = "<eoh>\n";
    for (int i = 0; i < kRecords; ++i) {
      const QByteArray call = prefix + QByteArray::number(i);
      adif += "<QSO_DATE:8>20261201<TIME_ON:6>120000<FREQ:6>14.074<MODE:3>FT8<CALL:" +
              QByteArray::number(call.size()) + ">" + call + "<COMMENT:" + QByteArray::number(call.size() + 2) +
              ">r-" + call + "<EOR>\n";
    }
    const QString name = QString("in-%1.adi").arg(prefix);
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(adif);
    file.close();
    imports.push_back(std::make_unique<QProcess>());
    imports.back()->start(TESSALY_PROGRAM, {"--import-adif", name});
  }
  for (auto &p : imports) {
    ASSERT_TRUE(p->waitForFinished(kWaitMs));
    EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    EXPECT_TRUE(p->readAllStandardOutput().contains(QByteArray("Imported ") + QByteArray::number(kRecords) + " entries"));
  }
  const auto records = stored("Log.Dat", {"NOTES", "UNIKEY"});
  ASSERT_EQ(records.size(), 2u * kRecords);
  QSet<QString> keys;
  for (const auto &r : records) keys << r.at("UNIKEY");
  EXPECT_EQ(keys.size(), 2 * kRecords);
  EXPECT_EQ(verify("Log.Dat"), 0);
  // Each entry's companion is under the key the entry got: it names the
  // entry's own call.
  std::map<QString, QString> callOf;
  for (const auto &extra : stored("LogExtra.Dat", {"UNIKEY", "CALL"})) callOf[extra.at("UNIKEY")] = extra.at("CALL");
  for (const auto &r : records) EXPECT_EQ("r-" + callOf[r.at("UNIKEY")], r.at("NOTES")) << r.at("UNIKEY").toStdString();
}

class EditRaceTest : public SharingTest {
protected:
  tables::LogTab &log() { return tabs->log(); }
  // Adds one entry through another program and opens it in the frame.
  QString openOthersEntry() {
    auto adder = worker({"add", "1", "theirs"});
    EXPECT_TRUE(adder->waitForFinished(kWaitMs));
    const QString key = QString::fromLatin1(adder->readAllStandardOutput().split(' ').value(0));
    log().table().display();
    for (int row = 0; row < log().Grid1->rowCount(); ++row)
      if (log().Grid1->text(row, tables::LogTab::kKeyColumn) == key) log().table().open(row);
    EXPECT_EQ(log().UniKey->text(), key);
    return key;
  }
  QStringList questions() { return dialogs.shownTexts(); }
};

TEST_F(EditRaceTest, AnEditRacingAnotherEditIsReportedAndTheOperatorDecides) {
  start();
  const QString key = openOthersEntry();
  log().LogNotes->setText("mine");
  ASSERT_EQ(runWorker({"edit", key, "their change"}), 0);
  dialogs.yesNoAnswer = 0;  // keep their change
  EXPECT_FALSE(log().table().save());
  EXPECT_EQ(questions(), QStringList{tables::EntryTable::kChangedElsewhere});
  EXPECT_EQ(log().LogNotes->text(), "their change");  // the frame shows what is stored
  EXPECT_TRUE(storedNotes().contains("their change"));
  // Saved again without a further change elsewhere: no question.
  log().LogNotes->setText("mine after all");
  EXPECT_TRUE(log().table().save());
  EXPECT_EQ(questions().size(), 1);

  const QString again = openOthersEntry();
  log().LogNotes->setText("mine wins");
  ASSERT_EQ(runWorker({"edit", again, "theirs again"}), 0);
  dialogs.yesNoAnswer = 1;
  EXPECT_TRUE(log().table().save());
  EXPECT_EQ(questions().size(), 2);
  EXPECT_TRUE(storedNotes().contains("mine wins"));
  EXPECT_FALSE(storedNotes().contains("theirs again"));
}

TEST_F(EditRaceTest, AnEditRacingADeleteIsReportedAndTheOperatorDecides) {
  start();
  const QString key = openOthersEntry();
  log().LogNotes->setText("mine");
  ASSERT_EQ(runWorker({"delete", key}), 0);
  dialogs.yesNoAnswer = 0;
  EXPECT_FALSE(log().table().save());
  EXPECT_EQ(questions(), QStringList{tables::EntryTable::kDeletedElsewhere});
  EXPECT_FALSE(storedNotes().contains("mine"));
  dialogs.yesNoAnswer = 1;  // store it again
  EXPECT_TRUE(log().table().save());
  EXPECT_TRUE(storedNotes().contains("mine"));
  EXPECT_EQ(stored("Log.Dat", {"NOTES"}).size(), 1u);
}

TEST_F(SharingTest, ABackupDuringFourWritersOpensCleanWithEveryAcknowledgedEntry) {
  std::vector<std::unique_ptr<QProcess>> writers;
  for (int i = 0; i < 4; ++i) writers.push_back(worker({"add", "400", QString("w%1").arg(i)}));
  // Entries each writer acknowledged before the backup starts.
  QSet<QString> before;
  for (auto &w : writers) {
    QByteArray seen;
    while (seen.count('\n') < 50 && w->waitForReadyRead(kWaitMs)) seen += w->readAllStandardOutput();
    // Whole lines only: the last piece may be cut short.
    QList<QByteArray> lines = seen.split('\n');
    lines.removeLast();
    for (const QByteArray &line : lines) before << QString::fromLatin1(line.split(' ').value(1));
  }
  NoBackupDialogs answers;
  answers.folder = dir.filePath("backups");
  QWidget page, owner;
  tables::TableBackup backup(&page, &lumbra(), nullptr, &answers, &owner);
  const QString archive = backup.backUp();
  ASSERT_FALSE(archive.isEmpty()) << answers.messages.join("\n").toStdString();
  finish(writers);

  ASSERT_TRUE(QDir().mkdir("out"));
  ASSERT_EQ(QProcess::execute(CORVEX_TOOL, {"archive", "-XT\"out\"", archive}), 0);
  // The log has no companion here: only the tables that exist are archived.
  for (const tables::BackupFile &f : tables::kBackupFiles) {
    if (!QFile::exists(QString("out/") + f.member)) continue;
    ASSERT_TRUE(QFile::rename(QString("out/") + f.member, QString("out/") + f.file)) << f.file;
  }
  EXPECT_EQ(verify("out/Log.Dat"), 0);
  const QSet<QString> inBackup = storedNotes("out/Log.Dat");
  EXPECT_GE(before.size(), 200);
  for (const QString &notes : before) EXPECT_TRUE(inBackup.contains(notes)) << notes.toStdString();
}

TEST_F(SharingTest, ARestoreIsRefusedWhileAnotherProgramHasTheTables) {
  start();
  NoBackupDialogs answers;
  answers.folder = dir.filePath("backups");
  QWidget owner;
  tables::TableBackup backup(window->tabs()->widget(MainWindow::kStandardsTab), &lumbra(), &tabs->database(),
                             &answers, &owner);
  answers.archive = backup.backUp();
  ASSERT_FALSE(answers.archive.isEmpty());
  const QByteArray logBefore = [] {
    QFile f("Log.Dat");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();

  auto holder = worker({"hold"});
  ASSERT_TRUE(holder->waitForReadyRead(kWaitMs));
  // The window says that the log is open elsewhere.
  QElapsedTimer waited;
  waited.start();
  while (!window->windowTitle().contains("another program") && waited.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::AllEvents, 100);
  EXPECT_TRUE(window->windowTitle().contains("log also open in another program")) << window->windowTitle().toStdString();

  EXPECT_FALSE(backup.restore());
  ASSERT_FALSE(answers.messages.isEmpty());
  EXPECT_TRUE(answers.messages.last().contains("another program has Log.Dat open")) << answers.messages.last().toStdString();
  // This program has its tables again, and nothing was replaced.
  EXPECT_EQ(tabs->database().kdb().others(tabs->database().fileId(tables::TableId::Log)), 1);
  {
    QFile f("Log.Dat");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), logBefore);
  }
  holder->closeWriteChannel();
  ASSERT_TRUE(holder->waitForFinished(kWaitMs));
  waited.restart();
  while (window->windowTitle().contains("another program") && waited.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::AllEvents, 100);
  EXPECT_FALSE(window->windowTitle().contains("another program"));
  // The log's companion is one of the tables: open elsewhere, it is refused too.
  {
    tables::KdbApi &k = lumbra();
    const int client = k.init(0);
    ASSERT_EQ(k.open("LogExtra.Dat", client + 4, 3, 0), 0);
    EXPECT_FALSE(backup.restore());
    EXPECT_TRUE(answers.messages.last().contains("another program has LogExtra.Dat open"))
        << answers.messages.last().toStdString();
    k.init(client);  // ends the client and closes its file
  }
  EXPECT_TRUE(backup.restore()) << answers.messages.last().toStdString();
}

// The old set and the new one differ in every file; after a restore stopped
// before any rename and the next start, the tables are one set, whole.
TEST(TableSet, ARestoreStoppedBeforeEachRenameLeavesOneWholeSet) {
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  auto fill = [](const QString &path, const QByteArray &which, const char *name) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(which + name);
  };
  auto contents = [](const char *name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  };
  // Stopped before the marker (-1 never reaches a rename but leaves the
  // staging folder unmarked: simulated by not calling replace at all), and
  // before each of the nine renames.
  for (int stop = -1; stop < tables::kBackupFileCount; ++stop) {
    SCOPED_TRACE(stop);
    for (const tables::BackupFile &f : tables::kBackupFiles) fill(f.file, "old ", f.file);
    const QString staging = QString(tables::kRestoreStaging) + QString::number(stop + 1);
    ASSERT_TRUE(QDir().mkdir(staging));
    for (const tables::BackupFile &f : tables::kBackupFiles) fill(staging + "/" + f.member, "new ", f.file);
    if (stop >= 0) {
      QProcess replace;
      replace.start(LOG_WORKER, {"replace", staging, QString::number(stop)});
      ASSERT_TRUE(replace.waitForFinished(kWaitMs));
      EXPECT_EQ(replace.exitCode(), 3);
    }
    EXPECT_EQ(tables::finishTableSet(), stop >= 0);
    const QByteArray which = stop >= 0 ? "new " : "old ";
    for (const tables::BackupFile &f : tables::kBackupFiles) EXPECT_EQ(contents(f.file), which + f.file) << f.file;
    EXPECT_FALSE(QFile::exists(tables::kRestoreMarker));
    if (stop >= 0) {
      EXPECT_FALSE(QFile::exists(staging));
    }
    QDir(staging).removeRecursively();
  }
  // A run that is not stopped puts the whole set in place and leaves no marker.
  ASSERT_TRUE(QDir().mkdir(".restore-all"));
  for (const tables::BackupFile &f : tables::kBackupFiles) fill(QString(".restore-all/") + f.member, "all ", f.file);
  EXPECT_EQ(QProcess::execute(LOG_WORKER, {"replace", ".restore-all", "99"}), 0);
  for (const tables::BackupFile &f : tables::kBackupFiles) EXPECT_EQ(contents(f.file), QByteArray("all ") + f.file);
  EXPECT_FALSE(QFile::exists(tables::kRestoreMarker));
  // A staging folder that is not there (or not ours) is refused.
  EXPECT_EQ(QProcess::execute(LOG_WORKER, {"replace", ".restore-none", "99"}), 1);
  EXPECT_EQ(QProcess::execute(LOG_WORKER, {"replace", "/tmp", "99"}), 1);
  QDir::setCurrent(previous);
}

}  // namespace
