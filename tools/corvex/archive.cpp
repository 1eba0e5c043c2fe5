#include "tools/corvex/archive.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "util/archive/archive.h"
#include "util/archive/options.h"

namespace corvex_tool {

namespace {

const char kArchiveUsage[] =
    "usage: corvex archive OPTIONS ARCHIVE [NAMES...]\n"
    "\n"
    "Adds files to, extracts them from, lists or deletes them from a compress\n"
    "archive (ARCHIVE gets the extension .cmp when it has none).\n"
    "\n"
    "OPTIONS is one word; its first character (say '-') is not read, each further\n"
    "letter, in either case, is an option:\n"
    "  A            add the files NAMES (patterns such as Log.* or dir/*.txt;\n"
    "               default *.*); members of the same name are replaced\n"
    "  X            extract the members matching NAMES\n"
    "  L            list the members matching NAMES\n"
    "  D            delete the members matching NAMES (at least one name)\n"
    "  B            list the code width too\n"
    "  O            overwrite existing files on extraction without asking\n"
    "  Q            list names and dates only\n"
    "  P\"PASSWORD\"  scramble or unscramble with a password of up to 10 characters\n"
    "  T\"DIR\"       extract into DIR (up to 40 characters)\n"
    "Exactly one of A, X, L and D. Member names are the file names in lower case,\n"
    "at most 12 characters. A name @FILE reads further names from FILE, one a line.\n"
    "\n"
    "Examples:\n"
    "  corvex archive -A backup Log.*\n"
    "  corvex archive -LB backup\n"
    "  corvex archive -XT\"restored\" backup log.dat\n"
    "\n"
    "Exit codes: 0 done, 1 the run failed, left a file out (a name longer than\n"
    "12 characters or a case twin of a member) or was stopped with Ctrl-C,\n"
    "2 wrong usage, a bad option argument or password, or an archive or list\n"
    "file that cannot be opened or is not a regular file (list files: at most 1 MB).\n";

// Texts of the run: the listing and notes on stdout, errors on stderr.
class ConsoleOutput : public corvex::ArchiveOutput {
 public:
  void message(const std::string &text) override {
    std::string line;
    for (char c : text)
      if (c != '\r') line += c;
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  }
  void error(int kind, const std::string &subject) override {
    std::fflush(stdout);
    if (subject.empty())
      std::fprintf(stderr, "corvex: %s\n", corvex::archive_error_text(kind));
    else
      std::fprintf(stderr, "corvex: %s: %s\n", subject.c_str(), corvex::archive_error_text(kind));
  }
};

}  // namespace

int archive_command(int argc, char **argv) {
  if (argc >= 1 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kArchiveUsage, stdout);
    return 0;
  }
  if (argc < 2) {
    std::fprintf(stderr, "corvex: archive takes OPTIONS and ARCHIVE\n%s", kArchiveUsage);
    return 2;
  }
  corvex::ArchiveOptions options;
  corvex::OptionsResult parsed = corvex::parse_archive_options(argv[0], &options);
  if (parsed == corvex::OptionsResult::kNoCommand) {
    std::fprintf(stderr, "corvex: OPTIONS needs exactly one of A, X, L and D after its first character\n");
    return 2;
  }
  if (options.command == corvex::ArchiveCommand::kDelete && argc < 3) {
    std::fprintf(stderr, "corvex: archive D needs the names of the members to delete\n");
    return 2;
  }
  ConsoleOutput output;
  corvex_set_archive_output(&output);
  std::vector<const char *> names(argv + 2, argv + argc);
  int result = compress_files(argv[0], argv[1], static_cast<int>(names.size()), names.data());
  corvex_set_archive_output(nullptr);
  return result == 0 ? 0 : result == -2 ? 2 : 1;
}

}  // namespace corvex_tool
