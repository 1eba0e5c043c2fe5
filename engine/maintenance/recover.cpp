// RECOVER: builds a new index from the data file under a temporary name (an
// entry of every key for every active record, every other record listed for
// reuse) and puts it in place of the old index once the walk is complete.
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/data/records.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/maintenance/actions.h"
#include "engine/maintenance/tempfiles.h"
#include "engine/maintenance/walk.h"

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
  int walk(uint32_t *deleted);

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

int Recover::walk(uint32_t *deleted) {
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
    int status = FHS_OK;
    if (walk.bytes()[0] == REC_ACTIVE) {
      record_image(&block_, walk.bytes(), walk.length(), image.data());
      report_.current(key_shown(&block_, 0, image.data()));
      for (int k = 0; k < block_.nkeys && status == FHS_OK; k++) {
        if (index_keylen(&block_, k) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
        build_key_of(&block_, k, image.data(), text);
        status = index_insert(&block_, k, text, walk.pos());
      }
    } else {
      ++*deleted;
      status = index_add_slot(&block_, walk.pos(), static_cast<uint16_t>(walk.length()));
    }
    if (status == FHS_OK && n % kFlushEvery == 0) status = index_flush_nodes(&block_);
    if (status != FHS_OK) return status;
    report_.progress(walk.position(), walk.size());
  }
  return FHS_OK;
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
  if ((status = open_data(report_, &block_, names_.data, true)) != FHS_OK) return status;
  uint32_t header_count = 0;
  if ((status = read_data_header(report_, &block_, false, &header_count)) != FHS_OK) return status;
  uint32_t deleted = 0;
  if ((status = walk(&deleted)) != FHS_OK) return status;

  report_.complete(100);
  // The new index is written out completely before it replaces the old one.
  status = index_close(&block_);
  if (status == FHS_OK && fsync(block_.idxfd) != 0) status = FHS_WRITEINDEX;
  if (status != FHS_OK) return status;
  report_.status(temp_dir_set() ? "Copying temporary file." : "Renaming temporary file.");
  if (!replace_file(temp_, index_name_of(names_, &block_), kTempIndexExt, names_.data)) return FHS_WRITEINDEX;
  done_ = true;
  report_.status(format("Done. %ld active data records, %ld deleted records.",
                        static_cast<long>(header_count) - static_cast<long>(deleted) - 1, static_cast<long>(deleted)));
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
