// The file chooser. The library holds no user interface of its own: a program
// that has one installs its chooser.
#include "access/kdb.h"
#include "access/result_buffer.h"
#include "util/text.h"

using namespace lumbra;

namespace {
KDBfselecthook g_hook = nullptr;
constexpr int kPatternMax = 20;
}  // namespace

void KDBsetfselecthook(KDBfselecthook hook) { g_hook = hook; }

const char *KDBfselect(const char *dir, const char *pattern, const char *title) {
  result_clear();
  if (g_hook == nullptr) return result_buffer();
  char pat[kPatternMax + 1];
  nstrncpy(pat, pattern != nullptr ? pattern : "", kPatternMax);
  return result_set(g_hook(dir != nullptr ? dir : "", pat, title != nullptr ? title : ""));
}
