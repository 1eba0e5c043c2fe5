// Output files that never follow a link: new files under names nobody can
// guess (temporaries and outputs written whole and then renamed into place),
// and logs that are appended to.
//
// A new file is made with O_CREAT | O_EXCL | O_NOFOLLOW, so a file or a link
// planted under its name (even a dangling link) is never opened, written or
// truncated; a name that is taken is simply not used, and a fresh one tried.
#ifndef CORVEX_UTIL_NEW_FILE_H
#define CORVEX_UTIL_NEW_FILE_H

#include <stdio.h>

#include <string>

namespace corvex {

// Stores in *name `stem`, a separator and eight random letters and digits,
// then `ext` (which includes its dot, or is ""): "Log~k3v9q0za.ziq". False
// when the system gives no random bytes.
bool unguessable_name(const std::string &stem, const std::string &ext, std::string *name);

// Makes a new, empty file named unguessable_name(stem, ext) with `mode`
// (before the umask), open read-write and close-on-exec. Returns the
// descriptor and its name in *path, or -1 with errno set when no name could
// be had (ten taken names in a row, or the folder refuses).
int make_new_file(const std::string &stem, const std::string &ext, int mode, std::string *path);

// Opens `path` for appending, making it when missing; null (errno set) when
// it cannot be opened or is a link.
FILE *open_for_append(const char *path);

}  // namespace corvex

#endif
