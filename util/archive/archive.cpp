#include "util/archive/archive.h"

#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "util/archive/header.h"
#include "util/archive/member.h"
#include "util/archive/member_output.h"
#include "util/archive/options.h"
#include "util/ascii.h"
#include "util/fastfile.h"
#include "util/names.h"
#include "util/new_file.h"
#include "util/progress/progress.h"
#include "util/text.h"

namespace corvex {

const char *archive_error_text(int kind) {
  static const char *const kTexts[] = {
      "Unable to create temporary file.", "Not enough memory.", "Not a COMPRESS file.",
      "Corrupt COMPRESS file.",           "Unable to create.",  "Unable to open.",
      "CRC failure.",                     "Bad disk write, disk full?",
  };
  return kind >= 0 && kind < static_cast<int>(std::size(kTexts)) ? kTexts[kind] : "";
}

namespace {

constexpr int kMaxSpecs = 1000;
constexpr int kMaxFiles = 4000;
constexpr int kListLineMax = 65;
// A list file holds at most kMaxSpecs names of a line each, with room to spare.
constexpr int kListFileMax = 1 << 20;
constexpr int kMaxListWords = 50;
constexpr int kResultFailed = -1;
constexpr int kResultBadArgument = -2;
// A member visit that ends the walk early, as no result does.
constexpr int kWalkEnd = 1;
constexpr int kReadFlags = FAST_O_RDONLY | FAST_O_BINARY;
constexpr int kNewFlags = FAST_O_RDWR | FAST_O_CREAT | FAST_O_EXCL | FAST_O_BINARY;

class NoOutput : public ArchiveOutput {
 public:
  void message(const std::string &) override {}
  void error(int, const std::string &) override {}
};

ArchiveOutput *g_output = nullptr;

ArchiveOutput &archive_output() {
  static NoOutput none;
  return g_output ? *g_output : none;
}

std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *pattern, ...) {
  char text[256];
  va_list args;
  va_start(args, pattern);
  vsnprintf(text, sizeof text, pattern, args);
  va_end(args);
  return text;
}

std::string lower(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

size_t file_part_at(const std::string &path) {
  size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? 0 : separator + 1;
}

std::string file_part(const std::string &path) { return path.substr(file_part_at(path)); }

std::string dir_part(const std::string &path) { return path.substr(0, file_part_at(path)); }

// The archive's name with ".cmp" when its file name has no extension.
std::string archive_name(const std::string &given) {
  return file_part(given).find('.') == std::string::npos ? given + ".cmp" : given;
}

// The archive's name without its last extension.
std::string archive_stem(const std::string &archive) {
  size_t file = file_part_at(archive);
  size_t dot = archive.rfind('.');
  return dot != std::string::npos && dot > file ? archive.substr(0, dot) : archive;
}

// A fast file slot, closed when it goes out of scope.
class FastFile {
 public:
  FastFile() = default;
  ~FastFile() { close(); }
  FastFile(const FastFile &) = delete;
  FastFile &operator=(const FastFile &) = delete;

  bool open(const std::string &path, int flags, int mode = 0666) {
    close();
    slot_ = _fastopen(path.c_str(), flags, mode);
    return slot_ >= 0;
  }
  // Opens a new file under an unguessable name made from `stem` and `ext`,
  // stored in *path. A planted file or link under a name is passed over.
  bool open_new(const std::string &stem, const std::string &ext, int mode, std::string *path) {
    for (int attempt = 0; attempt < 10; attempt++) {
      if (!unguessable_name(stem, ext, path)) return false;
      if (open(*path, kNewFlags, mode)) return true;
    }
    return false;
  }
  // 0, or 1 when waiting output could not be written.
  int close() {
    if (slot_ < 0) return 0;
    int result = _fastclose(slot_);
    slot_ = -1;
    return result;
  }
  bool is_open() const { return slot_ >= 0; }
  int slot() const { return slot_; }

 private:
  int slot_ = -1;
};

// Reads a fast file, at most `limit` bytes.
class FastSource : public ByteSource {
 public:
  explicit FastSource(int slot, uint64_t limit = UINT64_MAX) : slot_(slot), left_(limit) {}
  size_t read(unsigned char *target, size_t size) override {
    int want = static_cast<int>(std::min<uint64_t>(size, left_));
    int n = want > 0 ? _fastread(slot_, target, want) : 0;
    left_ -= static_cast<uint64_t>(n);
    return static_cast<size_t>(n);
  }

 private:
  int slot_;
  uint64_t left_;
};

class FastSink : public ByteSink {
 public:
  explicit FastSink(int slot) : slot_(slot) {}
  bool write(const unsigned char *data, size_t size) override {
    return _fastwrite(slot_, data, static_cast<int>(size)) == 0;
  }

 private:
  int slot_;
};

// Makes a rename in the directory of `path` durable.
void sync_directory_of(const std::string &path) {
  std::string dir = dir_part(path);
  int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  ::close(fd);
}

bool same_file(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A file found for adding.
struct FoundFile {
  std::string path;
  std::string member;
  unsigned char stamp[6];
  uint64_t size;
};

// One archive run: its options, names and window.
class Run {
 public:
  Run(const ArchiveOptions &options, const std::string &archive)
      : options_(options), archive_(archive), window_(progress_window()),
        out_(archive_output()) {}

  // Reads the names into specifications, expanding list files. 0 or a result.
  int take_names(int count, const char *const *names);

  int add();
  int extract();
  int list();
  int remove();

  // Deletes the temporary file of a run that did not complete.
  void discard_temporary() {
    if (temp_made_) unlink(temp_.c_str());
    temp_made_ = false;
  }

 private:
  bool stopped() { return window_.stop_requested(); }
  void show(int line, const std::string &text) { window_.set_line(line, text); }
  void show_percent(int line, int *shown, uint64_t done, uint64_t whole);
  int fail(int kind, const std::string &subject, int result = kResultFailed) {
    out_.error(kind, subject);
    return result;
  }

  // Finds the files to add; *left_out tells that a file was left out
  // (reported). 0 or a result.
  int find_files(std::vector<FoundFile> *files, bool *left_out);
  bool matches(const std::string &member) const;
  // Reads the next header of `archive`: 1 read, 0 at the end, -1 after an
  // error was reported (`first` tells which error a missing magic is).
  int next_header(int slot, bool first, MemberHeader *header, long *data_at);
  // Calls `visit(header, data_at)` for each member from the archive's
  // start, the data unread. The visit answers 0 to go on, kWalkEnd to stop
  // there, or a result to end with. Returns 0 after the last member or a
  // kWalkEnd, kResultFailed for a damaged header (reported), or that result.
  template <class Visit>
  int walk_members(int slot, Visit visit);
  bool skip_data(int slot, long data_at, const MemberHeader &header);
  int copy_member(int from, int to, const MemberHeader &header);
  // Copies the member to the new archive, counting it into *end, or passes
  // over its data. 0 or a result.
  int keep_or_skip(int from, int to, const MemberHeader &header, long data_at, bool keep, long *end);
  int add_file(int to, const FoundFile &file, long *end);
  // What an extraction does after a member.
  enum class Next { kGoOn, kEnd, kStop };
  Next extract_member(int from, const MemberHeader &header, long data_at, long archive_size, int *overall,
                      bool *failed);
  int extract_members();
  // Renames the extracted files over their names; false (reported) on failure.
  bool place_extracted();
  // Ends an extraction early after reporting `kind`.
  Next end_with(int kind, const std::string &subject, bool *failed) {
    out_.error(kind, subject);
    *failed = true;
    return Next::kEnd;
  }
  // Opens the new archive: a new file beside the archive, with the mode of
  // the archive it replaces (`old`, when open) or private. 0 or a result.
  int open_temporary(FastFile &temp, const FastFile &old);
  // Replaces the archive by the finished temporary file. 0 or a result.
  int commit(FastFile &temp, long end);

  ArchiveOptions options_;
  std::string archive_;
  std::string temp_;
  ProgressWindow &window_;
  ArchiveOutput &out_;
  std::vector<std::string> specs_;
  bool temp_made_ = false;
  // Extracted files (the written file, its final name) to be put in place.
  std::vector<std::pair<std::string, std::string>> extracted_;
  MemberCoders coders_;
  std::vector<unsigned char> gather_;  // for MemberOutput
};

void Run::show_percent(int line, int *shown, uint64_t done, uint64_t whole) {
  int percent = whole == 0 ? 100 : static_cast<int>(std::min<uint64_t>(done, whole) * 100 / whole);
  if (percent == *shown) return;
  *shown = percent;
  show(line, format("%d%%", percent));
}

int Run::take_names(int count, const char *const *names) {
  for (int i = 0; i < count; i++) {
    const char *name = text_or_empty(names ? names[i] : nullptr);
    if (*name != '@') {
      if (*name) specs_.push_back(name);
      continue;
    }
    // Looked at before the open, which would wait on a pipe; the reading
    // stops at the bound should the file be another by then.
    struct stat st {};
    if (stat(name + 1, &st) != 0) return fail(kArchiveCannotOpen, name + 1, kResultBadArgument);
    if (!S_ISREG(st.st_mode) || st.st_size > kListFileMax) {
      out_.message(format("Error: Not a list file (a regular file of at most %d bytes): %s\r\n", kListFileMax,
                          name + 1));
      return kResultBadArgument;
    }
    FastFile list;
    if (!list.open(name + 1, kReadFlags)) return fail(kArchiveCannotOpen, name + 1, kResultBadArgument);
    char line[kListLineMax + 1];
    while (static_cast<int>(specs_.size()) <= kMaxSpecs && _fasttell(list.slot()) <= kListFileMax &&
           _fastgets(list.slot(), line, kListLineMax)) {
      trim(line);
      const char *spec = leading(line);
      if (*spec) specs_.push_back(spec);
    }
  }
  if (static_cast<int>(specs_.size()) > kMaxSpecs) {
    out_.message(format("Error: More than %d file names.\r\n", kMaxSpecs));
    return kResultFailed;
  }
  if (specs_.empty()) specs_.push_back("*.*");
  return 0;
}

// Member names are the found names lower-cased; Linux names that differ only
// in case would become one member, so the later file is left out.
int Run::find_files(std::vector<FoundFile> *files, bool *left_out) {
  struct stat archive_stat {}, temp_stat {};
  bool have_archive = stat(archive_.c_str(), &archive_stat) == 0;
  bool have_temp = stat(temp_.c_str(), &temp_stat) == 0;
  std::set<std::string> members, paths;
  for (const std::string &spec : specs_) {
    std::string dir = dir_part(spec);
    int32_t found_size;
    unsigned char stamp[6];
    for (const char *name = cfindfirst(spec.c_str(), 0, &found_size, stamp); name;
         name = cfindnext(&found_size, stamp)) {
      FoundFile file{dir + name, lower(name), {}, 0};
      struct stat st {};
      if (stat(file.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      if ((have_archive && same_file(st, archive_stat)) || (have_temp && same_file(st, temp_stat))) continue;
      if (paths.count(file.path)) continue;
      if (file.member.size() > kMemberNameMax) {
        out_.message(format("Error: Name longer than %zu characters, left out: %s\r\n", kMemberNameMax,
                            file.path.c_str()));
        *left_out = true;
        continue;
      }
      if (!members.insert(file.member).second) {
        out_.message(format("Error: A file of the same name in another case is a member already, left out: %s\r\n",
                            file.path.c_str()));
        *left_out = true;
        continue;
      }
      std::memcpy(file.stamp, stamp, sizeof stamp);
      file.size = static_cast<uint64_t>(st.st_size);
      if (static_cast<int>(files->size()) == kMaxFiles) {
        out_.message(format("Error: More than %d files.\r\n", kMaxFiles));
        return kResultFailed;
      }
      paths.insert(file.path);
      files->push_back(file);
    }
  }
  return 0;
}

bool Run::matches(const std::string &member) const {
  std::string name = member.find('.') == std::string::npos ? member + "." : member;
  for (const std::string &spec : specs_)
    if (islike(name.c_str(), lower(file_part(spec)).c_str())) return true;
  return false;
}

int Run::next_header(int slot, bool first, MemberHeader *header, long *data_at) {
  unsigned char raw[kMemberHeaderSize];
  int n = _fastread(slot, raw, sizeof raw);
  if (n == 0) return 0;
  if (n != static_cast<int>(sizeof raw) || !unpack_header(raw, header)) {
    out_.error(first ? kArchiveNotArchive : kArchiveCorrupt, archive_);
    return -1;
  }
  *data_at = _fasttell(slot);
  return 1;
}

template <class Visit>
int Run::walk_members(int slot, Visit visit) {
  MemberHeader header;
  long data_at;
  for (bool first = true;; first = false) {
    int got = next_header(slot, first, &header, &data_at);
    if (got < 0) return kResultFailed;
    if (got == 0) return 0;
    int result = visit(header, data_at);
    if (result == kWalkEnd) return 0;
    if (result != 0) return result;
  }
}

int Run::keep_or_skip(int from, int to, const MemberHeader &header, long data_at, bool keep, long *end) {
  if (!keep) return skip_data(from, data_at, header) ? 0 : kResultFailed;
  if (int result = copy_member(from, to, header)) return result;
  *end += static_cast<long>(kMemberHeaderSize + header.stored_size);
  return 0;
}

// Positions after the member's data; false (reported) when the archive ends first.
bool Run::skip_data(int slot, long data_at, const MemberHeader &header) {
  long end = _fastseek(slot, 0, 2);
  long next = data_at + static_cast<long>(header.stored_size);
  if (end < 0 || next > end || _fastseek(slot, next, 0) != next) {
    out_.error(kArchiveCorrupt, archive_);
    return false;
  }
  return true;
}

int Run::copy_member(int from, int to, const MemberHeader &header) {
  out_.message(format("Copying: %-12s .......... ", header.name.c_str()));
  unsigned char raw[kMemberHeaderSize];
  pack_header(header, raw);
  if (_fastwrite(to, raw, sizeof raw) != 0) return fail(kArchiveDiskFull, temp_);
  FastSource data(from, header.stored_size);
  FastSink sink(to);
  unsigned char block[8192];
  uint64_t copied = 0;
  while (size_t n = data.read(block, sizeof block)) {
    if (!sink.write(block, n)) return fail(kArchiveDiskFull, temp_);
    copied += n;
    if (stopped()) return kResultFailed;
  }
  if (copied != header.stored_size) return fail(kArchiveCorrupt, archive_);
  out_.message("Done.\r\n");
  return 0;
}

int Run::add_file(int to, const FoundFile &file, long *end) {
  show(kCmpMember, format("Adding:  %-12s ", file.member.c_str()));
  int shown = -1;
  show_percent(kCmpMemberPercent, &shown, 0, 1);
  out_.message(format("Adding:  %-12s .......... ", file.member.c_str()));
  FastFile input;
  if (!input.open(file.path, kReadFlags)) return fail(kArchiveCannotOpen, file.path);
  const long header_at = *end;
  MemberHeader header;
  header.name = file.member;
  std::memcpy(header.stamp, file.stamp, sizeof header.stamp);
  MemberOutput output(to, header_at, header, gather_);

  FastSource source(input.slot());
  auto progress = [&](uint64_t done) {
    show_percent(kCmpMemberPercent, &shown, done, file.size);
    return !stopped();
  };
  CodeStatus status = write_member(source, file.size, options_.offset(), output, progress, coders_, &header);
  if (status == CodeStatus::kOk && header.method == kMethodLzw && header.stored_size >= header.original_size) {
    // Coding did not pay: store the file instead of the coded data.
    if (_fastrewind(input.slot()) != 0 || !output.restart()) return fail(kArchiveDiskFull, temp_);
    status = store_member(source, options_.offset(), output, progress, &header);
  }
  switch (status) {
    case CodeStatus::kOk: break;
    case CodeStatus::kWriteFailed: return fail(kArchiveDiskFull, temp_);
    case CodeStatus::kStopped: return kResultFailed;
    case CodeStatus::kTooLarge:
      out_.message(format("Error: Too large for a member: %s\r\n", file.path.c_str()));
      return kResultFailed;
  }
  if (!output.finish(header)) return fail(kArchiveDiskFull, temp_);
  *end = header_at + static_cast<long>(kMemberHeaderSize + header.stored_size);
  out_.message("Done.\r\n");
  return 0;
}

int Run::open_temporary(FastFile &temp, const FastFile &old) {
  if (!temp.open_new(archive_stem(archive_), ".$$$", 0600, &temp_)) return fail(kArchiveNoTemporary, archive_);
  temp_made_ = true;
  struct stat st {};
  if (old.is_open() && fstat(fast_descriptor(old.slot()), &st) == 0)
    fchmod(fast_descriptor(temp.slot()), st.st_mode & 0777);
  return 0;
}

int Run::commit(FastFile &temp, long end) {
  int fd = fast_descriptor(temp.slot());
  if (_fastflush(temp.slot()) != 0 || ftruncate(fd, end) != 0 || fsync(fd) != 0 || temp.close() != 0)
    return fail(kArchiveDiskFull, temp_);
  if (rename(temp_.c_str(), archive_.c_str()) != 0) return fail(kArchiveCannotCreate, archive_);
  temp_made_ = false;
  sync_directory_of(archive_);
  return 0;
}

int Run::add() {
  FastFile old;
  bool updating = old.open(archive_, kReadFlags);
  show(kCmpOperation, format("%s: %s", updating ? "Updating" : "Creating", archive_.c_str()));
  int overall = -1;
  show_percent(kCmpOverall, &overall, 0, 1);
  FastFile temp;
  if (int result = open_temporary(temp, old)) return result;
  std::vector<FoundFile> files;
  bool left_out = false;
  if (int result = find_files(&files, &left_out)) return result;
  std::set<std::string> replaced;
  for (const FoundFile &f : files) replaced.insert(f.member);

  long end = 0;
  if (updating) {
    int result = walk_members(old.slot(), [&](const MemberHeader &header, long data_at) {
      return keep_or_skip(old.slot(), temp.slot(), header, data_at, replaced.count(header.name) == 0, &end);
    });
    if (result != 0) return result;
    old.close();
  }
  for (size_t i = 0; i < files.size(); i++) {
    if (int result = add_file(temp.slot(), files[i], &end)) return result;
    show_percent(kCmpOverall, &overall, i + 1, files.size());
  }
  if (int result = commit(temp, end)) return result;
  return left_out ? kResultFailed : 0;
}

// Writes one member beside its final name; place_extracted renames it over
// that name, so that an existing file is replaced only by a whole one.
Run::Next Run::extract_member(int from, const MemberHeader &header, long data_at, long archive_size, int *overall,
                              bool *failed) {
  const std::string &name = header.name;
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos) {
    // Never outside the target directory; the other members go on.
    out_.error(kArchiveCannotCreate, name);
    *failed = true;
    return Next::kGoOn;
  }
  std::string path = options_.target + name;
  struct stat existing {};
  bool exists = lstat(path.c_str(), &existing) == 0;
  if (exists && !options_.overwrite) {
    ProgressQuestion question{"Compress", format("File '%s' already exists, overwrite it?", path.c_str()),
                              ProgressQuestion::Buttons::kYesNo};
    if (!window_.ask(question)) return Next::kGoOn;
  }
  show(kCmpMember, format("Extracting: %-12s ", name.c_str()));
  int shown = -1;
  show_percent(kCmpMemberPercent, &shown, 0, 1);
  out_.message(format("Extracting: %-12s .......... ", name.c_str()));

  // A new file beside the final name, under a name nobody can guess.
  std::string part;
  FastFile output;
  if (!output.open_new(path, "", 0666, &part)) return end_with(kArchiveCannotCreate, path, failed);
  if (exists && S_ISREG(existing.st_mode)) fchmod(fast_descriptor(output.slot()), existing.st_mode & 07777);
  FastSource data(from, header.stored_size);
  FastSink sink(output.slot());
  auto progress = [&](uint64_t done) {
    show_percent(kCmpMemberPercent, &shown, done, header.stored_size);
    show_percent(kCmpOverall, overall, static_cast<uint64_t>(data_at) + done, static_cast<uint64_t>(archive_size));
    return !stopped();
  };
  uint16_t checksum = 0;
  ExtractStatus status = read_member(data, header, options_.offset(), sink, progress, coders_, &checksum);
  if (status != ExtractStatus::kOk || output.close() != 0) {
    output.close();
    unlink(part.c_str());
    if (status == ExtractStatus::kStopped) return Next::kStop;
    if (status == ExtractStatus::kCorrupt) return end_with(kArchiveCorrupt, name, failed);
    return end_with(kArchiveDiskFull, path, failed);
  }
  struct tm t {};
  t.tm_year = header.stamp[0];
  t.tm_mon = header.stamp[1] - 1;
  t.tm_mday = header.stamp[2];
  t.tm_hour = header.stamp[3];
  t.tm_min = header.stamp[4];
  t.tm_sec = header.stamp[5] / 2 * 2;  // the stamp counts two seconds
  t.tm_isdst = -1;
  time_t when = mktime(&t);
  if (when != static_cast<time_t>(-1)) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, part.c_str(), times, AT_SYMLINK_NOFOLLOW);
  }
  extracted_.push_back({part, path});
  if (checksum != header.checksum) {
    out_.error(kArchiveChecksum, name);  // the file stays, for what it is worth
    *failed = true;
  }
  out_.message("Done.\r\n");
  return Next::kGoOn;
}

// One sync of the target's file system makes every extracted file durable
// before any of them replaces a file of its name.
bool Run::place_extracted() {
  if (extracted_.empty()) return true;
  std::string dir = options_.target.empty() ? "." : options_.target;
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool synced = fd >= 0 && syncfs(fd) == 0;
  bool ok = true;
  for (const auto &[part, path] : extracted_) {
    if (!synced || rename(part.c_str(), path.c_str()) != 0) {
      unlink(part.c_str());
      out_.error(synced ? kArchiveCannotCreate : kArchiveDiskFull, path);
      ok = false;
    }
  }
  extracted_.clear();
  if (fd >= 0) {
    fsync(fd);
    ::close(fd);
  }
  return ok;
}

int Run::extract() {
  int result = extract_members();
  bool placed = place_extracted();
  return result == 0 && !placed ? kResultFailed : result;
}

int Run::extract_members() {
  show(kCmpOperation, format("Searching: %s", archive_.c_str()));
  int overall = -1;
  show_percent(kCmpOverall, &overall, 0, 1);
  FastFile archive;
  if (!archive.open(archive_, kReadFlags)) return fail(kArchiveCannotOpen, archive_, kResultBadArgument);
  long archive_size = _fastseek(archive.slot(), 0, 2);
  _fastrewind(archive.slot());
  bool failed = false;
  int result = walk_members(archive.slot(), [&](const MemberHeader &header, long data_at) {
    if (matches(header.name)) {
      Next next = extract_member(archive.slot(), header, data_at, archive_size, &overall, &failed);
      if (next == Next::kStop) return kResultFailed;
      if (next == Next::kEnd) return kWalkEnd;
    }
    if (!skip_data(archive.slot(), data_at, header)) return kResultFailed;
    show_percent(kCmpOverall, &overall, static_cast<uint64_t>(_fasttell(archive.slot())),
                 static_cast<uint64_t>(archive_size));
    return stopped() ? kResultFailed : 0;
  });
  if (result != 0) return result;
  return failed ? kResultFailed : 0;
}

int Run::list() {
  show(kCmpOperation, format("Searching: %s", archive_.c_str()));
  FastFile archive;
  if (!archive.open(archive_, kReadFlags)) {
    out_.message("Error: Unable to open COMPRESS file.\r\n");
    return kResultBadArgument;
  }
  const bool full = !options_.quiet, bits = options_.show_bits;
  out_.message("COMPRESS File: " + archive_ + "\r\n\r\n");
  out_.message(std::string(" File Name      Date     Time") + (full ? "       Size       Now    %   CRC" : "") +
               (full && bits ? "   Bits" : "") + "\r\n");
  out_.message(std::string(" ---------      ----     ----") + (full ? "       ----       ---    -   ---" : "") +
               (full && bits ? "   ----" : "") + "\r\n");
  auto saving = [](uint64_t original, uint64_t stored) {
    return original == 0 ? 0 : static_cast<int>(100 - static_cast<int64_t>(stored * 100 / original));
  };
  uint64_t total_original = 0, total_stored = 0;
  int count = 0;
  int result = walk_members(archive.slot(), [&](const MemberHeader &header, long data_at) {
    if (matches(header.name)) {
      const unsigned char *st = header.stamp;
      int hour = st[3] % 12 == 0 ? 12 : st[3] % 12;
      std::string line = format("%-12.12s  %02d-%02d-%02d  %02d:%02d%cm", header.name.c_str(), st[1], st[2],
                                st[0] % 100, hour, st[4], st[3] < 12 ? 'a' : 'p');
      if (full) {
        line += format("  %8ld  %8ld  %3d  %04x", static_cast<long>(header.original_size),
                       static_cast<long>(header.stored_size), saving(header.original_size, header.stored_size),
                       header.checksum);
        if (bits) line += format("  %3d", header.bits);
      }
      out_.message(line + "\r\n");
      count++;
      total_original += header.original_size;
      total_stored += header.stored_size;
    }
    return skip_data(archive.slot(), data_at, header) ? 0 : kResultFailed;
  });
  if (result != 0) return result;
  out_.message(std::string(" ----") + (full ? "                            --------  --------  ----" : "") + "\r\n");
  std::string totals = format(" %04d", count);
  if (full)
    totals += format("                            %8ld  %8ld  %3d%%", static_cast<long>(total_original),
                     static_cast<long>(total_stored), saving(total_original, total_stored));
  out_.message(totals + "\r\n");
  return 0;
}

// Deletes the members that match the names given (whether or not such files
// exist on disk).
int Run::remove() {
  FastFile old;
  if (!old.open(archive_, kReadFlags)) {
    out_.message("Error: Unable to open COMPRESS file.\r\n");
    return kResultBadArgument;
  }
  long archive_size = _fastseek(old.slot(), 0, 2);
  _fastrewind(old.slot());
  FastFile temp;
  if (int result = open_temporary(temp, old)) return result;
  show(kCmpOperation, format("Updating: %s", archive_.c_str()));
  int overall = -1;
  show_percent(kCmpOverall, &overall, 0, 1);
  long end = 0;
  int result = walk_members(old.slot(), [&](const MemberHeader &header, long data_at) {
    bool deleted = matches(header.name);
    if (deleted) out_.message(format("Deleting: %-12s\r\n", header.name.c_str()));
    if (int kept = keep_or_skip(old.slot(), temp.slot(), header, data_at, !deleted, &end)) return kept;
    show_percent(kCmpOverall, &overall, static_cast<uint64_t>(end), static_cast<uint64_t>(archive_size));
    return stopped() ? kResultFailed : 0;
  });
  if (result != 0) return result;
  old.close();
  return commit(temp, end);
}

int run_archive(const char *options_text, const char *archive, int count, const char *const *names) {
  ArchiveOptions options;
  switch (parse_archive_options(options_text, &options)) {
    case OptionsResult::kOk: break;
    case OptionsResult::kNoCommand: return kResultFailed;
    case OptionsResult::kBadPassword:
      archive_output().message("Error: Bad password.\r\n");
      return kResultBadArgument;
    case OptionsResult::kBadTarget:
      archive_output().message("Error: Bad target directory.\r\n");
      return kResultBadArgument;
  }
  if (options.command == ArchiveCommand::kDelete && count < 1) return kResultFailed;
  std::string name = text_or_empty(archive);
  if (name.empty()) return kResultFailed;
  const std::string path = archive_name(name);
  // Only a regular file is an archive: a pipe would hold the run up and a
  // device never end.
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    archive_output().error(kArchiveNotArchive, path);
    return kResultBadArgument;
  }
  Run run(options, path);
  ProgressWindow &window = progress_window();
  window.open(ProgressLayout::kCompress, "Compress v2.2");
  int result = run.take_names(count, names);
  if (result == 0) {
    switch (options.command) {
      case ArchiveCommand::kAdd: result = run.add(); break;
      case ArchiveCommand::kExtract: result = run.extract(); break;
      case ArchiveCommand::kList: result = run.list(); break;
      case ArchiveCommand::kDelete: result = run.remove(); break;
      case ArchiveCommand::kNone: result = kResultFailed; break;
    }
  }
  if (result != 0) run.discard_temporary();
  window.close();
  return result;
}

}  // namespace
}  // namespace corvex

int compress_files(const char *options, const char *archive, int count, const char *const *names) {
  return corvex::run_archive(options, archive, count, names);
}

int compress_file_list(const char *options, const char *archive, const char *text) {
  std::vector<std::string> words;
  const char *p = corvex::text_or_empty(text);
  while (*p) {
    while (*p == ' ' || *p == '\t') p++;
    const char *start = p;
    while (*p && *p != ' ' && *p != '\t') p++;
    if (p > start) words.emplace_back(start, p);
  }
  if (words.size() > static_cast<size_t>(corvex::kMaxListWords)) return -1;
  std::vector<const char *> names;
  for (const std::string &w : words) names.push_back(w.c_str());
  return compress_files(options, archive, static_cast<int>(names.size()), names.data());
}

void corvex_set_archive_output(corvex::ArchiveOutput *output) { corvex::g_output = output; }
