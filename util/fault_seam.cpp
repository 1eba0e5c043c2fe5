#include "util/fault_seam.h"

#include <errno.h>

namespace corvex {

#ifdef CORVEX_FAULTS
namespace {
FaultHook g_hook = nullptr;
}  // namespace

bool fault_hook_set(FaultHook hook) {
  g_hook = hook;
  return true;
}

FaultAction fault_ask(FileCall call, size_t len) { return g_hook ? g_hook(call, len) : FaultAction(); }

bool fault_refuses(FileCall call, size_t len) {
  FaultAction a = fault_ask(call, len);
  if (a.error == 0) return false;
  errno = a.error;
  return true;
}
#else
bool fault_hook_set(FaultHook) { return false; }
#endif

}  // namespace corvex
