#include "engine/ops/heal.h"

#include <fcntl.h>
#include <stdio.h>

#include <memory>
#include <new>

#include "engine/core/engine.h"
#include "engine/core/perblock.h"
#include "engine/data/datacache.h"
#include "engine/data/records.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/ops/hashops.h"
#include "util/filelock.h"

namespace corvex {

namespace {

bool varlen(const fhrequest *block) { return (block->mode & FH_VARLEN) != 0; }

// True when the block reaches its records by key: an index, or a hash file.
bool keys_attached(const fhrequest *block) {
  return (block->mode & FH_HASHED) ? block->idxfd >= 0 : block->idxctx != nullptr;
}

bool writable(const fhrequest *block) {
  if (block->mode & FH_READONLY) return false;
  int flags = fcntl(block->datfd, F_GETFL);
  return flags >= 0 && (flags & O_ACCMODE) == O_RDWR;
}

// A stored record read for mending: its unpacked image and stored length.
struct Stored {
  std::unique_ptr<char[]> image;
  uint32_t len = 0;
  bool active() const { return image[0] == REC_ACTIVE; }
};

int read_stored(fhrequest *block, uint32_t pos, Stored *rec) {
  rec->image.reset(new (std::nothrow) char[block->reclen]);
  if (!rec->image) return FHS_NOMEMORY;
  return record_read(block, pos, rec->image.get(), &rec->len);
}

// Takes an older copy of a record out: its entries (those still there),
// then its status byte and its slot, as a delete would.
int retire(fhrequest *block, uint32_t pos) {
  Stored old;
  int status = read_stored(block, pos, &old);
  if (status != FHS_OK) return status;
  char text[KEYTEXT_MAX];
  for (int k = block->nkeys - 1; k >= 0; k--) {
    build_key_of(block, k, old.image.get(), text);
    status = index_remove(block, k, text, pos);
    if (status != FHS_OK && status != FHS_INDEX) return status;
  }
  if (old.active()) {
    const char mark = REC_DELETED;
    if ((status = data_write(block, pos, &mark, 1)) != FHS_OK) return status;
  }
  return index_add_slot(block, pos, static_cast<uint16_t>(old.len));
}

}  // namespace

int heal_record(fhrequest *block, uint32_t pos, char *image) {
  char text[KEYTEXT_MAX];
  for (int k = 0; k < block->nkeys; k++) {
    if (index_keylen(block, k) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
    build_key_of(block, k, image, text);
    uint32_t found = 0;
    int status = index_search(block, k, IDX_EXACT, text, &found);
    if (status != FHS_OK) return status;
    if (found == pos) continue;
    // An entry of key 0 that leads elsewhere belongs to another copy of
    // the record: the one later in the file is the newer and stays.
    if (found != 0 && k == 0 && found > pos) return retire(block, pos);
    // An entry of the same text for an older copy goes with that copy.
    if (found != 0) {
      status = k == 0 ? retire(block, found) : index_remove(block, k, text, found);
      if (status != FHS_OK) return status;
    }
    if ((status = index_insert(block, k, text, pos)) != FHS_OK) return status;
  }
  return FHS_OK;
}

namespace {

// Visits the records from `from` up to `end` with `mend`.
template <typename Mend>
int each_record(fhrequest *block, uint32_t from, int64_t end, Mend mend) {
  Stored rec;
  for (int64_t pos = from; pos < end;) {
    int status = read_stored(block, static_cast<uint32_t>(pos), &rec);
    if (status == FHS_OK) status = mend(static_cast<uint32_t>(pos), rec);
    if (status != FHS_OK) return status;
    pos += varlen(block) ? rec.len : block->reclen;
  }
  return FHS_OK;
}

int heal_records(fhrequest *block, uint32_t from, int64_t end) {
  return each_record(block, from, end, [block](uint32_t pos, Stored &rec) -> int {
    if (!rec.active()) return FHS_OK;
    if (block->mode & FH_HASHED) return hash_heal_record(block, pos, rec.image.get());
    return heal_record(block, pos, rec.image.get());
  });
}

// Builds the index again from every record of the data file, the newer
// copy of a record winning over an older one; the block is treated as
// unshared meanwhile, so that the whole build reaches the file at one
// checkpoint and a kill during it leaves the index pending again.
int rebuild(fhrequest *block, int64_t end) {
  uint16_t mode = block->mode;
  block->mode |= FH_EXCLUSIVE;
  int status = index_reset(block);
  if (status == FHS_OK) {
    status = each_record(block, block->reclen, end, [block](uint32_t pos, Stored &rec) -> int {
      if (!rec.active()) return index_add_slot(block, pos, static_cast<uint16_t>(rec.len));
      return heal_record(block, pos, rec.image.get());
    });
  }
  if (status == FHS_OK) status = index_checkpoint(block);
  block->mode = mode;
  // Pages read through while the block was unshared are not kept.
  datacache_release(block);
  return status;
}

// Builds the index again, saying so on the terminal.
int rebuild_and_say(fhrequest *block, int64_t end) {
  int status = rebuild(block, end);
  if (status == FHS_OK) {
    fprintf(stderr,
            "corvex: %s: the index was built again from the data file (a program using it in the single-user "
            "mode ended without closing it)\n",
            block->datname);
  }
  return status;
}

// Mends the file set; the caller has it to itself, or holds the header
// lock of a shared mode with no pending index.
int mend(fhrequest *block, const DataTail &tail, bool pending) {
  int status = FHS_OK;
  if (tail.torn() && (status = data_cut(block, tail.end)) != FHS_OK) return status;
  if (pending) {
    status = rebuild_and_say(block, tail.end);
  } else if (tail.beyond_at != 0 && keys_attached(block)) {
    status = heal_records(block, tail.beyond_at, tail.end);
  }
  if (status == FHS_OK && block->idxctx && index_unfinished(block)) status = index_settle(block);
  if (status == FHS_OK && tail.counted != block->nrecs) status = header_write(block);
  return status;
}

}  // namespace

namespace {

// The newer copies of moves that failed half way, per block.
PerBlock<uint32_t> &noted_moves() {
  static PerBlock<uint32_t> moves;
  return moves;
}

}  // namespace

void heal_later(fhrequest *block, uint32_t pos) {
  if (uint32_t *noted = noted_moves().get(block)) {
    *noted = pos;
  } else {
    index_mark_pending(block);
  }
}

int heal_noted(fhrequest *block) {
  uint32_t *noted = noted_moves().find(block);
  if (!noted) return FHS_OK;
  Stored rec;
  int status = read_stored(block, *noted, &rec);
  if (status == FHS_OK && rec.active()) status = heal_record(block, *noted, rec.image.get());
  if (status == FHS_OK) noted_moves().erase(block);
  return status;
}

void heal_close(fhrequest *block) {
  if (heal_noted(block) != FHS_OK) {
    index_mark_pending(block);
    noted_moves().erase(block);
  }
}

int heal_open(fhrequest *block, const DataTail &tail, bool *unfinished) {
  bool pending = block->idxctx && index_needs_rebuild(block);
  bool needed = pending || tail.unfinished() || (block->idxctx && index_unfinished(block));
  if (!needed) return FHS_OK;
  if (!writable(block)) {
    *unfinished = true;
    return FHS_OK;
  }
  // Other single-user holders keep what they read in memory, and a pending
  // index is built from nothing: both need the file to themselves. Others
  // in a shared mode follow the header lock, which the caller holds.
  // An exclusive open of a shared mode holds the file alone already.
  bool denies_all = engine().netmode != 0 && (block->mode & FH_EXCLUSIVE);
  bool taken = false;
  if ((pending || !block_is_shared(block)) && !denies_all) {
    taken = share_try_alone(block->datfd);
    if (!taken) {
      *unfinished = true;
      return FHS_OK;
    }
  }
  int status = mend(block, tail, pending);
  if (taken) share_back(block->datfd);
  if (tail.damaged) *unfinished = true;
  return status;
}

}  // namespace corvex
