// Fault injection for tests: a hook that the engine's file calls
// (util/positional_io.h, util/fileio.h) ask before they run, in builds made
// with TESSALY_FAULTS (the sanitizer test tree). In any other build the
// questions below are constant answers that the compiler removes, and the
// hook cannot be set.
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

#ifdef CORVEX_FAULTS
// The hook's answer for a call; no fault without a hook.
FaultAction fault_ask(FileCall call, size_t len);
// True, with errno set, when the call is to fail before it runs.
bool fault_refuses(FileCall call, size_t len);
#else
inline FaultAction fault_ask(FileCall, size_t) { return FaultAction(); }
inline bool fault_refuses(FileCall, size_t) { return false; }
#endif

}  // namespace corvex

#endif
