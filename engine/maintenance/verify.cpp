// VERIFY: one record pass per key (one for files without keys, one for
// hashed files) that looks every active record up in the index or hash file
// and counts the records, then one index pass per key that reads the record
// every entry points at and compares their keys, then the counts: the
// header's record count must be what the data file holds, and every key must
// have one entry per active record.
//
// In network use other programs may be changing the files while the passes
// read them, and a look taken halfway through a change finds faults that are
// not there. So a run there looks first without holding anything but the
// record locks and shows no finding; only when that look is clean does it
// stand. Otherwise the passes run again with the header lock held
// throughout: writers wait (or give up with their own status), and what
// this second run finds is in the files.
#include <fcntl.h>
#include <string.h>

#include <vector>

#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/hash/hashfile.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/maintenance/actions.h"
#include "engine/maintenance/filemaint.h"
#include "engine/maintenance/walk.h"
#include "engine/ops/hashops.h"

namespace corvex {

namespace {

class Verify {
 public:
  Verify(MaintReport &report, const MaintNames &names)
      : report_(report), names_(names), keep_going_(names.flags & FM_KEEPGOING),
        network_(names.flags & FM_NETWORK) {
    block_.datfd = -1;
    block_.idxfd = -1;
  }
  ~Verify() { close_files(&block_); }

  int run();

 private:
  // One run of the passes; with `hold_header_lock` under the header lock.
  int attempt(bool hold_header_lock);
  // The passes, on the open data file.
  int passes(bool header_locked);
  // The closing lines once the passes are done; the run's result.
  int summary();
  bool hashed() const { return (block_.mode & FH_HASHED) != 0; }
  int open_index();
  int record_pass(int k, int passes);
  int check_entry(int k, uint32_t pos, char *image);
  int index_pass(int k);
  // A finding: shows `shown`, logs `logged` and `detail`. Returns `status`
  // when the run ends here, 0 when it goes on (remembering the status).
  int finding(int status, bool may_go_on, const std::string &shown, const std::string &logged,
              const std::string &detail);
  int finding(int status, bool may_go_on, const std::string &text, const std::string &detail) {
    return finding(status, may_go_on, text, text, detail);
  }

