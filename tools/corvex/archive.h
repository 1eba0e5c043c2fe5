// corvex archive: compress archives from the command line.
#ifndef TESSALY_TOOLS_CORVEX_ARCHIVE_H
#define TESSALY_TOOLS_CORVEX_ARCHIVE_H

namespace corvex_tool {

// Runs `corvex archive` with the arguments after the command word. Returns the
// exit code: 0 done, 1 the run failed, 2 wrong usage or a bad option argument.
int archive_command(int argc, char **argv);

}  // namespace corvex_tool

#endif
