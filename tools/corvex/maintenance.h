// The maintenance commands of the table tool: verify, recover and pack run
// filemaint with its progress on the terminal; dump writes the active
// records of a table as comma-separated text.
#ifndef TESSALY_TOOLS_CORVEX_MAINTENANCE_H
#define TESSALY_TOOLS_CORVEX_MAINTENANCE_H

#include <string>

namespace corvex_tool {

// True for "verify", "recover", "pack" and "dump".
bool is_maintenance_command(const std::string &command);

// Runs `command` with its arguments (`args`, `count` of them, after the
// command word). Returns the exit code: 0 on success, 2 for wrong usage,
// otherwise filemaint's result (as an exit code, so -1 for Stop is 255) or,
// for dump, 1.
int run_maintenance_command(const std::string &command, int count, char **args);

}  // namespace corvex_tool

#endif