  MaintReport &report_;
  const MaintNames &names_;
  const bool keep_going_;
  const bool network_;
  bool quiet_ = false;  // a first look in network use: findings end it unshown
  fhrequest block_ = {};
  uint32_t header_count_ = 0;
  uint32_t deleted_ = 0;
  int first_failure_ = 0;
  std::vector<char> image_;
};

int Verify::finding(int status, bool may_go_on, const std::string &shown, const std::string &logged,
                    const std::string &detail) {
  if (quiet_) return status;
  report_.message(shown, logged);
  if (!detail.empty()) report_.log(2, detail);
  if (!may_go_on || !keep_going_) return status;
  if (first_failure_ == 0) first_failure_ = status;
  return FHS_OK;
}

int Verify::open_index() {
  const char *kind = hashed() ? "hash" : "index";
  report_.status(format("Opening %s file...", kind));
  std::string name = index_name_of(names_, &block_);
  block_.idxfd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (block_.idxfd < 0) return hashed() ? FHS_OPENHASH : FHS_OPENINDEX;
  report_.status(format("Reading %s file header...", kind));
  return hashed() ? hash_check(&block_) : index_open(&block_);
}

// Checks that the index or hash file leads key `k` of the active record at
// `pos` (whose image is in `image`) to this record.
int Verify::check_entry(int k, uint32_t pos, char *image) {
  char text[KEYTEXT_MAX];
  if (index_keylen(&block_, k) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
  build_key_of(&block_, k, image, text);
  if (hashed()) {
    std::vector<char> probe(block_.reclen);
    HashFind found;
    int status = hash_find(&block_, text, probe.data(), &found);
    if (status != FHS_OK) return status;
    if (found.found && static_cast<uint32_t>(block_.recpos) == pos) return FHS_OK;
    return finding(FHS_READINDEX, true, "Error: No hash entry for this key. Solution: RECOVER.",
                   key_shown(&block_, 0, image));
  }
  uint32_t at = 0;
  int status = index_search(&block_, k, IDX_EXACT, text, &at);
  if (status != FHS_OK) return status;
  if (at == pos) return FHS_OK;
  return finding(FHS_READINDEX, true, "Error: Bad/No index entry for this key. Solution: RECOVER.",
                 format("DatPos=%ld  IdxPos=%ld  Key(%d)=%s", static_cast<long>(pos), static_cast<long>(at), k + 1,
                        key_shown(&block_, k, image).c_str()));
}

int Verify::record_pass(int k, int passes) {
  report_.status(block_.nkeys == 0 ? std::string("Random record verification in progress...")
                                   : format("Record/Key verification for key #%d in progress...", k + 1));
  const bool varlen = (block_.mode & FH_VARLEN) != 0;
  DataWalk walk(block_.datfd, block_.reclen, varlen, false);
  uint32_t count = 1;  // the header record
  for (;;) {
    if (report_.stopped()) return FM_STOPPED;
    uint32_t at = static_cast<uint32_t>(walk.position());
    bool locked = !network_ || lock_record(&block_, at);
    DataWalk::Result result = walk.next();
    if (network_ && locked) unlock_record(&block_, at);
    if (result == DataWalk::kEnd) break;
    if (result == DataWalk::kReadError) return FHS_READDATA;
    const char *stored = walk.bytes();
    if (result == DataWalk::kBadLength || stored[walk.length() - 1] != REC_END) {
      std::string detail =
          varlen ? format("DatPos=%ld  Record length=%d  This record=%d", static_cast<long>(walk.pos()), block_.reclen,
                          result == DataWalk::kBadLength ? walk.bad_length() : static_cast<int>(walk.length()))
                 : format("DatPos=%ld   Length=%d", static_cast<long>(walk.pos()), block_.reclen);
      return finding(FHS_READDATA, false, "Error: Data/FID record length mismatch. Solution: PACK or Edit.", detail);
    }
    count++;
    if (!locked) {
      int status = finding(FHS_RECLOCKED, true, "Error: Record is locked by another program.",
                           format("DatPos=%ld", static_cast<long>(walk.pos())));
      if (status != FHS_OK) return status;
    } else if (stored[0] == REC_ACTIVE) {
      record_image(&block_, stored, walk.length(), image_.data());
      if (block_.nkeys > 0) {
        report_.current(key_shown(&block_, k, image_.data()));
        int status = check_entry(k, walk.pos(), image_.data());
        if (status != FHS_OK) return status;
      }
    } else if (k == 0) {
      deleted_++;
    }
    report_.progress(walk.position(), walk.size(), k * 50 / passes, (k + 1) * 50 / passes);
  }
  if (k == 0 && count != header_count_) {
    return finding(FHS_READDATA, true, "Data records/data file header mismatch. Solution: PACK.",
                   format("Recs=%ld  HeaderRecs=%ld", static_cast<long>(count), static_cast<long>(header_count_)));
  }
  return FHS_OK;
}

int Verify::index_pass(int k) {
  report_.status(format("Key/Record verification for key #%d in progress...", k + 1));
  const int keylen = index_keylen(&block_, k);
  if (keylen >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
  const int64_t size = data_size(&block_);
  const uint32_t total = header_count_ > 0 ? header_count_ : 1;
  const int passes = block_.nkeys;
  uint32_t remaining = header_count_;
  uint32_t pos = 0;
  int status = index_search(&block_, k, IDX_FIRST, nullptr, &pos);
  while (status == FHS_OK && pos != 0) {
    if (report_.stopped()) return FM_STOPPED;
    // An index cannot hold more entries of a key than the file has records.
    if (remaining == 0) break;
    char entry[KEYTEXT_MAX];
    memcpy(entry, index_keytext(&block_), static_cast<size_t>(keylen));
    std::string own(entry, static_cast<size_t>(key_ownlen(&block_, k)));
    while (!own.empty() && own.back() == ' ') own.pop_back();
    bool locked = !network_ || lock_record(&block_, pos);
    uint32_t len = 0;
    bool readable = valid_record_pos(&block_, pos, size) && record_read(&block_, pos, image_.data(), &len) == FHS_OK;
    if (network_ && locked) unlock_record(&block_, pos);
    if (!locked) {
      status = finding(FHS_RECLOCKED, true, "Error: Record is locked by another program.",
                       format("DatPos=%ld", static_cast<long>(pos)));
    } else if (!readable || image_[0] != REC_ACTIVE) {
      status = finding(FHS_READDATA, true, "Error: Index entry is deleted in data file. Solution: RECOVER.",
                       format("Key(%d)=%s", k + 1, own.c_str()));
    } else {
      report_.current(own);
      char built[KEYTEXT_MAX];
      build_key_of(&block_, k, image_.data(), built);
      if (key_compare(&block_, k, entry, built) != 0) {
        status = finding(FHS_READINDEX, true, "Error: Index entry doesn't match data rec. Solution: RECOVER.",
                         "Error: Index entry doesn't match data record. Solution: RECOVER.",
                         format("Current(%d)=%s  Data=%s", k + 1, own.c_str(), key_shown(&block_, k, image_.data()).c_str()));
      }
    }
    if (status != FHS_OK) return status;
    remaining--;
    uint32_t done = header_count_ - remaining;
    report_.complete(50 + static_cast<int>((static_cast<uint64_t>(k) * 50 + uint64_t{done} * 50 / total) / passes));
    status = index_search(&block_, k, IDX_NEXT, nullptr, &pos);
  }
  if (status != FHS_OK) return status;
  if (!(names_.flags & FM_SKIPRECORDS) && remaining != deleted_ + 1)
    return finding(FHS_READINDEX, true, "Key entries/data file header mismatch. Solution: PACK.", "");
  return FHS_OK;
}

int Verify::run() {
  if (!network_) return attempt(false);
  quiet_ = true;
  int status = attempt(false);
  quiet_ = false;
  if (status == FHS_OK || status == FM_STOPPED) return status;
  close_files(&block_);
  block_ = fhrequest{};
  block_.datfd = -1;
  block_.idxfd = -1;
  header_count_ = 0;
  deleted_ = 0;
  first_failure_ = 0;
  return attempt(true);
}

int Verify::attempt(bool hold_header_lock) {
  report_.status("Loading FID file...");
  int status = load_description(&block_, names_);
  if (status != FHS_OK) return status;
  image_.assign(block_.reclen + 1u, ' ');
  report_.file_type(file_type_text(&block_));
  if ((status = open_data(report_, &block_, names_.data, false)) != FHS_OK) return status;
  if (hold_header_lock && (status = lock_header(&block_)) != FHS_OK) return status;
  status = passes(hold_header_lock);
  if (hold_header_lock) unlock_header(&block_);
  if (status != FHS_OK) return status;
  close_files(&block_);
  report_.complete(100);
  return summary();
}

int Verify::passes(bool header_locked) {
  int status = read_data_header(report_, &block_, network_ && !header_locked, &header_count_);
  if (status != FHS_OK) return status;
  if (block_.nkeys > 0 && (status = open_index()) != FHS_OK) return status;
  if (!(names_.flags & FM_SKIPRECORDS)) {
    int passes = (block_.nkeys == 0 || hashed()) ? 1 : block_.nkeys;
    for (int k = 0; k < passes; k++) {
      if ((status = record_pass(k, passes)) != FHS_OK) return status;
    }
  }
  if (block_.nkeys > 0 && !hashed() && !(names_.flags & FM_SKIPINDEX)) {
    for (int k = 0; k < block_.nkeys; k++) {
      if ((status = index_pass(k)) != FHS_OK) return status;
    }
  }
  return FHS_OK;
}

int Verify::summary() {
  if (names_.flags & FM_SKIPRECORDS) {
    report_.status("Done.");
  } else {
    report_.status(format("Done. %ld active data records, %ld deleted records.",
                          static_cast<long>(header_count_) - static_cast<long>(deleted_) - 1,
                          static_cast<long>(deleted_)));
  }
  report_.current("");
  if (first_failure_ != 0) return first_failure_;
  report_.show_message("VERIFY completed successfuly.");
  report_.log(1, "Successful.");
  return FHS_OK;
}

}  // namespace

int maint_verify(MaintReport &report, const MaintNames &names) { return Verify(report, names).run(); }

}  // namespace corvex
