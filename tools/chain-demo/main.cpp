// chain-demo: hands three open files and two strings from one program to the
// next through liblumbra's chain hand-over.
//
// The first program opens a station log table, a text file to read and a
// text file to write, works a little on each, stores two strings, saves and
// closes its files with KDBputfiles and starts the second program (itself,
// with --receive) under the same client number. The second takes the files
// over with KDBgetfiles; each file is opened again only when it is first used
// and goes on where the first program left it.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "access/kdb.h"

namespace {

const char kUsage[] =
    "usage: chain-demo LOG INPUT OUTPUT\n"
    "       chain-demo --receive CLIENT\n"
    "\n"
    "Hands three open files and two strings to a second program that it starts.\n"
    "  LOG     a station log table (Log.Dat) with at least two entries\n"
    "  INPUT   a text file of at least two lines\n"
    "  OUTPUT  a text file to append to (made when missing)\n"
    "The first program reads the first log entry and the first line of INPUT\n"
    "and writes a line to OUTPUT; the second reads the next log entry and the\n"
    "next line and writes another line.\n"
    "\n"
    "  --receive CLIENT  run as the second program: take over what client value\n"
    "                    CLIENT handed over\n"
    "  --help            show this text\n"
    "\n"
    "Exit codes: 0 done, 1 a step failed, 2 wrong usage.\n";

constexpr const char *kNetMode = "MSNET";
// File ids below the client value, as the station program numbers its tables.
constexpr int kLog = 3, kOutput = 6, kInput = 7;

struct Files {
  const char *log, *input, *output;
};

int fail(const char *step, int code) {
  std::fprintf(stderr, "chain-demo: %s failed with code %d\n", step, code);
  return 1;
}

// The next field of a text input file, or "" at the end.
std::string next_line(int id) {
  char line[256];
  int16_t len = 255;
  if (KDBget(line, id, &len) != 0) return "";
  KDBread(id, 0);
  return line;
}

// Key, frequency and mode of the current log entry. Each text is copied out
// at once: the next call that returns text reuses the layer's buffer.
std::string log_entry(int id) {
  std::string entry = KDBcopyfid("UNIKEY", id);
  entry += " ";
  entry += KDBcopyfid("FRQ", id);
  entry += " ";
  entry += KDBcopyfid("MODE", id);
  return entry;
}

// Starts this program again as the second program and waits for it.
int start_receiver(int client) {
  std::string value = std::to_string(client);
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) return fail("starting the second program", errno);
  if (pid == 0) {
    execl("/proc/self/exe", "chain-demo", "--receive", value.c_str(), static_cast<char *>(nullptr));
    std::perror("chain-demo: exec");
    _exit(1);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return fail("waiting for the second program", errno);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int send(const Files &files) {
  int client = KDBinit(0);
  if (int rc = KDBhost(client, kNetMode)) return fail("KDBhost", rc);
  if (int rc = KDBopen(files.log, "", "", client + kLog, 3, 0)) return fail("opening LOG", rc);
  if (int rc = KDBfirstrec(client + kLog, 1)) return fail("reading the first log entry", rc);
  if (int rc = KDBopen(files.input, "", "", client + kInput, 1, 0)) return fail("opening INPUT", rc);
  if (int rc = KDBopenmake(files.output, "", "", client + kOutput, 0, 0x8000)) return fail("opening OUTPUT", rc);
  std::string first = next_line(client + kInput);
  KDBput("written by the first program", client + kOutput, -1);
  KDBwrite(client + kOutput, 1, 0);
  std::printf("first:  log entry %s\nfirst:  input line \"%s\"\n", log_entry(client + kLog).c_str(), first.c_str());

  KDBdataput(client, 0, "73 from the first program");
  KDBdataput(client, 1, first.c_str());
  KDBputfiles(client);
  std::printf("first:  handed over 3 files and 2 strings under client %d\n", client / 256);
  return start_receiver(client);
}

int receive(int client) {
  if (KDBchainbusy(client) != 255) {
    std::fprintf(stderr, "chain-demo: nothing was handed over under client %d\n", client / 256);
    return 1;
  }
  KDBgetfiles(client, kNetMode);
  std::printf("second: string 0 \"%s\"\n", KDBdataget(client, 0));
  std::printf("second: string 1 \"%s\"\n", KDBdataget(client, 1));
  std::printf("second: log left on %s\n", log_entry(client + kLog).c_str());
  if (int rc = KDBnextrec(client + kLog, -1)) return fail("reading the next log entry", rc);
  std::printf("second: next log entry %s\n", log_entry(client + kLog).c_str());
  std::printf("second: next input line \"%s\"\n", next_line(client + kInput).c_str());
  KDBput("written by the second program", client + kOutput, -1);
  if (int rc = KDBwrite(client + kOutput, 1, 0)) return fail("writing OUTPUT", rc);
  KDBdatafree(client);
  if (int rc = KDBinit(client)) return fail("closing the files", rc);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc >= 2 && !std::strcmp(argv[1], "--receive")) {
    char *end = nullptr;
    long value = argc == 3 ? std::strtol(argv[2], &end, 10) : 0;
    if (end == nullptr || *end != '\0' || value < 256 || value > 127 * 256 || value % 256 != 0) {
      std::fprintf(stderr, "chain-demo: --receive needs one client value (256, 512, ... 32512)\n%s", kUsage);
      return 2;
    }
    return receive(static_cast<int>(value));
  }
  if (argc != 4) {
    std::fprintf(stderr, "chain-demo: LOG, INPUT and OUTPUT are needed\n%s", kUsage);
    return 2;
  }
  return send(Files{argv[1], argv[2], argv[3]});
}
