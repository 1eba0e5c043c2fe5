#include "app/tables/tablemaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace tables {

namespace {

constexpr int kMakeTimeoutMs = 30000;

// Table name and the data file whose presence says it is there.
struct Made {
  const char *table, *present;
};
constexpr Made kMade[] = {
    {"Log", "Log.Dat"}, {"Scans", "Scans.Dat"}, {"Standards", "Standards.Dat"}, {"LogWords", "LogWords.fid"}};

}  // namespace

QStringList missingTables(const QString &folder) {
  QStringList missing;
  const QDir dir(folder);
  for (const char *name : {"Log.Dat", "Scans.Dat", "Standards.Dat"})
    if (!dir.exists(QLatin1String(name))) missing << QLatin1String(name);
  return missing;
}

QString corvexBesideProgram() { return QCoreApplication::applicationDirPath() + QStringLiteral("/corvex"); }

bool makeMissingTables(const QString &folder, const QString &corvexTool, QString *error) {
  // The descriptions go to a private folder of their own for the tool to read.
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    *error = QStringLiteral("no temporary folder for the descriptions: %1").arg(scratch.errorString());
    return false;
  }
  const QDir dir(folder);
  for (const Made &made : kMade) {
    if (dir.exists(QLatin1String(made.present))) continue;
    const QString table = QLatin1String(made.table);
    const QString desc = scratch.filePath(table + ".desc");
    if (!QFile::copy(QStringLiteral(":/descriptions/%1.desc").arg(table), desc)) {
      *error = QStringLiteral("the description of %1 is missing from the program").arg(table);
      return false;
    }
    QProcess make;
    make.setProcessChannelMode(QProcess::MergedChannels);
    // In the folder, so that the engine's short file names hold whatever its path.
    make.setWorkingDirectory(folder);
    make.start(corvexTool, {QStringLiteral("make"), desc, table + ".Dat"});
    const bool finished = make.waitForFinished(kMakeTimeoutMs);
    if (!finished || make.exitStatus() != QProcess::NormalExit || make.exitCode() != 0) {
      const QString said = QString::fromLocal8Bit(make.readAll()).trimmed();
      *error = QStringLiteral("%1 could not be made with %2: %3")
                   .arg(dir.filePath(table + ".Dat"), corvexTool, said.isEmpty() ? make.errorString() : said);
      return false;
    }
  }
  return true;
}

}  // namespace tables
