// Making the program's tables where they are missing: Log.Dat, Scans.Dat and
// Standards.Dat with their description and index files, and the description
// of the log's word index, empty, as `corvex make` makes them from the
// descriptions in data/ (which the program carries as resources). The tool
// beside the program does the making, so the files are the tool's own.
#ifndef TESSALY_APP_TABLES_TABLEMAKER_H
#define TESSALY_APP_TABLES_TABLEMAKER_H

#include <QString>
#include <QStringList>

namespace tables {

// The files of the three tables that `folder` lacks ("Log.Dat", ...), in the
// order the program opens them.
QStringList missingTables(const QString &folder);

// The `corvex` tool beside the running program.
QString corvexBesideProgram();

// Makes every table `folder` lacks, and the word index's description when it
// lacks it, by running `corvexTool make`. Existing tables are left as they
// are. False with `*error` set (one line naming the file) on the first
// failure.
bool makeMissingTables(const QString &folder, const QString &corvexTool, QString *error);

}  // namespace tables

#endif
