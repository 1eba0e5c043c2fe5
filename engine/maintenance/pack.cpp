// PACK: copies every active record of the old data file into a new file set
// made under temporary names (which builds the new index or hash file as it
// goes), leaves out deleted and damaged records, and puts the new files in
// place of the old ones once the walk is complete. With FM_BYKEY the walk
// only notes the records, which are then copied in the order of key 1.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/data/records.h"
#include "engine/fid/companion_names.h"
#include "engine/index/index.h"
#include "engine/maintenance/actions.h"
#include "engine/maintenance/filemaint.h"
#include "engine/maintenance/key_order.h"
#include "engine/maintenance/tempfiles.h"
#include "engine/maintenance/walk.h"
#include "util/new_file.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr int kSecureEvery = 500;
constexpr char kStripExt[] = ".nas";

// Cuts a record that lacks its line feed at the end after its last line
// feed, fills the rest with spaces and ends it with a line feed. Returns the
// bytes kept, 0 when it holds no other line feed (then all but its last
// byte are kept).
uint32_t cut_record(char *stored, uint32_t len) {
  const char *end = static_cast<const char *>(memrchr(stored, REC_END, len - 1));
  uint32_t keep = end ? static_cast<uint32_t>(end - stored) + 1 : len - 1;
  memset(stored + keep, ' ', len - keep);
  stored[len - 1] = REC_END;
  return end ? keep : 0;
}

class Pack {
 public:
  Pack(MaintReport &report, const MaintNames &names) : report_(report), names_(names) {
    old_.datfd = -1;
    old_.idxfd = -1;
  }
  ~Pack();

  int run();

 private:
  int make_new_set();
  int walk(uint32_t *active, uint32_t *removed);
  int mend(DataWalk &walk, std::vector<char> &stored);
  int strip(const char *image, bool *stripped);
  int copy_in_key_order();
  int replace();

  MaintReport &report_;
  const MaintNames &names_;
  fhrequest old_ = {};    // the old data file and its description
  fhrequest fresh_ = {};  // the new file set, open through the engine
  bool fresh_open_ = false;
  std::vector<char> recbuf_;
  std::string temp_data_;
  std::string temp_index_;
  std::unique_ptr<KeyOrder> order_;  // with FM_BYKEY: the records to copy
  FILE *strip_ = nullptr;
  bool asked_ = false;
  bool done_ = false;
};

Pack::~Pack() {
  if (strip_) fclose(strip_);
  if (fresh_open_) run_opcode(&fresh_, FHOP_CLOSE);
  close_files(&old_);
  if (!done_) {
    if (!temp_data_.empty()) unlink(temp_data_.c_str());
    if (!temp_index_.empty()) unlink(temp_index_.c_str());
  }
}

int Pack::make_new_set() {
  report_.status("Creating temporary files...");
  if (!make_temp(names_.data, kTempDataExt, &temp_data_)) return FHS_CREATEDATA;
  if (!make_temp(names_.index.empty() ? names_.data : names_.index, kTempIndexExt, &temp_index_))
    return FHS_CREATEINDEX;
  if (!put_block_name(fresh_.datname, temp_data_) || !put_block_name(fresh_.idxname, temp_index_)) return FHS_CREATEDATA;
  if (!put_block_name(fresh_.fidname, fid_name_of(names_))) return FHS_OPENFID;
  fresh_.mode = FH_EXCLUSIVE;
  int status = run_opcode(&fresh_, FHOP_MAKE);
  if (status != FHS_OK) return status;
  fresh_open_ = true;
  // Writes leave the block where it is: nothing is read back through it.
  fresh_.mode |= FH_STAY;
  recbuf_.assign(fresh_.reclen + 8u, ' ');
  fresh_.recbuf = recbuf_.data();
  return FHS_OK;
}

