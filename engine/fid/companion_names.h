// Names of a data file's companion files.
#ifndef CORVEX_ENGINE_FID_COMPANION_NAMES_H
#define CORVEX_ENGINE_FID_COMPANION_NAMES_H

#include <stddef.h>

namespace corvex {

// Companion extensions, used as written (file names are case-sensitive).
extern const char kFidExt[];    // ".fid"
extern const char kIndexExt[];  // ".idx"
extern const char kHashExt[];   // ".hsh"
extern const char kTempExt[];   // ".itx"

// Writes into `out` the name of `datname` with its extension replaced by
// `ext`: everything from the last '.' of the file's own name (the part after
// the last '/' or '\') is replaced; a name without a '.' gets `ext` appended.
// The directory part and the file's name keep their letters as given, so
// C:\DATA\LOG.DAT gives C:\DATA\LOG.fid. A '.' in a directory name is never
// taken for the extension. Returns false, with `out` set to "", when the
// result and its terminator do not fit into `size` bytes.
bool derive_name(const char *datname, const char *ext, char *out, size_t size);

}  // namespace corvex

#endif
