// Fault injection for tests: a hook that util/fileio.cpp asks before each
// file call, in builds made with TESSALY_FAULTS (the sanitizer test tree).
// Release builds have neither the hook nor the question.
#ifndef CORVEX_UTIL_FAULT_SEAM_H
#define CORVEX_UTIL_FAULT_SEAM_H

#include <stddef.h>

namespace corvex {

enum class FileCall { kRead, kWrite, kTruncate, kSync, kRename };

// What the call does: fail with `error` (an errno value) before touching
// the file, or, for a write, put only the first `keep` bytes on file and
// fail with ENOSPC (a write torn by a power cut or a full disk).
struct FaultAction {
  int error = 0;
  size_t keep = static_cast<size_t>(-1);
};

// Asked with the call and its length in bytes (0 for calls without one).
// The hook may also end the process, as a kill before the call would.
typedef FaultAction (*FaultHook)(FileCall call, size_t len);

// Installs `hook` (null: none). False when the build has no seam.
bool fault_hook_set(FaultHook hook);

}  // namespace corvex

#endif
