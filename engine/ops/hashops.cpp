#include "engine/ops/hashops.h"

#include <string.h>

#include <memory>
#include <new>

#include "engine/core/engine.h"
#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/hash/hashcache.h"
#include "engine/hash/hashcode.h"
#include "engine/hash/hashfile.h"
#include "engine/index/keys.h"
#include "engine/sharing/locks.h"

namespace corvex {

namespace {

// A key text of key 0 with room for its terminator.
struct KeyText {
  char text[FH_KEYBUFSIZE + 1] = {};
};

bool table_valid(const fhrequest *block) {
  return block->hashidx < HASH_NSIZES && block->hashsize == kHashSizes[block->hashidx] && block->nkeys > 0 &&
         block->keydefs;
}

bool record_pos_valid(const fhrequest *block, uint32_t pos) {
  return block->reclen > 0 && pos >= block->reclen && pos % block->reclen == 0 && pos <= INT32_MAX;
}

// Builds key 0 of `recbuf` into `key` and leaves a copy at `keybuf`.
void key_of_record(fhrequest *block, KeyText *key) {
  int n = _bldkey(block, 0, key->text);
  if (n >= 0 && block->keybuf) memcpy(block->keybuf, key->text, static_cast<size_t>(n) + 1);
}

std::unique_ptr<char[]> scratch_record(const fhrequest *block) {
  return std::unique_ptr<char[]>(new (std::nothrow) char[block->reclen]);
}

// Every transfer of the engine is positioned, so the handle's own file
// position is left alone.
void set_positioned_at(fhrequest *block, uint32_t pos) {
  block->recpos = static_cast<int32_t>(pos);
  block->state |= ST_POSITIONED;
}

// Finds the key of `recbuf` into a scratch image so that `recbuf` stays as
// the caller filled it. `image` receives the scratch buffer.
int find_record_key(fhrequest *block, const KeyText &key, std::unique_ptr<char[]> *image, HashFind *found) {
  *image = scratch_record(block);
  if (!*image) return FHS_NOMEMORY;
  return hash_find(block, key.text, image->get(), found);
}

int store_new(fhrequest *block, uint32_t slot, const KeyText &key) {
  uint64_t end = static_cast<uint64_t>(block->nrecs) * block->reclen;
  if (end > INT32_MAX) return FHS_WRITEDATA;
  uint32_t pos = static_cast<uint32_t>(end);
  // The record goes out before its slot, so that a failed write leaves no
  // slot pointing past the end of the data file.
  int status = record_store(block, pos, block->recbuf, 0, nullptr);
  if (status != FHS_OK) return status;
  status = hash_cached_slot_store(block, slot, pos, hash_key_tag(block, key.text));
  if (status != FHS_OK) {
    // A slot write that failed part way leaves a position that leads
    // nowhere: the slot was empty, and is made so again.
    hash_slot_write(block, slot, 0);
    return status;
  }
  block->nrecs++;
  if (block_is_shared(block)) {
    status = header_write(block);
    if (status != FHS_OK) return status;
  }
  set_positioned_at(block, pos);
  return FHS_OK;
}

int write_locked(fhrequest *block, const KeyText &key) {
  if (block_is_shared(block)) {
    int status = header_read(block, false);
    if (status != FHS_OK) return status;
  }
  std::unique_ptr<char[]> image;
  HashFind found;
  int status = find_record_key(block, key, &image, &found);
  if (status != FHS_OK) return status;
  if (found.full) return FHS_HASHFULL;
  block->state |= ST_HDRDIRTY;
  // What is written is an active record, also over one marked deleted.
  block->recbuf[0] = REC_ACTIVE;
  if (!found.found) return store_new(block, found.slot, key);
  uint32_t pos = static_cast<uint32_t>(block->recpos);
  if (!record_is_free(block, pos)) return FHS_RECLOCKED;
  status = record_store(block, pos, block->recbuf, 0, nullptr);
  if (status != FHS_OK) return status;
  set_positioned_at(block, pos);
  return FHS_OK;
}

int delete_locked(fhrequest *block, const KeyText &key) {
  std::unique_ptr<char[]> image;
  HashFind found;
  int status = find_record_key(block, key, &image, &found);
  if (status != FHS_OK) return status;
  if (!found.found || image[0] == REC_DELETED) return FHS_NORECORD;
  uint32_t pos = static_cast<uint32_t>(block->recpos);
  if (!record_is_free(block, pos)) return FHS_RECLOCKED;
  const char mark = REC_DELETED;
  status = data_write(block, pos, &mark, 1);
  if (status != FHS_OK) return status;
  block->state &= static_cast<uint16_t>(~ST_POSITIONED);
  block->state |= ST_HDRDIRTY;
  return FHS_OK;
}

}  // namespace

namespace {

// Reads the candidate record at `pos` into `image`, with `recpos` on it.
int read_candidate(fhrequest *block, uint32_t pos, char *image) {
  if (!record_pos_valid(block, pos)) return FHS_CORRUPTHASH;
  block->recpos = static_cast<int32_t>(pos);
  uint32_t len;
  int status = record_read(block, pos, image, &len);
  if (status != FHS_OK) return status;
  return image[0] == REC_FILL ? FHS_READDATA : FHS_OK;  // nothing there to read
}

}  // namespace

int hash_find(fhrequest *block, const char *key, char *image, HashFind *out) {
  *out = HashFind();
  block->state &= static_cast<uint16_t>(~ST_POSITIONED);
  if (!table_valid(block)) return FHS_CORRUPTHASH;
  const uint32_t size = block->hashsize;
  const HashProbe probe = hash_probe(key, block->hashidx);
  // With a copy of the table, slots whose tags differ from the key's are
  // passed over unread. A miss still leaves the last candidate of the
  // sequence in `image`, as reading every one would: `passed` is the slot
  // of the last one passed over since the last record read (`size`: none).
  HashSlot *copy = hash_cached_slots(block);
  const uint16_t want = copy ? hash_key_tag(block, key) : HASH_TAG_UNKNOWN;
  uint32_t passed = size;
  char stored[FH_KEYBUFSIZE + 1];
  int status = FHS_OK;
  for (HashProbeWalk walk(probe, size);;) {
    const uint32_t slot = walk.slot();
    uint16_t tag = HASH_TAG_UNKNOWN;
    uint32_t pos;
    if (copy) {
      tag = copy[slot].tag();
      // A known tag other than the key's: another key, passed over unread.
      if (tag > HASH_TAG_UNKNOWN && want > HASH_TAG_UNKNOWN && tag != want) {
        passed = slot;
        if (walk.next()) continue;
        out->full = true;
        break;
      }
      pos = copy[slot].record() * block->reclen;
    } else {
      status = hash_slot_read(block, slot, &pos);
      if (status != FHS_OK) return status;
    }
    if (pos == 0) {
      out->slot = slot;
      break;
    }
    passed = size;
    status = read_candidate(block, pos, image);
    if (status != FHS_OK) return status;
    // The record usually holds the very bytes sought; only other keys and
    // keys equal by the key rules but not bytewise need the built text.
    bool same = key_bytes_held(block, 0, image, key);
    if (!same) {
      build_key_of(block, 0, image, stored);
      same = key_compare(block, 0, key, stored) == 0;
    }
    if (copy && tag == HASH_TAG_UNKNOWN) copy[slot].set_tag(same ? want : hash_key_tag(block, stored));
    if (same) {
      out->slot = slot;
      out->found = true;
      set_positioned_at(block, pos);
      return FHS_OK;
    }
    if (!walk.next()) {
      out->full = true;
      break;
    }
  }
  if (passed != size) status = read_candidate(block, copy[passed].record() * block->reclen, image);
  return status;
}

int hash_position(fhrequest *block) {
  if (!block->recbuf) return FHS_NOTSUPPORTED;
  KeyText key;
  if (block->keybuf && block->keydefs && block->nkeys > 0) {
    memcpy(key.text, block->keybuf, strnlen(block->keybuf, block->keydefs[0].keylen));
  }
  int status = hdr_lock(block);
  if (status != FHS_OK) return status;
  HashFind found;
  status = hash_find(block, key.text, block->recbuf, &found);
  if (status == FHS_OK && found.found && block->recbuf[0] == REC_DELETED) {
    block->state &= static_cast<uint16_t>(~ST_POSITIONED);
  }
  hdr_unlock(block);
  return status;
}

int hash_write(fhrequest *block) {
  if (!block->recbuf) return FHS_NOTSUPPORTED;
  KeyText key;
  key_of_record(block, &key);
  if (!block_is_shared(block)) return write_locked(block, key);
  int status = hdr_lock(block);
  if (status != FHS_OK) return status;
  status = write_locked(block, key);
  hdr_unlock(block);
  return status;
}

int hash_delete(fhrequest *block) {
  if (!block->recbuf) return FHS_NOTSUPPORTED;
  KeyText key;
  key_of_record(block, &key);
  int status = hdr_lock(block);
  if (status != FHS_OK) return status;
  status = delete_locked(block, key);
  hdr_unlock(block);
  return status;
}

int hash_heal_record(fhrequest *block, uint32_t pos, char *image) {
  KeyText key;
  build_key_of(block, 0, image, key.text);
  std::unique_ptr<char[]> scratch;
  HashFind found;
  int status = find_record_key(block, key, &scratch, &found);
  if (status != FHS_OK || found.found) return status;
  if (found.full) return FHS_HASHFULL;
  return hash_cached_slot_store(block, found.slot, pos, hash_key_tag(block, key.text));
}

}  // namespace corvex
