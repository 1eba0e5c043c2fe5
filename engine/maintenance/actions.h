// The three maintenance actions. Each runs inside the filemaint frame
// (engine/maintenance/filemaint.h), which has initialised the engine, opened
// the progress window and shown the first line; each shows its own progress
// and findings through `report` and returns 0, -1 when the user stopped it,
// or the status code that ended it.
#ifndef CORVEX_ENGINE_MAINTENANCE_ACTIONS_H
#define CORVEX_ENGINE_MAINTENANCE_ACTIONS_H

#include "engine/maintenance/maintfiles.h"
#include "engine/maintenance/report.h"

namespace corvex {

enum { FM_STOPPED = -1 };

// Read-only check of the data file, its header and its index or hash file.
int maint_verify(MaintReport &report, const MaintNames &names);

// Rebuilds the index from the data file (a hashed file is packed instead).
int maint_recover(MaintReport &report, const MaintNames &names);

// Rewrites the data file without its deleted records and rebuilds the index
// or hash file.
int maint_pack(MaintReport &report, const MaintNames &names);

}  // namespace corvex

#endif
