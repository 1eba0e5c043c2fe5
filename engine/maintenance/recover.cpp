// RECOVER: builds a new index from the data file under a temporary name (an
// entry of every key for every active record, every other record listed for
// reuse) and puts it in place of the old index once the walk is complete.
// Two active copies of one record (a move that a kill cut short) keep the
// later one: the earlier is listed for reuse, and marked deleted in the data
// file once the new index is in place. The data header then gets the count
// of the records on file.
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/maintenance/actions.h"
#include "engine/maintenance/tempfiles.h"
#include "engine/maintenance/walk.h"
#include "util/fileio.h"

namespace corvex {

namespace {

constexpr int kFlushEvery = 500;

class Recover {
 public:
  Recover(MaintReport &report, const MaintNames &names) : report_(report), names_(names) {
    block_.datfd = -1;
    block_.idxfd = -1;
  }
  ~Recover() {
    close_files(&block_);
    if (!temp_.empty() && !done_) unlink(temp_.c_str());
  }

  // 1 when the file is hashed and must be packed instead.
  int run(bool *hashed);

 private:
  int make_temp_index();
  int walk();
  int drop_older_copy(uint32_t older);
  int mend_data_file(uint32_t header_count);

  // What the walk found.
  uint32_t records_ = 0;             // records on file, the header not counted
  uint32_t deleted_ = 0;             // records marked deleted
  std::vector<uint32_t> dropped_;    // earlier active copies of a record

