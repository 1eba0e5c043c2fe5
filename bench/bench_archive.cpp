// Compress archives against ncompress's compress, on the same files.
//
// Builds a corpus at run time from files found on the machine: text from
// /usr/share/common-licenses and /usr/include, binary from shared libraries
// in /usr/lib (at least 20 MB in all, default 24), copied under short names
// into a work directory (on /dev/shm when there is one, so that neither side
// waits on the disk). Then adds them all to one archive and extracts them
// again, and runs compress (default settings: 16-bit codes, files that do
// not shrink are left as they are) and uncompress over copies of the same
// files in one process each. Prints throughput ratios (ours over theirs, 1.0
// or more means we are at least as fast; the best of three runs each, every
// run from a fresh start) and the size ratio (our archive over the sum of
// their outputs).
//
//   bench_archive [MEGABYTES]
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/recording_progress.h"
#include "util/archive/archive.h"

#include "bench/timing.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string &what) {
  fprintf(stderr, "bench_archive: %s\n", what.c_str());
  exit(1);
}

// Regular files under `roots`, sorted, whose sizes lie in [low, high].
std::vector<fs::path> files_under(const std::vector<std::string> &roots, uintmax_t low, uintmax_t high,
                                  bool recursive, const std::string &name_part = "") {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const std::string &root : roots) {
    if (!fs::exists(root, ec)) continue;
    auto add = [&](const fs::directory_entry &e) {
      if (!e.is_regular_file(ec) || e.is_symlink(ec)) return;
      uintmax_t size = e.file_size(ec);
      if (ec || size < low || size > high) return;
      if (!name_part.empty() && e.path().filename().string().find(name_part) == std::string::npos) return;
      found.push_back(e.path());
    };
    if (recursive)
      for (const auto &e : fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec))
        add(e);
    else
      for (const auto &e : fs::directory_iterator(root, ec)) add(e);
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Copies files from `from` into `dir` as PREFIXnnnnn.EXT until `bytes` are taken.
uintmax_t take(const std::vector<fs::path> &from, uintmax_t bytes, const std::string &dir, const char *prefix,
               const char *ext, int *count) {
  uintmax_t taken = 0;
  for (const fs::path &p : from) {
    if (taken >= bytes) break;
    char name[32];
    snprintf(name, sizeof name, "%s%05d.%s", prefix, (*count)++, ext);
    std::error_code ec;
    fs::copy_file(p, fs::path(dir) / name, ec);
    if (ec) continue;
    taken += fs::file_size(fs::path(dir) / name);
  }
  return taken;
}

// Runs a shell command; its exit status.
int shell(const std::string &command) {
  int status = system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Processor time (user and system) of this process and its ended children.
double cpu_seconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage use {};
    getrusage(who, &use);
    total += use.ru_utime.tv_sec + use.ru_utime.tv_usec / 1e6 + use.ru_stime.tv_sec + use.ru_stime.tv_usec / 1e6;
  }
  return total;
}

// The least processor time a figure's runs took.
struct Figure {
  double cpu = 1e9;
};

// Runs `work`; its wall time, its processor time kept in `figure` when lowest.
template <class Work>
double timed(Figure &figure, Work work) {
  const double cpu0 = cpu_seconds();
  auto t0 = std::chrono::steady_clock::now();
  work();
  const double wall = seconds_since(t0);
  figure.cpu = std::min(figure.cpu, cpu_seconds() - cpu0);
  return wall;
}

uintmax_t directory_bytes(const std::string &dir) {
  uintmax_t total = 0;
  for (const auto &e : fs::directory_iterator(dir)) total += e.file_size();
  return total;
}

}  // namespace

