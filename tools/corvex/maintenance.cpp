#include "tools/corvex/maintenance.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/maintenance/filemaint.h"
#include "engine/rfh.h"
#include "engine/rfhitem.h"
#include "engine/status.h"

namespace corvex_tool {

namespace {

const char kMaintUsage[] =
    "usage: corvex verify|recover|pack FILE [--fid F] [--index F] [--log F] [options]\n"
    "       corvex dump FILE\n"
    "\n"
    "  verify FILE   check the data file FILE, its header and its index or hash file\n"
    "  recover FILE  rebuild the index from the data file (a hashed file is packed)\n"
    "  pack FILE     rewrite the data file without its deleted records and rebuild\n"
    "                the index or hash file\n"
    "  dump FILE     write the active records to stdout as comma-separated text,\n"
    "                with a first line of item names\n"
    "\n"
    "  --fid F       the description (default: FILE with the extension .fid)\n"
    "  --index F     the index or hash file (default: FILE with .idx or .hsh)\n"
    "  --log F       append every message to the log file F\n"
    "  --keep-going  verify: report every inconsistency, not only the first\n"
    "  --skip-index  verify: skip the index-to-record pass\n"
    "  --skip-records\n"
    "                verify: skip the record-to-index pass and the counts\n"
    "  --strip       pack: move records holding non-printable characters to\n"
    "                FILE with the extension .nas\n"
    "  --by-key      pack: write the records in the order of the first key, so\n"
    "                that reading them in that order reads the file front to back\n"
    "  --network     read under the locks of network use (other programs keep\n"
    "                the table open)\n"
    "  --help        show this text\n"
    "\n"
    "recover and pack write the new files beside the old ones first and replace\n"
    "them only once the run is complete; Ctrl-C stops a run and keeps the old files.\n"
    "Exit codes: 0 done (verify: the table is sound), 1 the command failed or\n"
    "verify found the table damaged (the engine's status is named on stderr),\n"
    "2 wrong usage, 3 stopped by Ctrl-C (the old files are kept).\n";

int usage_error(const std::string &what) {
  std::fprintf(stderr, "corvex: %s\n%s", what.c_str(), kMaintUsage);
  return 2;
}

struct Options {
  std::string file;
  std::string fid;
  std::string index;
  std::string log;
  int flags = 0;
  bool help = false;
};

// Parses the arguments of verify, recover and pack (or dump, which takes
// the file only). Returns "" or what is wrong.
std::string parse(const std::string &command, int count, char **args, Options *o) {
  struct Flag {
    const char *name;
    int bit;
    const char *only;  // the one command it belongs to, or null
  };
  const Flag flags[] = {{"--keep-going", FM_KEEPGOING, "verify"}, {"--skip-index", FM_SKIPINDEX, "verify"},
                        {"--skip-records", FM_SKIPRECORDS, "verify"}, {"--strip", FM_STRIP, "pack"},
                        {"--by-key", FM_BYKEY, "pack"},
                        {"--network", FM_NETWORK, nullptr}};
  for (int i = 0; i < count; i++) {
    std::string a = args[i];
    if (a == "--help" || a == "-h") {
      o->help = true;
      return "";
    }
    std::string *value = a == "--fid" ? &o->fid : a == "--index" ? &o->index : a == "--log" ? &o->log : nullptr;
    if (value && command != "dump") {
      if (i + 1 >= count) return a + " needs a file name";
      *value = args[++i];
      continue;
    }
    bool known = false;
    for (const Flag &f : flags) {
      if (a != f.name || command == "dump") continue;
      if (f.only && command != f.only) return a + " is an option of " + f.only + " only";
      o->flags |= f.bit;
      known = true;
    }
    if (known) continue;
    if (!a.empty() && a[0] == '-') return "unknown option '" + a + "' for " + command;
    if (!o->file.empty()) return command + " takes one FILE";
    o->file = a;
  }
  if (o->file.empty()) return command + " needs a FILE";
  return "";
}

// A field of the comma-separated output: quoted when it holds a comma, a
// quote or a line break, with quotes doubled.
std::string csv_field(const std::string &text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string item_name(const fhitemdef &item) { return std::string(item.name, strnlen(item.name, FID_NAMELEN)); }

int dump(const std::string &file) {
  fhrequest control = {};
  control.opcode = FHOP_INIT;
  _filehandler(&control);
  fhrequest block = {};
  if (file.size() >= FH_NAMESIZE) {
    std::fprintf(stderr, "corvex: %s: the name is too long\n", file.c_str());
    return 1;
  }
  std::strcpy(block.datname, file.c_str());
  block.mode = FH_READONLY;
  if (_rfhopen(&block) != 0) {
    std::fprintf(stderr, "corvex: %s: cannot be opened (status %d)\n", file.c_str(), block.status);
    return 1;
  }
  // Physical order: every active record, whatever the index holds.
  if (block.nkeys > 0) _rfhsetkey(&block, 0);
  std::vector<std::string> columns;
  std::string header;
  for (uint16_t i = 0; i < block.nitems; i++) {
    const fhitemdef &item = block.itemdefs[i];
    for (uint16_t e = 0; e < item.count; e++) {
      std::string column = item_name(item);
      if (item.count > 1) column.append("(").append(std::to_string(e + 1)).append(")");
      if (!header.empty()) header += ',';
      header += csv_field(column);
    }
  }
  std::printf("%s\n", header.c_str());
  std::vector<char> value(block.reclen + 1u);
  int result = 0;
  for (;;) {
    if (_rfhread(&block, 0) != 0) {
      if (block.status == FHS_DELETED) continue;
      if (block.status != FHS_NORECORD) {
        std::fprintf(stderr, "corvex: %s: reading stopped with status %d\n", file.c_str(), block.status);
        result = 1;
      }
      break;
    }
    std::string line;
    for (uint16_t i = 0; i < block.nitems; i++) {
      const fhitemdef &item = block.itemdefs[i];
      std::string name = item_name(item);
      for (uint16_t e = 0; e < item.count; e++) {
        std::string text;
        if (_rfhitemget(&block, name.c_str(), e, value.data()) == 0) text = value.data();
        text.erase(text.find_last_not_of(' ') + 1);
        if (item.just == 'R') text.erase(0, text.find_first_not_of(' '));
        if (i > 0 || e > 0) line += ',';
        line += csv_field(text);
      }
    }
    std::printf("%s\n", line.c_str());
  }
  _rfhclose(&block);
  control.opcode = FHOP_TERMINATE;
  _filehandler(&control);
  return result;
}

// The exit code of a filemaint result, every failure named on stderr. The
// engine's status codes are not passed on as exit codes: 1 and 2 among them
// would read as the tool's own "failed" and "wrong usage", and codes above
// 255 would wrap round to 0, a failure reported as success.
int exit_code(const std::string &command, const std::string &file, int result) {
  if (result == 0) return 0;
  if (result == FM_RESULT_STOPPED) {
    std::fprintf(stderr, "corvex: %s %s: stopped; the old files are kept\n", command.c_str(), file.c_str());
    return 3;
  }
  if (result == FM_RESULT_SAMENAME) {
    std::fprintf(stderr, "corvex: %s %s: the index file has the data file's name\n", command.c_str(), file.c_str());
    return 1;
  }
  if (result == FM_RESULT_BUSY) {
    std::fprintf(stderr, "corvex: %s %s: another run is going on\n", command.c_str(), file.c_str());
    return 1;
  }
  char message[200];
  corvex::status_message(result, message, sizeof message);
  std::fprintf(stderr, "corvex: %s %s: %s (engine status %d)\n", command.c_str(), file.c_str(),
               *message ? message : "failed", result);
  return 1;
}

}  // namespace

bool is_maintenance_command(const std::string &command) {
  return command == "verify" || command == "recover" || command == "pack" || command == "dump";
}

int run_maintenance_command(const std::string &command, int count, char **args) {
  Options o;
  std::string error = parse(command, count, args, &o);
  if (o.help) {
    std::fputs(kMaintUsage, stdout);
    return 0;
  }
  if (!error.empty()) return usage_error(error);
  if (command == "dump") return dump(o.file);
  int action = command == "verify" ? FM_VERIFY : command == "recover" ? FM_RECOVER : FM_PACK;
  const int result = filemaint(action, o.file.c_str(), o.fid.c_str(), o.index.c_str(), nullptr, o.flags,
                               o.log.empty() ? nullptr : o.log.c_str());
  return exit_code(command, o.file, result);
}

}  // namespace corvex_tool
