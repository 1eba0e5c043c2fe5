// Writing FID files from checked descriptions (engine/fid/description.h).
#ifndef CORVEX_ENGINE_FID_FIDWRITE_H
#define CORVEX_ENGINE_FID_FIDWRITE_H

#include <string>

#include "engine/fid/description.h"

namespace corvex {

// The bytes of the FID file for `d`, which parse_description accepted: the
// header, each item with its name-order entry and a comment line naming it,
// the keys and the thread lines.
std::string fid_encode(const Description &d);

// Writes fid_encode(d) to `path`, replacing the file (a link at `path` is
// refused, not followed). Returns false and sets `error` when the file
// cannot be written.
bool fid_write(const Description &d, const char *path, std::string *error);

}  // namespace corvex

#endif
