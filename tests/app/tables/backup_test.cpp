// Back up and Restore of the tables, through libcorvex's archives, with the
// folder and file choices and the question recorded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/tables/backup.h"
#include "app/tables/lumbra.h"
#include "tests/support/recording_progress.h"

using tables::BackupDialogs;
using tables::TableBackup;

namespace {

struct FakeDialogs : BackupDialogs {
  QString chooseFolder(const QString &start) override {
    folderStart = start;
    return folder;
  }
  QString chooseArchive(const QString &start) override {
    archiveStart = start;
    return archive;
  }
  bool confirm(const QString &text) override {
    questions << text;
    return yes;
  }
  void message(const QString &text) override { messages << text; }
  QString folder, archive, folderStart, archiveStart;
  bool yes = false;
  QStringList questions, messages;
};

QByteArray contents(const char *name) {
  QFile f{QLatin1String(name)};
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void write(const char *name, const QByteArray &bytes) {
  QFile f{QLatin1String(name)};
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

class Backup : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const tables::BackupFile &f : tables::kBackupFiles)
      write(f.file, QByteArray(f.file).repeated(200) + QByteArray(300, '\0'));
  }
  void TearDown() override { QDir::setCurrent(before); }

  QTemporaryDir dir;
  QString before;
  tables::LumbraLibrary library{tables::LumbraLibrary::defaultPaths()};
  FakeDialogs dialogs;
  QWidget window, page;
  corvex::testing::RecordingProgress progress;
  corvex::testing::InstalledProgress installed{progress};
};

TEST_F(Backup, TheTablesComeBackUnderTheirOwnNames) {
  TableBackup backup(&page, &library, nullptr, &dialogs, &window);
  EXPECT_EQ(backup.BackupBut->text(), "Back up tables");
  EXPECT_EQ(backup.RestoreBut->text(), "Restore");
  window.show();
  dialogs.folder = dir.filePath("backups");
  const QString archive = backup.backUp();
  ASSERT_FALSE(archive.isEmpty()) << dialogs.messages.join("\n").toStdString();
  EXPECT_EQ(dialogs.folderStart, dir.filePath("backups"));  // made beside the tables
  EXPECT_TRUE(QFileInfo(archive).fileName().startsWith("tables-"));
  EXPECT_EQ(progress.layout, corvex::ProgressLayout::kCompress);
  ASSERT_FALSE(progress.history(corvex::kCmpOperation).empty());
  EXPECT_TRUE(progress.history(corvex::kCmpOperation)[0].starts_with("Creating: "));

  write("Log.Dat", "changed");
  write("Standards.idx", "changed too");
  dialogs.archive = archive;
  EXPECT_FALSE(backup.restore());  // the question answered No
  EXPECT_EQ(contents("Log.Dat"), "changed");
  ASSERT_EQ(dialogs.questions.size(), 1);

  dialogs.yes = true;
  ASSERT_TRUE(backup.restore()) << dialogs.messages.join("\n").toStdString();
  for (const tables::BackupFile &f : tables::kBackupFiles)
    EXPECT_EQ(contents(f.file), QByteArray(f.file).repeated(200) + QByteArray(300, '\0')) << f.file;
  EXPECT_FALSE(QFile::exists("log.dat"));
  // Nothing of the work is left beside the tables, and the program closes.
  EXPECT_EQ(QDir().entryList(QStringList{".backup*", ".restore*"}, QDir::AllEntries | QDir::Hidden).size(), 0);
  QApplication::processEvents();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(Backup, ALogBackedUpWithoutACompanionDropsTheOneItReplaces) {
  TableBackup backup(&page, &library, nullptr, &dialogs, &window);
  for (const char *companion : {"LogExtra.Dat", "LogExtra.fid", "LogExtra.idx"}) ASSERT_TRUE(QFile::remove(companion));
  dialogs.folder = dir.filePath("backups");
  const QString archive = backup.backUp();
  ASSERT_FALSE(archive.isEmpty());
  write("LogExtra.Dat", "the companion of a later log");
  dialogs.archive = archive;
  dialogs.yes = true;
  ASSERT_TRUE(backup.restore());
  EXPECT_EQ(contents("Log.Dat"), QByteArray("Log.Dat").repeated(200) + QByteArray(300, '\0'));
  EXPECT_FALSE(QFile::exists("LogExtra.Dat"));
}

TEST_F(Backup, CancelsAndBadArchivesChangeNothing) {
  TableBackup backup(&page, &library, nullptr, &dialogs, &window);
  EXPECT_TRUE(backup.backUp().isEmpty());  // no folder chosen
  EXPECT_TRUE(QDir("backups").entryList(QDir::Files).isEmpty());
  EXPECT_FALSE(backup.restore());  // no archive chosen
  write("junk.cmp", "no archive");
  dialogs.archive = dir.filePath("junk.cmp");
  dialogs.yes = true;
  EXPECT_FALSE(backup.restore());
  EXPECT_EQ(contents("Log.Dat"), QByteArray("Log.Dat").repeated(200) + QByteArray(300, '\0'));
  EXPECT_TRUE(dialogs.messages.last().contains("left as they were"));
}

}  // namespace
