// The temporary files of RECOVER and PACK and how they replace the old ones.
//
// A new index or data file is first written completely under a temporary
// name, made durable, and only then put in place of the old file with one
// rename, which is atomic: a crash at any moment leaves either the complete
// old file or the complete new one under the real name, never a part. The
// temporary names are unguessable and the files are made new (O_EXCL,
// O_NOFOLLOW), so a file or link planted beside a table is never written.
#ifndef CORVEX_ENGINE_MAINTENANCE_TEMPFILES_H
#define CORVEX_ENGINE_MAINTENANCE_TEMPFILES_H

#include <string>

namespace corvex {

// Extensions of the temporary files.
extern const char kTempIndexExt[];  // "ziq": the new index or hash file
extern const char kTempDataExt[];   // "zdq": the new data file

// Makes the temporary file for `file`, empty and private (0600), and stores
// its name in *temp: with an
// engine temporary directory set (_rfhsettmpdir), the file's name in that
// directory, else `file` without its extension; then "~", eight random
// characters and "." + `ext`. False when it cannot be made or its name does
// not fit a block's name field.
bool make_temp(const std::string &file, const char *ext, std::string *temp);

// True when a temporary directory is set, so that the temporary files may
// lie on another file system and are copied into place.
bool temp_dir_set();

// Writes the file's data to the disk. False when that fails.
bool sync_file(const std::string &path);

// Puts the complete temporary file `temp` in place of `target`: gives it the
// mode of `target` (of `like` when `target` is missing), renames it over
// `target` and makes the rename durable. When `temp` lies on another
// file system it is copied first to a new temporary beside `target`
// (extension `ext`), synced and renamed from there, and `temp` is removed. False, with
// `target` untouched, when any step fails.
bool replace_file(const std::string &temp, const std::string &target, const char *ext, const std::string &like);

}  // namespace corvex

#endif
