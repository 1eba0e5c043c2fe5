#include "engine/maintenance/maintfiles.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "engine/data/records.h"
#include "engine/data/varlen_packing.h"
#include "engine/dispatch.h"
#include "engine/fid/companion_names.h"
#include "engine/fid/fid.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/ops/fileset.h"
#include "engine/sharing/locks.h"
#include "util/filelock.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr int kLockTries = 100;
constexpr std::chrono::milliseconds kLockWait{20};

std::string derived(const std::string &data, const char *ext) {
  std::vector<char> out(data.size() + strlen(ext) + 1);
  derive_name(data.c_str(), ext, out.data(), out.size());
  return out.data();
}

}  // namespace

bool put_block_name(char *field, const std::string &name) {
  if (name.empty() || name.size() >= FH_NAMESIZE) return false;
  memcpy(field, name.c_str(), name.size() + 1);
  return true;
}

int run_opcode(fhrequest *block, uint8_t opcode) {
  block->opcode = opcode;
  _filehandler(block);
  return block->status;
}

std::string fid_name_of(const MaintNames &names) {
  return names.fid.empty() ? derived(names.data, kFidExt) : names.fid;
}

std::string index_name_of(const MaintNames &names, const fhrequest *block) {
  if (!names.index.empty()) return names.index;
  return derived(names.data, (block->mode & FH_HASHED) ? kHashExt : kIndexExt);
}

int load_description(fhrequest *block, const MaintNames &names) {
  put_block_name(block->datname, names.data);
  if (!put_block_name(block->fidname, fid_name_of(names))) return FHS_OPENFID;
  return fid_load(block);
}

std::string file_type_text(const fhrequest *block) {
  std::string text;
  if (block->mode & FH_HASHED) {
    text = format("Hashed with %ld table entries.", static_cast<long>(block->hashsize));
  } else if (block->nkeys > 0) {
    text = format("Indexed on %d key%s.", block->nkeys, block->nkeys == 1 ? "" : "s");
  } else {
    text = "Random.";
  }
  if (block->mode & FH_VARLEN) text += " Variable length records.";
  return text;
}

int open_data(MaintReport &report, fhrequest *block, const std::string &name, bool exclusive, bool writing) {
  report.status("Opening data file...");
  block->datfd = open(name.c_str(), (writing ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (block->datfd < 0) return FHS_OPENDATA;
  if (exclusive && !share_acquire(block->datfd, true)) {
    close(block->datfd);
    block->datfd = -1;
    return FHS_OPENDATA;
  }
  return FHS_OK;
}

int read_data_header(MaintReport &report, fhrequest *block, bool network, uint32_t *count) {
  report.status("Reading data file header...");
  if (network) {
    int status = lock_header(block);
    if (status != FHS_OK) return status;
  }
  std::vector<char> header(block->reclen);
  ssize_t got = pread_full(block->datfd, header.data(), header.size(), 0);
  if (network) unlock_header(block);
  if (got <= 0) return FHS_READDATA;
  if (static_cast<size_t>(got) < header.size() || header.back() != REC_END) {
    report.message("Error: Data/FID record length mismatch.");
    return FHS_READDATA;
  }
  if (got < HDR_PREFIX || !hex_get(header.data() + 1, HDR_COUNT_DIGITS, count)) return FHS_READDATA;
  // Hashed files have fixed-length records whatever the header says.
  if (header[0] == REC_VARHDR && !(block->mode & FH_HASHED)) {
    block->mode |= FH_VARLEN;
  } else {
    block->mode &= static_cast<uint16_t>(~FH_VARLEN);
  }
  return FHS_OK;
}

void record_image(fhrequest *block, const char *stored, uint32_t len, char *image) {
  if (block->mode & FH_VARLEN) {
    unpack_record(block, stored, len, image);
  } else {
    memcpy(image, stored, block->reclen);
  }
}

std::string key_shown(fhrequest *block, int k, char *image) {
  char text[KEYTEXT_MAX];
  if (k >= block->nkeys || index_keylen(block, k) >= KEYTEXT_MAX) return std::string();
  build_key_of(block, k, image, text);
  std::string key(text, static_cast<size_t>(key_ownlen(block, k)));
  while (!key.empty() && key.back() == ' ') key.pop_back();
  return key;
}

int lock_header(fhrequest *block) {
  block->hdrtries = kLockTries;
  return hdr_lock(block);
}

void unlock_header(fhrequest *block) { hdr_unlock(block); }

bool lock_record(fhrequest *block, uint32_t pos) {
  for (int i = 0; i < kLockTries; i++) {
    if (dlock(block, pos) == 0) return true;
    std::this_thread::sleep_for(kLockWait);
  }
  return false;
}

void unlock_record(fhrequest *block, uint32_t pos) { udlock(block, pos); }

void close_files(fhrequest *block) {
  index_close(block);
  fileset_close_handles(block);
  fid_free(block);
}

}  // namespace corvex
