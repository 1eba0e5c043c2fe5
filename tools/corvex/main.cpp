// corvex: the table tool.
//
//   corvex make DESC [DATAFILE]   make a table from the text description DESC
//   corvex verify|recover|pack|dump FILE ...   check, repair or dump a table
//   corvex archive OPTIONS ARCHIVE [NAMES...]   compress archives (archive --help)
//
// Exit codes, the same for every command: 0 done, 1 the command failed, 2
// wrong usage (archive: also an archive it cannot open); verify, recover and
// pack stopped by Ctrl-C give 3.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/corvex/archive.h"
#include "tools/corvex/maintenance.h"
#include "tools/corvex/make_table.h"

namespace {

const char kUsage[] =
    "usage: corvex make DESC [DATAFILE]\n"
    "       corvex archive OPTIONS ARCHIVE [NAMES...]\n"
    "\n"
    "  make DESC [DATAFILE]  make an empty table from the text description DESC:\n"
    "                        DATAFILE (default: DESC's name with the extension .Dat,\n"
    "                        in the current directory), its .fid and its .idx.\n"
    "                        Existing files of that name are emptied.\n"
    "  verify|recover|pack|dump FILE ...\n"
    "                        check, repair or dump the table FILE\n"
    "                        (corvex verify --help for their options)\n"
    "  archive ...           add, extract, list or delete files of a compress\n"
    "                        archive (see corvex archive --help)\n"
    "  --help                show this text\n"
    "\n"
    "Exit codes of every command: 0 done, 1 the command failed (verify: the\n"
    "table is damaged), 2 wrong usage (archive: also an archive that cannot\n"
    "be opened); 3 verify, recover or pack stopped.\n";

int usage_error(const char *what) {
  std::fprintf(stderr, "corvex: %s\n%s", what, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 2) return usage_error("a command is needed");
  const std::string command = argv[1];
  if (corvex_tool::is_maintenance_command(command)) return corvex_tool::run_maintenance_command(command, argc - 2, argv + 2);
  if (command == "archive") return corvex_tool::archive_command(argc - 2, argv + 2);
  if (command != "make") return usage_error(("unknown command '" + command + "'").c_str());
  if (argc < 3 || argc > 4) return usage_error("make takes DESC and an optional DATAFILE");
  const std::string desc = argv[2];
  const std::string data = argc == 4 ? argv[3] : corvex_tool::default_data_name(desc);
  std::string error;
  if (!corvex_tool::make_table(desc, data, &error)) {
    std::fprintf(stderr, "corvex: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: made\n", data.c_str());
  return 0;
}
