#include "engine/hash/hashfile.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <new>

#include "engine/hash/hashcode.h"
#include "engine/sharing/mapping.h"
#include "util/bytes.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

const char kSignature[4] = {'Q', 'Z', 'T', '\0'};

constexpr uint32_t kZeroSlotsPerWrite = HASH_BLOCKSLOTS * 512;

bool write_all(int fd, const void *data, size_t len, off_t at) { return pwrite_full(fd, data, len, at) == len; }

bool read_all(int fd, void *data, size_t len, off_t at) {
  return pread_full(fd, data, len, at) == static_cast<ssize_t>(len);
}

off_t slot_offset(uint32_t slot) { return HASH_HEADERSIZE + 4 * static_cast<off_t>(slot); }

bool write_table(int fd, const fhrequest *block) {
  unsigned char header[HASH_HEADERSIZE] = {};
  memcpy(header, kSignature, sizeof kSignature);
  put_u16(header + 4, HASH_VERSION);
  put_u16(header + 6, block->keydefs[0].keylen);
  put_u32(header + 8, block->hashsize);
  if (!write_all(fd, header, sizeof header, 0)) return false;
  // The zero blocks go out many to a write: a table of the largest size
  // takes a handful of writes instead of thousands.
  static unsigned char zeros[4 * kZeroSlotsPerWrite];
  const uint32_t slots = (block->hashsize + HASH_BLOCKSLOTS - 1) / HASH_BLOCKSLOTS * HASH_BLOCKSLOTS;
  for (uint32_t slot = 0; slot < slots; slot += kZeroSlotsPerWrite) {
    const uint32_t n = slots - slot < kZeroSlotsPerWrite ? slots - slot : kZeroSlotsPerWrite;
    if (!write_all(fd, zeros, 4 * static_cast<size_t>(n), slot_offset(slot))) return false;
  }
  return true;
}

}  // namespace

void hash_choose_size(fhrequest *block) {
  block->hashidx = hash_size_index(block->hashsize);
  block->hashsize = kHashSizes[block->hashidx];
}

int hash_make(fhrequest *block) {
  if (block->nkeys == 0 || !block->keydefs) return FHS_NOTSUPPORTED;
  int fd = open(block->idxname, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return FHS_CREATEHASH;
  hash_choose_size(block);
  bool written = write_table(fd, block);
  if (close(fd) != 0) written = false;
  if (!written) {
    unlink(block->idxname);
    return FHS_WRITEHASH;
  }
  return FHS_OK;
}

int hash_check(fhrequest *block) {
  if (block->nkeys == 0 || !block->keydefs) return FHS_NOTSUPPORTED;
  mapping_forget(block, MAPPED_INDEX);
  unsigned char header[HASH_HEADERSIZE];
  if (!read_all(block->idxfd, header, sizeof header, 0)) return FHS_READHASH;
  if (memcmp(header, kSignature, sizeof kSignature) != 0 || get_u16(header + 4) != HASH_VERSION) {
    return FHS_HASHVERSION;
  }
  hash_choose_size(block);
  if (get_u16(header + 6) != block->keydefs[0].keylen || get_u32(header + 8) != block->hashsize) {
    return FHS_HASHFIDMISMATCH;
  }
  return FHS_OK;
}

int hash_slot_read(const fhrequest *block, uint32_t slot, uint32_t *pos) {
  unsigned char raw[4];
  ssize_t mapped = mapped_read(block, MAPPED_INDEX, static_cast<uint64_t>(slot_offset(slot)),
                               reinterpret_cast<char *>(raw), sizeof raw);
  if (mapped == static_cast<ssize_t>(sizeof raw)) {
    *pos = get_u32(raw);
    return FHS_OK;
  }
  if (mapped >= 0) return FHS_READHASH;
  if (!read_all(block->idxfd, raw, sizeof raw, slot_offset(slot))) return FHS_READHASH;
  *pos = get_u32(raw);
  return FHS_OK;
}

int hash_table_read(const fhrequest *block, uint32_t *slots) {
  std::unique_ptr<unsigned char[]> raw(new (std::nothrow) unsigned char[4 * static_cast<size_t>(block->hashsize)]);
  if (!raw) return FHS_NOMEMORY;
  if (!read_all(block->idxfd, raw.get(), 4 * static_cast<size_t>(block->hashsize), slot_offset(0))) {
    return FHS_READHASH;
  }
  for (uint32_t slot = 0; slot < block->hashsize; slot++) slots[slot] = get_u32(raw.get() + 4 * slot);
  return FHS_OK;
}

int hash_slot_write(const fhrequest *block, uint32_t slot, uint32_t pos) {
  unsigned char raw[4];
  put_u32(raw, pos);
  return write_all(block->idxfd, raw, sizeof raw, slot_offset(slot)) ? FHS_OK : FHS_WRITEHASH;
}

}  // namespace corvex
