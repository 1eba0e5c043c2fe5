#include "engine/ops/ops.h"

#include <string.h>
#include <unistd.h>

#include <memory>
#include <new>

#include "engine/core/engine.h"
#include "engine/core/openlist.h"
#include "engine/data/datafile.h"
#include "engine/data/record_threads.h"
#include "engine/data/records.h"
#include "engine/data/varlen_packing.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"
#include "engine/ops/hashops.h"
#include "engine/ops/steps.h"
#include "engine/sharing/locks.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

bool varlen(const fhrequest *block) { return (block->mode & FH_VARLEN) != 0; }

int write_stream(fhrequest *block) {
  if (block->recpos < 0) return FHS_WRITEDATA;
  int status = data_write(block, static_cast<uint32_t>(block->recpos), block->recbuf, block->reclen);
  if (status == FHS_OK) block->recpos += block->reclen;
  return status;
}

// Inserts the entries of keys `from`..`upto` - 1 of `recbuf` for the record
// at `recpos`. When one fails, the entries inserted before it are taken out
// again, so that no key is left for a record that is not written.
int insert_keys(fhrequest *block, int from, int upto) {
  char text[KEYTEXT_MAX];
  uint32_t pos = static_cast<uint32_t>(block->recpos);
  for (int k = from; k < upto; k++) {
    if (index_keylen(block, k) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
    build_key_of(block, k, block->recbuf, text);
    int status = index_insert(block, k, text, pos);
    if (status == FHS_OK) continue;
    for (int j = from; j < k; j++) {
      build_key_of(block, j, block->recbuf, text);
      index_remove(block, j, text, pos);
    }
    return status;
  }
  return FHS_OK;
}

// What change_keys does with the entries of a rewritten record's keys.
enum KeyChange {
  REMOVE_OLD,   // take out the entries of the old texts
  INSERT_NEW,   // put in the entries of the new texts
  RESTORE_OLD   // put the old entries back
};

// Applies `what` to the keys 1.. whose text differs between the stored
// record `old` and `recbuf`. Returns 0 or the first failure's status.
int change_keys(fhrequest *block, char *old, KeyChange what) {
  char was[KEYTEXT_MAX];
  char now[KEYTEXT_MAX];
  uint32_t pos = static_cast<uint32_t>(block->recpos);
  for (int k = 1; k < block->nkeys; k++) {
    if (index_keylen(block, k) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
    int n = build_key_of(block, k, old, was);
    build_key_of(block, k, block->recbuf, now);
    if (n <= 0 || memcmp(was, now, static_cast<size_t>(n)) == 0) continue;
    int status = what == REMOVE_OLD  ? index_remove(block, k, was, pos)
                 : what == INSERT_NEW ? index_insert(block, k, now, pos)
                                      : index_insert(block, k, was, pos);
    if (status != FHS_OK) return status;
  }
  return FHS_OK;
}

// A deleted slot taken from the list is used only when it still holds a
// deleted record of the wanted length; anything else is left alone.
bool slot_usable(fhrequest *block, uint32_t pos, uint32_t len) {
  int64_t size = data_size(block);
  if (!valid_record_pos(block, pos, size) || pos + static_cast<int64_t>(len) > size) return false;
  char head[VAR_DATA_AT];
  if (pread_full(block->datfd, head, sizeof head, pos) != static_cast<ssize_t>(sizeof head)) return false;
  if (head[0] != REC_DELETED) return false;
  return !varlen(block) || stored_length(head, sizeof head, block->reclen) == len;
}

// Where a new record went: a reused slot, or an append that grew the file
// from `end`.
struct Placement {
  bool appended = false;
  int64_t end = 0;
};

// Chooses where a new record of `len` bytes goes: a deleted slot of that
// length, or the end of the file (which adds a slot).
int place_new(fhrequest *block, uint32_t len, bool append, Placement *at) {
  if (block->idxctx && !append) {
    uint32_t slot = 0;
    int status = index_take_slot(block, static_cast<uint16_t>(len), &slot);
    if (status != FHS_OK) return status;
    if (slot != 0 && slot_usable(block, slot, len)) {
      block->recpos = static_cast<int32_t>(slot);
      return FHS_OK;
    }
  }
  int64_t end;
  if (varlen(block)) {
    end = data_size(block);
    if (end < 0) return FHS_READDATA;
  } else {
    end = static_cast<int64_t>(block->nrecs) * block->reclen;
  }
  if (end + len > INT32_MAX || block->nrecs == UINT32_MAX) return FHS_WRITEDATA;
  block->recpos = static_cast<int32_t>(end);
  block->nrecs++;
  at->appended = true;
  at->end = end;
  return FHS_OK;
}

// Takes back an append whose record could not be written: the slot and
// whatever part of the record reached the file.
void unplace(fhrequest *block, const Placement &at) {
  if (!at.appended) return;
  block->nrecs--;
  // A fragment that cannot be cut off stays after the last whole record:
  // the next open reports it and appends write over it.
  if (data_size(block) > at.end) {
    int cut = ftruncate(block->datfd, at.end);
    (void)cut;
  }
}

// Marks the record written at `recpos` deleted: its keys could not all be
// inserted, so it stays an orphan that no key leads to.
void orphan(fhrequest *block) {
  const char mark = REC_DELETED;
  data_write(block, static_cast<uint32_t>(block->recpos), &mark, 1);
}

// What a write found at the record's place.
struct Target {
  bool rewrite = false;                // the stored record is replaced in place
  uint32_t slot = 0;                   // its stored length (variable length)
  std::unique_ptr<char[]> old;         // its stored image
};

// Writes the record and the links of its threads. Stores the length written
// in `len`.
int put_record(fhrequest *block, Target &t, const ThreadPlan &plan, uint32_t *len) {
  block->state |= ST_HDRDIRTY;
  uint32_t pos = static_cast<uint32_t>(block->recpos);
  int status = thread_apply(block, pos, t.rewrite ? t.old.get() : nullptr, block->recbuf, plan);
  if (status != FHS_OK) return status;
  return record_store(block, pos, block->recbuf, t.rewrite && varlen(block) ? t.slot : 0, len);
}

// Completes a write whose record and keys are on file: thread heads, the
// header of a shared block (last, so that a crash before it leaves more
// records than the header counts), the current key and the advance.
int finish_write(fhrequest *block, const ThreadPlan &plan, bool fresh, uint32_t len) {
  set_positioned(block, true);
  thread_join(block, static_cast<uint32_t>(block->recpos), plan);
  if (block_is_shared(block) && (fresh || block->nthreads > 0)) {
    int status = header_write(block);
    if (status != FHS_OK) return status;
  }
  build_current_key(block);
  return (block->mode & FH_STAY) ? FHS_OK : advance(block, len);
}

// Writes a new record where place_new puts it, then its keys: the data
// before the keys, so that a crash never leaves a key that leads to a slot
// without its record. A record that moves out of the slot at `moved` (not
// 0) is appended and its old copy deleted only once the new one is on file,
// so that a crash leaves at worst both copies, and the open that follows
// finds the count behind the file. A failure takes back what was done.
int write_new(fhrequest *block, Target &t, const ThreadPlan &plan, uint32_t newlen, uint32_t moved) {
  Placement at;
  int status = place_new(block, newlen, moved != 0, &at);
  if (status != FHS_OK) return status;
  uint32_t len;
  status = put_record(block, t, plan, &len);
  if (status != FHS_OK) {
    unplace(block, at);
    return status;
  }
  if (moved != 0) status = delete_stored(block, moved, t.old.get(), t.slot);
  if (status == FHS_OK) status = insert_keys(block, 0, block->nkeys);
  if (status != FHS_OK) {
    orphan(block);
    return status;
  }
  return finish_write(block, plan, true, len);
}

// Reads the stored record at `pos` as the write's target.
int read_target(fhrequest *block, uint32_t pos, Target *t) {
  if (!record_is_free(block, pos)) return FHS_RECLOCKED;
  t->old.reset(new (std::nothrow) char[block->reclen]);
  if (!t->old) return FHS_NOMEMORY;
  return record_read(block, pos, t->old.get(), &t->slot);
}

int write_keyed(fhrequest *block, uint32_t newlen) {
  char key0[KEYTEXT_MAX];
  if (index_keylen(block, 0) >= KEYTEXT_MAX) return FHS_IDXFIDMISMATCH;
  build_key_of(block, 0, block->recbuf, key0);
  uint32_t found = 0;
  int status = index_search(block, 0, IDX_EXACT, key0, &found);
  if (status != FHS_OK) return status;
  Target t;
  if (found != 0) {
    if (!record_pos_in_file(block, found)) return FHS_CORRUPTINDEX;
    status = read_target(block, found, &t);
    if (status != FHS_OK) return status;
    block->recpos = static_cast<int32_t>(found);
    t.rewrite = !varlen(block) || t.slot == newlen;
  }
  ThreadPlan plan;
  status = thread_plan(block, t.rewrite ? t.old.get() : nullptr, block->recbuf, &plan);
  if (status != FHS_OK) return status;
  // A record of another length cannot stay in its slot: it moves. With
  // threads the old copy leaves them first, so that no link leads to it.
  uint32_t moved = found != 0 && !t.rewrite ? found : 0;
  if (moved != 0 && block->nthreads > 0) {
    status = delete_stored(block, moved, t.old.get(), t.slot);
    if (status != FHS_OK) return status;
    moved = 0;
  }
  if (!t.rewrite) return write_new(block, t, plan, newlen, moved);
  // In place: the entries of changed keys go before the record changes and
  // the new ones follow it, so that no entry ever leads to a record that
  // does not hold its key (key 0 stays the same).
  status = change_keys(block, t.old.get(), REMOVE_OLD);
  if (status != FHS_OK) return status;
  uint32_t len;
  status = put_record(block, t, plan, &len);
  if (status != FHS_OK) {
    change_keys(block, t.old.get(), RESTORE_OLD);
    return status;
  }
  status = change_keys(block, t.old.get(), INSERT_NEW);
  return status == FHS_OK ? finish_write(block, plan, false, len) : status;
}

int write_plain(fhrequest *block, uint32_t newlen) {
  Target t;
  int64_t size = data_size(block);
  if (size < 0) return FHS_READDATA;
  int64_t end = varlen(block) ? size : static_cast<int64_t>(block->nrecs) * block->reclen;
  bool inplace = (block->state & ST_POSITIONED) && block->recpos < end;
  uint32_t pos = static_cast<uint32_t>(block->recpos);
  if (inplace) {
    if (block->recpos < block->reclen || (!varlen(block) && pos % block->reclen != 0)) return FHS_NORECORD;
    if (varlen(block) || block->nthreads > 0) {
      int status = read_target(block, pos, &t);
      if (status != FHS_OK) return status;
    } else if (!record_is_free(block, pos)) {
      return FHS_RECLOCKED;
    }
    t.rewrite = !varlen(block) || newlen <= t.slot;
  }
  ThreadPlan plan;
  int status = thread_plan(block, t.rewrite && t.old ? t.old.get() : nullptr, block->recbuf, &plan);
  if (status != FHS_OK) return status;
  // Longer than its slot: the record moves to the end of the file.
  uint32_t moved = inplace && !t.rewrite ? pos : 0;
  if (moved != 0 && block->nthreads > 0) {
    status = delete_stored(block, moved, t.old.get(), t.slot);
    if (status != FHS_OK) return status;
    moved = 0;
  }
  if (!t.rewrite) return write_new(block, t, plan, newlen, moved);
  uint32_t len;
  status = put_record(block, t, plan, &len);
  return status == FHS_OK ? finish_write(block, plan, false, len) : status;
}

int write_record(fhrequest *block) {
  block->recbuf[block->reclen - 1] = REC_END;
  uint32_t newlen = block->reclen;
  if (varlen(block)) {
    // Keys and threads come from the record as it will be stored.
    pack_stored_form(block, block->recbuf);
    int status = packed_length(block, block->recbuf, &newlen);
    if (status != FHS_OK) return status;
  }
  return block->nkeys > 0 ? write_keyed(block, newlen) : write_plain(block, newlen);
}

int write_locked(fhrequest *block) {
  if (block->mode & (FH_KEYSONLY | FH_TEMPINDEX)) return insert_keys(block, 0, 1);
  if (block->mode & FH_NODATA) return insert_keys(block, 0, block->nkeys);
  int status = reload_header(block);
  return status == FHS_OK ? write_record(block) : status;
}

}  // namespace

int op_write(fhrequest *block) {
  int status = openlist_use(block);
  if (status != FHS_OK) return status;
  if (block->mode & FH_READONLY) return FHS_READONLY;
  if (block->mode & FH_HASHED) return hash_write(block);
  if (block->nitems == 0) return write_stream(block);
  if (block->nkeys > 0 && !block->idxctx) return FHS_NOTSUPPORTED;
  bool nodata = (block->mode & FH_NODATA) != 0;
  if (!nodata) {
    status = hdr_lock(block);
    if (status != FHS_OK) return status;
  }
  status = write_locked(block);
  flush_if_shared(block);
  if (!nodata) hdr_unlock(block);
  return status;
}

}  // namespace corvex