  MaintReport &report_;
  const MaintNames &names_;
  fhrequest block_ = {};
  std::string temp_;
  bool done_ = false;
};

int Recover::make_temp_index() {
  report_.file_type(file_type_text(&block_));
  report_.status("Creating temporary file...");
  if (!make_temp(index_name_of(names_, &block_), kTempIndexExt, &temp_)) return FHS_CREATEINDEX;
  memcpy(block_.idxname, temp_.c_str(), temp_.size() + 1);
  int status = index_make(&block_);
  if (status != FHS_OK) {
    printf("\nKIP: Error creating: (%s) (%s)\n", index_name_of(names_, &block_).c_str(), temp_.c_str());
    fflush(stdout);
    return status;
  }
  block_.idxfd = open(temp_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (block_.idxfd < 0) return FHS_OPENDATA;
  return index_open(&block_);
}

// Takes the earlier copy at `older` out of the new index and lists it.
int Recover::drop_older_copy(uint32_t older) {
  std::vector<char> image(block_.reclen);
  uint32_t len;
  int status = record_read(&block_, older, image.data(), &len);
  char text[KEYTEXT_MAX];
  for (int k = 0; k < block_.nkeys && status == FHS_OK; k++) {
    build_key_of(&block_, k, image.data(), text);
    status = index_remove(&block_, k, text, older);
  }
  if (status == FHS_OK) status = index_add_slot(&block_, older, static_cast<uint16_t>(len));
  if (status == FHS_OK) dropped_.push_back(older);
  return status;
}

int Recover::walk() {
  report_.status("File RECOVER in progress...");
  DataWalk walk(block_.datfd, block_.reclen, (block_.mode & FH_VARLEN) != 0, false);
  std::vector<char> image(block_.reclen + 1u);
  char text[KEYTEXT_MAX];
  for (uint32_t n = 1;; n++) {
    if (report_.stopped()) return FM_STOPPED;
    DataWalk::Result result = walk.next();
    if (result == DataWalk::kEnd) break;
    if (result == DataWalk::kReadError) return FHS_READDATA;
    if (result == DataWalk::kBadLength || walk.bytes()[walk.length() - 1] != REC_END) {
      report_.message("Error: Data/FID record length mismatch. Solution: PACK or Edit.");
      return FHS_READDATA;
    }
    records_++;
    int status = FHS_OK;
    if (walk.bytes()[0] == REC_ACTIVE) {
      record_image(&block_, walk.bytes(), walk.length(), image.data());
      report_.current(key_shown(&block_, 0, image.data()));
      if (index_keylen(&block_, 0) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
      build_key_of(&block_, 0, image.data(), text);
      uint32_t older = 0;
      status = index_search(&block_, 0, IDX_EXACT, text, &older);
      if (status == FHS_OK && older != 0) status = drop_older_copy(older);
      for (int k = 0; k < block_.nkeys && status == FHS_OK; k++) {
        if (index_keylen(&block_, k) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
        build_key_of(&block_, k, image.data(), text);
        status = index_insert(&block_, k, text, walk.pos());
      }
    } else {
      deleted_++;
      status = index_add_slot(&block_, walk.pos(), static_cast<uint16_t>(walk.length()));
    }
    if (status == FHS_OK && n % kFlushEvery == 0) status = index_flush_nodes(&block_);
    if (status != FHS_OK) return status;
    report_.progress(walk.position(), walk.size());
  }
  return FHS_OK;
}

// Marks the dropped copies deleted and gives the header the count of the
// records on file (its thread heads stay as they are).
int Recover::mend_data_file(uint32_t header_count) {
  const char mark = REC_DELETED;
  for (uint32_t pos : dropped_) {
    if (data_write(&block_, pos, &mark, 1) != FHS_OK) return FHS_WRITEDATA;
  }
  if (header_count != records_ + 1) {
    char digits[HDR_COUNT_DIGITS];
    hex_put(records_ + 1, HDR_COUNT_DIGITS, digits);
    if (data_write(&block_, 1, digits, sizeof digits) != FHS_OK) return FHS_WRITEDATA;
  }
  bool changed = !dropped_.empty() || header_count != records_ + 1;
  return changed && io_datasync(block_.datfd) != 0 ? FHS_WRITEDATA : FHS_OK;
}

int Recover::run(bool *hashed) {
  report_.status("Loading FID file...");
  int status = load_description(&block_, names_);
  if (status != FHS_OK) return status;
  if (block_.mode & FH_HASHED) {
    *hashed = true;
    return FHS_OK;
  }
  block_.mode |= FH_EXCLUSIVE;
  if (block_.nkeys == 0) {
    report_.message("Error: No need to Recover RANDOM files.");
    return FHS_OK;
  }
  if ((status = make_temp_index()) != FHS_OK) return status;
  if ((status = open_data(report_, &block_, names_.data, true, true)) != FHS_OK) return status;
  uint32_t header_count = 0;
  if ((status = read_data_header(report_, &block_, false, &header_count)) != FHS_OK) return status;
  if ((status = walk()) != FHS_OK) return status;

  report_.complete(100);
  // The new index is written out completely before it replaces the old one.
  status = index_close(&block_);
  if (status == FHS_OK && io_sync(block_.idxfd) != 0) status = FHS_WRITEINDEX;
  if (status != FHS_OK) return status;
  report_.status(temp_dir_set() ? "Copying temporary file." : "Renaming temporary file.");
  if (!replace_file(temp_, index_name_of(names_, &block_), kTempIndexExt, names_.data)) return FHS_WRITEINDEX;
  done_ = true;
  // The old index led to the dropped copies too; the new one no longer does.
  if ((status = mend_data_file(header_count)) != FHS_OK) {
    report_.message("Error: the data file's header or a duplicate record could not be written.");
    return status;
  }
  uint32_t deleted = deleted_ + static_cast<uint32_t>(dropped_.size());
  std::string done = format("Done. %ld active data records, %ld deleted records.",
                            static_cast<long>(records_ - deleted), static_cast<long>(deleted));
  report_.status(done);
  report_.log(1, done);
  report_.current("");
  report_.show_message("RECOVER completed successfuly.");
  report_.log(1, "Successful.");
  return FHS_OK;
}

}  // namespace

int maint_recover(MaintReport &report, const MaintNames &names) {
  bool hashed = false;
  int status = Recover(report, names).run(&hashed);
  return hashed ? maint_pack(report, names) : status;
}

}  // namespace corvex
