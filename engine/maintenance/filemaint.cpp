// The filemaint frame: the one-run guard, the same-name check, the engine
// and its network mode for the run, the window and the result.
#include "engine/maintenance/filemaint.h"

#include <strings.h>

#include <string>

#include "engine/core/engine.h"
#include "engine/fhrequest.h"
#include "engine/maintenance/actions.h"
#include "engine/maintenance/maintfiles.h"
#include "engine/maintenance/report.h"
#include "util/progress/progress.h"

using namespace corvex;

namespace {

constexpr char kDefaultTitle[] = "Meridel File Maintenance v6.1";

bool g_running = false;

// The file's own name: the part after the last '/' or '\'.
const char *own_name(const char *path) {
  const char *name = path;
  for (const char *p = path; *p; p++) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  return name;
}

bool same_name(const char *datafile, const char *indexfile) {
  if (!datafile || !indexfile || !*datafile || !*indexfile) return false;
  return strcasecmp(own_name(datafile), own_name(indexfile)) == 0;
}

// Keeps the engine initialised, in the run's network mode, for one run.
class EngineForRun {
 public:
  int start(bool network) {
    int status = run_opcode(&control_, FHOP_INIT);
    if (status != FHS_OK) return status;
    started_ = true;
    saved_mode_ = engine().netmode;
    if (!network) return FHS_OK;
    char mode[] = "IBMNET";
    control_.keybuf = mode;
    return run_opcode(&control_, FHOP_NETMODE);
  }
  ~EngineForRun() {
    if (!started_) return;
    // The caller's own network mode is theirs again after the run.
    engine().netmode = saved_mode_;
    fhrequest block = {};
    run_opcode(&block, FHOP_TERMINATE);
  }

 private:
  fhrequest control_ = {};
  bool started_ = false;
  uint8_t saved_mode_ = 0;
};

class RunGuard {
 public:
  RunGuard() { g_running = true; }
  ~RunGuard() { g_running = false; }
};

const char *const kActionLines[] = {"Verifying file: %s", "Recovering file: %s", "Packing file: %s"};

}  // namespace

int32_t filemaint(int32_t action, const char *datafile, const char *fidfile, const char *indexfile,
                  const char *title, int32_t flags, const char *logfile) {
  if (g_running) return FM_RESULT_BUSY;
  if (same_name(datafile, indexfile)) return FM_RESULT_SAMENAME;
  if (action < FM_VERIFY || action > FM_PACK) return FHS_BADOPCODE;
  RunGuard guard;
  EngineForRun engine_run;
  int status = engine_run.start((flags & FM_NETWORK) != 0);
  if (status != FHS_OK) return status;

  MaintNames names;
  names.data = datafile ? datafile : "";
  names.fid = fidfile ? fidfile : "";
  names.index = indexfile ? indexfile : "";
  names.flags = flags;

  ProgressWindow &window = progress_window();
  window.open(ProgressLayout::kFileMaint, title && *title ? title : kDefaultTitle);
  MaintReport report(window, logfile);
  report.action(format(kActionLines[action], names.data.c_str()));
  int result = action == FM_VERIFY    ? maint_verify(report, names)
               : action == FM_RECOVER ? maint_recover(report, names)
                                      : maint_pack(report, names);
  report.failure(result);
  window.close();
  return result;
}
