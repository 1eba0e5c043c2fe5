// File names and directories of libcorvex.
//
// "/" separates path components. In input "\" is understood as a separator too
// and a leading drive "X:" ends a directory part, so that names in either form
// split the same way. A null text argument counts as the empty string.
#ifndef CORVEX_UTIL_NAMES_H
#define CORVEX_UTIL_NAMES_H

#include <stdint.h>

#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// target = dir, a separator when dir is not empty and does not already end in
// one (or in ":"), name, a "." when ext is not empty and does not begin with
// one, ext. The separator is "\" when dir already contains a "\", else "/".
// target must hold strlen(dir) + strlen(name) + strlen(ext) + 3 bytes.
// Returns target.
CORVEX_EXPORT char *creat_name(char *target, const char *dir, const char *name, const char *ext);

// Splits path at its last separator (or ":"): dir gets everything up to and
// including it (empty when there is none), name the file part up to its first
// ".", ext the text after that "." (so a.b.c has the extension b.c). Each
// output must hold strlen(path) + 1 bytes; a null output is skipped.
CORVEX_EXPORT void split_name(const char *path, char *dir, char *name, char *ext);

// Shortens path for display to at most max characters into target (which must
// hold max + 1 bytes) and returns target. A path that fits is copied. Otherwise
// the path keeps its front up to a separator, then "...", the separator and the
// last component; when not even the first directory fits (or the path has no
// separator) the result is "..." and the last max - 3 characters. A max below 4
// keeps only the last max characters.
CORVEX_EXPORT char *abbrname(const char *path, int max, char *target);

// 1 when name is a valid item name: the first character is a letter or "_" and
// each following one up to the tenth a letter, digit or "_" (later characters
// are not looked at); else 0.
CORVEX_EXPORT int mrdname(const char *name);

// Creates the directory (mode 0777 less the umask): 0, or -1 on failure.
CORVEX_EXPORT int makedir(const char *path);

// Removes the empty directory: 0, or -1 on failure.
CORVEX_EXPORT int removdir(const char *path);

// Starts a search of the directory named by pattern's part up to its last "/"
// (the current directory when there is none); the rest is matched against each
// file name with islike, and "*.*" or an empty rest matches every name.
// Directories are found only when dirs is not 0 and are returned with a "/"
// appended; "." and ".." are never returned. Names come in byte order. For each
// match the size (directories 0, clamped to INT32_MAX) is stored at size and
// the 6-byte stamp at stamp: year - 1900, month, day, hour, minute, second
// (rounded down to even), from the modification time in local time. size and
// stamp may be null. Returns the first name (a static buffer, valid until the
// next call of cfindfirst or cfindnext), or null when nothing matches.
// One search at a time per process.
CORVEX_EXPORT const char *cfindfirst(const char *pattern, int dirs, int32_t *size, unsigned char *stamp);

// The next match of the search cfindfirst started, as cfindfirst; null when
// there are no more (or no search was started).
CORVEX_EXPORT const char *cfindnext(int32_t *size, unsigned char *stamp);

CORVEX_EXTERN_C_END

#endif