// A record without its line feed at the end: with the user's leave (asked
// once a run) it is cut after its last line feed, filled with spaces and
// ended with a line feed, and the walk goes on right after the cut.
int Pack::mend(DataWalk &walk, std::vector<char> &stored) {
  uint32_t len = walk.length();
  std::vector<char> image(old_.reclen + 1u);
  record_image(&old_, stored.data(), len, image.data());
  report_.current(key_shown(&old_, 0, image.data()));
  if (!asked_) {
    ProgressQuestion question;
    question.caption = "FileMaint: Error";
    question.text = "Data/FID record length mismatch. Do you want to fix it?";
    question.buttons = ProgressQuestion::Buttons::kOkCancel;
    if (!report_.window().ask(question)) return FHS_READDATA;
    asked_ = true;
  }
  uint32_t keep = cut_record(stored.data(), len);
  if (keep != 0) walk.continue_at(walk.pos() + keep);
  return FHS_OK;
}

// With FM_STRIP: an active record holding a byte outside 32..126 in an item
// that is not of type 'I' or 'S' goes to the strip file instead.
int Pack::strip(const char *image, bool *stripped) {
  *stripped = false;
  if (!(names_.flags & FM_STRIP)) return FHS_OK;
  bool printable = true;
  for (uint16_t i = 0; i < old_.nitems && printable; i++) {
    const fhitemdef &item = old_.itemdefs[i];
    if (item.type == 'I' || item.type == 'S') continue;
    size_t from = item.offset;
    size_t upto = from + size_t{item.length} * item.count;
    if (upto > old_.reclen - 1u) upto = old_.reclen - 1u;
    for (size_t at = from; at < upto; at++) {
      unsigned char c = static_cast<unsigned char>(image[at]);
      if (c < 32 || c > 126) {
        printable = false;
        break;
      }
    }
  }
  if (printable) return FHS_OK;
  if (!strip_) {
    std::vector<char> name(names_.data.size() + sizeof kStripExt);
    derive_name(names_.data.c_str(), kStripExt, name.data(), name.size());
    strip_ = open_for_append(name.data());
    if (!strip_) {
      report_.message("Error: Unable to create strip file.");
      return FHS_CREATEDATA;
    }
  }
  if (fwrite(image, 1, old_.reclen, strip_) != old_.reclen) return FHS_WRITEDATA;
  *stripped = true;
  return FHS_OK;
}

int Pack::walk(uint32_t *active, uint32_t *removed) {
  report_.status("File PACK and RECOVER in progress...");
  DataWalk walk(old_.datfd, old_.reclen, (old_.mode & FH_VARLEN) != 0, true);
  std::vector<char> stored(old_.reclen + 1u);
  const int upto = order_ ? 50 : 100;
  for (uint32_t n = 1;; n++) {
    if (report_.stopped()) return FM_STOPPED;
    DataWalk::Result result = walk.next();
    if (result == DataWalk::kEnd) break;
    if (result != DataWalk::kRecord) return FHS_READDATA;
    uint32_t len = walk.length();
    memcpy(stored.data(), walk.bytes(), len);
    int status = FHS_OK;
    if (stored[len - 1] != REC_END && (status = mend(walk, stored)) != FHS_OK) return status;
    if (stored[0] == REC_ACTIVE) {
      ++*active;
      record_image(&old_, stored.data(), len, fresh_.recbuf);
      report_.current(key_shown(&old_, 0, fresh_.recbuf));
      bool stripped = false;
      status = strip(fresh_.recbuf, &stripped);
      if (status == FHS_OK && !stripped) {
        if (!order_) {
          status = run_opcode(&fresh_, FHOP_WRITE);
        } else if (!order_->note(fresh_.recbuf, walk.pos(), len)) {
          status = FHS_NOMEMORY;
        }
      }
    } else {
      ++*removed;
    }
    // In key order nothing is written before the walk is over.
    if (status == FHS_OK && !order_ && n % kSecureEvery == 0) status = run_opcode(&fresh_, FHOP_SECURE);
    if (status != FHS_OK) return status;
    report_.progress(walk.position(), walk.size(), 0, upto);
  }
  return FHS_OK;
}

