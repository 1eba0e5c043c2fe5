// Putting a restored set of table files in place as one step that a crash
// cannot leave half done. The new files wait complete and synced in a
// staging folder beside the tables; a marker naming that folder is written
// and synced; then each file is renamed over its table; then the marker and
// the folder go. A program stopped anywhere in between leaves the marker,
// and the next start finishes the renames from the staging folder, so the
// tables are always the old set or the new one, whole. Before the marker
// exists nothing has changed.
#ifndef TESSALY_APP_TABLES_TABLESET_H
#define TESSALY_APP_TABLES_TABLESET_H

#include <QString>
#include <functional>

namespace tables {

// The marker beside the tables; it holds the staging folder's name.
inline constexpr char kRestoreMarker[] = ".restore-pending";
// The staging folders' names start with this.
inline constexpr char kRestoreStaging[] = ".restore-";

// Moves every file of the staging folder `staging` (a name in the current
// folder, starting with kRestoreStaging) that is a member of kBackupFiles
// over its table, as described above. `beforeRename`, when given, is called
// with 0, 1, ... before each rename (tests stop the program there). True
// when every file was moved and the marker removed; on false the marker
// stays for the next start.
bool replaceTableSet(const QString &staging, const std::function<void(int)> &beforeRename = {});

// Before a table is opened: finishes a replacement that a stopped program
// left (marker present). Returns true when one was finished.
bool finishTableSet();

}  // namespace tables

#endif
