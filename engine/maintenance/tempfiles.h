// The temporary files of RECOVER and PACK and how they replace the old ones.
//
// A new index or data file is first written completely under a temporary
// name, made durable, and only then put in place of the old file with one
// rename, which is atomic: a crash at any moment leaves either the complete
// old file or the complete new one under the real name, never a part.
#ifndef CORVEX_ENGINE_MAINTENANCE_TEMPFILES_H
#define CORVEX_ENGINE_MAINTENANCE_TEMPFILES_H

#include <string>

namespace corvex {

// Extensions of the temporary files.
extern const char kTempIndexExt[];  // "ziq": the new index or hash file
extern const char kTempDataExt[];   // "zdq": the new data file

// The temporary file for `file`: with an engine temporary directory set
// (_rfhsettmpdir), the file's name with extension `ext` in that directory;
// otherwise `file` with its extension replaced by "." + `ext`.
std::string temp_name(const std::string &file, const char *ext);

// True when a temporary directory is set, so that the temporary files may
// lie on another file system and are copied into place.
bool temp_dir_set();

// Writes the file's data to the disk. False when that fails.
bool sync_file(const std::string &path);

// Puts the complete temporary file `temp` in place of `target`: renames it
// over `target` and makes the rename durable. When `temp` lies on another
// file system it is copied first to `target`'s own temporary name (extension
// `ext`), synced and renamed from there, and `temp` is removed. False, with
// `target` untouched, when any step fails.
bool replace_file(const std::string &temp, const std::string &target, const char *ext);

}  // namespace corvex

#endif