// The records the walk noted, read again from the old data file in the
// order of key 1 and written to the new set; the cut of a record without
// its line feed is made again as the walk made it. The new set is not
// secured on the way: under its temporary names nothing of it counts
// until replace() has made it durable, and a sync every few hundred
// records would cost more than the copy.
int Pack::copy_in_key_order() {
  report_.status("Writing the records in key order...");
  order_->sort();
  std::vector<char> stored(old_.reclen + 1u);
  for (size_t i = 0; i < order_->size(); i++) {
    if (report_.stopped()) return FM_STOPPED;
    KeyOrder::Place at = order_->place(i);
    if (at.len == 0 || at.len > old_.reclen ||
        pread_full(old_.datfd, stored.data(), at.len, at.pos) != static_cast<ssize_t>(at.len)) {
      return FHS_READDATA;
    }
    if (stored[at.len - 1] != REC_END) cut_record(stored.data(), at.len);
    record_image(&old_, stored.data(), at.len, fresh_.recbuf);
    report_.current(key_shown(&old_, 0, fresh_.recbuf));
    int status = run_opcode(&fresh_, FHOP_WRITE);
    if (status != FHS_OK) return status;
    report_.progress(static_cast<int64_t>(i + 1), static_cast<int64_t>(order_->size()), 50, 100);
  }
  return FHS_OK;
}

// Closes the new set, makes it durable and puts it in place: the data file
// first, with the old index marked pending before it, so that a crash
// before the new index follows leaves an index the next open builds again.
int Pack::replace() {
  if (strip_) {
    bool ok = fflush(strip_) == 0 && fsync(fileno(strip_)) == 0;
    ok = fclose(strip_) == 0 && ok;
    strip_ = nullptr;
    if (!ok) return FHS_WRITEDATA;
  }
  // Closing frees the descriptions: what the replacement needs of them is
  // taken first.
  const bool keyed = fresh_.nkeys > 0;
  const std::string index = index_name_of(names_, &old_);
  close_files(&old_);
  fresh_open_ = false;
  int status = run_opcode(&fresh_, FHOP_CLOSE);
  if (status != FHS_OK) return status;
  if (!sync_file(temp_data_)) return FHS_WRITEDATA;
  if (keyed && !sync_file(temp_index_)) return FHS_WRITEINDEX;
  report_.status(temp_dir_set() ? "Copying temporary files." : "Renaming temporary files.");
  if (keyed && !(fresh_.mode & FH_HASHED) && (status = index_file_mark_pending(index.c_str())) != FHS_OK) {
    return status;
  }
  if (!replace_file(temp_data_, names_.data, kTempDataExt, names_.data)) return FHS_WRITEDATA;
  temp_data_.clear();
  if (keyed && !replace_file(temp_index_, index, kTempIndexExt, names_.data)) return FHS_WRITEINDEX;
  temp_index_.clear();
  return FHS_OK;
}

int Pack::run() {
  int status = make_new_set();
  if (status != FHS_OK) return status;
  if (fresh_.nkeys == 0) {
    report_.message("Error: No need to Pack RANDOM files.");
    return FHS_OK;
  }
  if ((status = load_description(&old_, names_)) != FHS_OK) return status;
  report_.file_type(file_type_text(&fresh_));
  if ((status = open_data(report_, &old_, names_.data, true)) != FHS_OK) return status;
  uint32_t header_count = 0;
  if ((status = read_data_header(report_, &old_, false, &header_count)) != FHS_OK) return status;
  uint32_t active = 0;
  uint32_t removed = 0;
  if (names_.flags & FM_BYKEY) order_ = std::make_unique<KeyOrder>(&fresh_, 0);
  if ((status = walk(&active, &removed)) != FHS_OK) return status;
  if (order_ && (status = copy_in_key_order()) != FHS_OK) return status;
  report_.complete(100);
  if ((status = replace()) != FHS_OK) return status;
  done_ = true;
  report_.status(format("Done. %ld active data records. %ld deleted records removed.", static_cast<long>(active),
                        static_cast<long>(removed)));
  report_.current("");
  report_.show_message("PACK completed successfuly.");
  report_.log(1, "Successful.");
  return FHS_OK;
}

}  // namespace

int maint_pack(MaintReport &report, const MaintNames &names) { return Pack(report, names).run(); }

}  // namespace corvex