int main(int argc, char **argv) {
  double megabytes = argc > 1 ? atof(argv[1]) : 24;
  if (megabytes < 20) megabytes = 20;
  if (shell("command -v compress >/dev/null 2>&1") != 0) fail("compress (ncompress) is not installed");
  std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string work = base + "/cvx-bench-XXXXXX";
  if (!mkdtemp(work.data())) fail("no work directory");
  const std::string corpus = work + "/c", ours = work + "/o", theirs = work + "/n";
  for (const std::string &d : {corpus, ours, theirs}) fs::create_directory(d);

  // About two thirds text, one third binary.
  const uintmax_t want = static_cast<uintmax_t>(megabytes * 1e6);
  int count = 0;
  uintmax_t text = take(files_under({"/usr/share/common-licenses"}, 1, 1 << 20, true), want, corpus, "t", "txt", &count);
  text += take(files_under({"/usr/include"}, 256, 4 << 20, true), want * 2 / 3 - text, corpus, "t", "txt", &count);
  uintmax_t binary = take(files_under({"/usr/lib/x86_64-linux-gnu", "/usr/lib"}, 500000, 3000000, false, ".so"),
                          want - text, corpus, "b", "so", &count);
  if (text + binary < 20000000) fail("could not find 20 MB of files on this machine");
  const double total_mb = static_cast<double>(text + binary) / 1e6;
  printf("corpus: %d files, %.1f MB text, %.1f MB binary, in %s\n", count, text / 1e6, binary / 1e6, work.c_str());

  corvex::testing::SilentProgress window;
  corvex_set_progress_window(&window);
  // Each side runs three times from a fresh start and the best time counts,
  // since the machine may be busy with other work.
  const std::string archive = ours + "/all.cmp";
  const std::string spec = corpus + "/*";
  const char *names[] = {spec.c_str()};
  const std::string target = "-XOT\"" + ours + "/\"";
  // Each figure is wall time; the processor time of its best run is kept
  // beside it, which a machine shared with other work disturbs less.
  Figure our_add_cpu, our_extract_cpu, their_add_cpu, their_extract_cpu;
  const double our_add = best_of_three([&] {
    std::remove(archive.c_str());
    return timed(our_add_cpu, [&] {
      if (compress_files("-A", archive.c_str(), 1, names) != 0) fail("adding to the archive failed");
    });
  });
  const double our_extract = best_of_three([&] {
    shell("find " + ours + " -type f ! -name all.cmp -delete");
    return timed(our_extract_cpu, [&] {
      if (compress_files(target.c_str(), archive.c_str(), 0, nullptr) != 0) fail("extracting failed");
    });
  });

  // ncompress over copies of the same files, one process for all of them;
  // their compressed files are kept aside for the uncompress runs.
  const std::string kept = work + "/z";
  const double their_add = best_of_three([&] {
    shell("rm -f " + theirs + "/* && cp " + corpus + "/* " + theirs + "/");
    // status 2: some files did not shrink
    return timed(their_add_cpu, [&] { shell("cd " + theirs + " && ls | xargs compress 2>/dev/null"); });
  });
  const uintmax_t their_size = directory_bytes(theirs);
  shell("rm -rf " + kept + " && cp -r " + theirs + " " + kept);
  const double their_extract = best_of_three([&] {
    shell("rm -f " + theirs + "/* && cp " + kept + "/* " + theirs + "/");
    return timed(their_extract_cpu, [&] {
      if (shell("cd " + theirs + " && ls | grep '\\.Z$' | xargs uncompress") != 0) fail("uncompress failed");
    });
  });
  if (shell("cd " + ours + " && for f in ../c/*; do cmp -s \"$f\" \"$(basename \"$f\")\" || exit 1; done") != 0)
    fail("extracted files differ from the corpus");
  const long long our_size = file_size(archive);

  printf("compress:    ours %6.2f s (%6.1f MB/s)  ncompress %6.2f s (%6.1f MB/s)  throughput ratio %.2f (goal >= 1.0)\n",
         our_add, total_mb / our_add, their_add, total_mb / their_add, their_add / our_add);
  printf("extract:     ours %6.2f s (%6.1f MB/s)  ncompress %6.2f s (%6.1f MB/s)  throughput ratio %.2f (goal >= 1.0)\n",
         our_extract, total_mb / our_extract, their_extract, total_mb / their_extract, their_extract / our_extract);
  printf("cpu:         compress ours %.2f s, ncompress %.2f s (ratio %.2f); extract ours %.2f s, ncompress %.2f s (ratio %.2f)\n",
         our_add_cpu.cpu, their_add_cpu.cpu, their_add_cpu.cpu / our_add_cpu.cpu, our_extract_cpu.cpu,
         their_extract_cpu.cpu, their_extract_cpu.cpu / our_extract_cpu.cpu);
  printf("size:        ours %.2f MB  ncompress %.2f MB (%.1f%% and %.1f%% of the corpus)  size ratio %.3f (goal <= 1.15)\n",
         our_size / 1e6, their_size / 1e6, 100.0 * our_size / (text + binary), 100.0 * their_size / (text + binary),
         static_cast<double>(our_size) / static_cast<double>(their_size));
  fs::remove_all(work);
  return 0;
}
