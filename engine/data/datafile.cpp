#include "engine/data/datafile.h"

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <new>
#include <thread>

#include "engine/core/engine.h"
#include "engine/data/base95.h"
#include "engine/data/datacache.h"
#include "engine/data/records.h"
#include "engine/data/varlen_packing.h"
#include "engine/sharing/changecount.h"
#include "engine/sharing/mapping.h"
#include "util/fileio.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr int kReadTries = 5;
constexpr std::chrono::milliseconds kReadWait{500};

// Reads up to `len` bytes at `pos`; the count read, or -1 after the tries.
ssize_t read_at(const fhrequest *block, uint32_t pos, char *out, size_t len) {
  ssize_t cached = datacache_read(block, pos, out, len);
  if (cached >= 0) return cached;
  ssize_t mapped = mapped_read(block, MAPPED_DATA, pos, out, len);
  if (mapped >= 0) return mapped;
  for (int attempt = 0;; attempt++) {
    ssize_t got = pread_full(block->datfd, out, len, static_cast<off_t>(pos));
    if (got >= 0) return got;
    if (attempt + 1 >= kReadTries) return -1;
    std::this_thread::sleep_for(kReadWait);
  }
}

std::unique_ptr<char[]> scratch(size_t n) { return std::unique_ptr<char[]>(new (std::nothrow) char[n]); }

}  // namespace

int64_t data_size(const fhrequest *block) {
  struct stat st;
  if (fstat(block->datfd, &st) != 0) return -1;
  return st.st_size;
}

bool record_pos_in_file(const fhrequest *block, uint32_t pos) {
  if (mapped_at(block, MAPPED_DATA, pos, 1) != nullptr) return valid_record_pos(block, pos, int64_t{pos} + 1);
  return valid_record_pos(block, pos, data_size(block));
}

bool valid_record_pos(const fhrequest *block, uint32_t pos, int64_t size) {
  if (pos < block->reclen || pos >= size) return false;
  return (block->mode & FH_VARLEN) || pos % block->reclen == 0;
}

namespace {

// True when the bytes at `from`..`size` can only be the start of one
// record that a write did not finish: fewer than the record claims (or
// than a record's head) and no line feed, which ends every whole record.
bool torn_tail(fhrequest *block, int64_t from, int64_t size, uint32_t claimed) {
  int64_t left = size - from;
  if (left <= 0 || left >= block->reclen || (claimed != 0 && left >= claimed)) return false;
  std::unique_ptr<char[]> rest = scratch(static_cast<size_t>(left));
  if (!rest) return false;
  ssize_t got = read_at(block, static_cast<uint32_t>(from), rest.get(), static_cast<size_t>(left));
  return got == left && memchr(rest.get(), REC_END, static_cast<size_t>(left)) == nullptr;
}

// Steps over the stored records of a variable-length file by their length
// digits, noting where the record numbered `counted` starts (the header is
// number 0). A length that cannot be used ends the walk: as a torn tail when
// only the start of one record follows, as damage otherwise.
int varlen_walk(fhrequest *block, DataTail *tail) {
  uint32_t records = 1;
  int64_t end = block->reclen;
  char head[VAR_DATA_AT];
  while (end < tail->size && end <= INT32_MAX) {
    if (records == tail->counted) tail->beyond_at = static_cast<uint32_t>(end);
    uint32_t len = 0;
    if (end + VAR_DATA_AT <= tail->size) {
      ssize_t got = read_at(block, static_cast<uint32_t>(end), head, sizeof head);
      if (got < 0) return FHS_READDATA;
      len = stored_length(head, static_cast<size_t>(got), block->reclen);
    }
    if (len == 0 || end + len > tail->size) {
      tail->damaged = !torn_tail(block, end, tail->size, len);
      break;
    }
    end += len;
    records++;
  }
  if (tail->beyond_at >= end) tail->beyond_at = 0;
  tail->whole = records;
  tail->end = end;
  return FHS_OK;
}

// The check of an open: the whole records on file against the count.
int check_tail(fhrequest *block, bool varlen, DataTail *tail) {
  if (varlen) return varlen_walk(block, tail);
  uint64_t whole = static_cast<uint64_t>(tail->size) / block->reclen;
  if (whole > INT32_MAX) return FHS_READDATA;
  tail->whole = static_cast<uint32_t>(whole);
  tail->end = static_cast<int64_t>(whole) * block->reclen;
  if (whole > tail->counted) {
    uint64_t at = static_cast<uint64_t>(tail->counted) * block->reclen;
    if (at > INT32_MAX) return FHS_READDATA;
    tail->beyond_at = static_cast<uint32_t>(at);
  }
  return FHS_OK;
}

}  // namespace

bool DataTail::unfinished() const { return whole != counted || end != size; }

int header_read(fhrequest *block, bool check_end, DataTail *tail) {
  size_t reclen = block->reclen;
  if (reclen < HDR_PREFIX + 1) return FHS_READDATA;
  size_t want = (check_end || block->nthreads > 0) ? reclen : static_cast<size_t>(HDR_PREFIX);
  std::unique_ptr<char[]> buf = scratch(want);
  if (!buf) return FHS_NOMEMORY;
  ssize_t got = read_at(block, 0, buf.get(), want);
  int64_t size = data_size(block);
  if (got < HDR_PREFIX || size < 0) return FHS_READDATA;
  uint32_t count;
  if (!hex_get(buf.get() + 1, HDR_COUNT_DIGITS, &count) || count < 1 || count > INT32_MAX) return FHS_READDATA;
  if (check_end && (static_cast<size_t>(got) < reclen || buf[reclen - 1] != REC_END)) return FHS_DATFIDMISMATCH;
  bool varlen = buf[0] == REC_VARHDR;
  if (size < static_cast<int64_t>(reclen)) return FHS_READDATA;
  const uint32_t stored = count;
  // The slots the file holds decide, not the count: a program killed
  // between a record and its header leaves the count behind the records, a
  // write cut short leaves it ahead of them. Appends then go after the last
  // whole record, so nothing on file is written over.
  if (!varlen) {
    uint64_t whole = static_cast<uint64_t>(size) / reclen;
    if (whole > INT32_MAX) return FHS_READDATA;
    count = static_cast<uint32_t>(whole);
  }
  if (tail) {
    *tail = DataTail();
    tail->counted = stored;
    tail->size = size;
    int status = check_tail(block, varlen, tail);
    if (status != FHS_OK) return status;
    // Damage in the middle keeps the count: the records after it are
    // still there.
    if (varlen && !tail->damaged) count = tail->whole;
  }
  if (block->nthreads > 0) {
    if (static_cast<size_t>(got) < reclen) return FHS_READDATA;
    for (uint16_t t = 0; t < block->nthreads; t++) {
      fhthreaddef &def = block->threaddefs[t];
      uint32_t head;
      if (def.offset + static_cast<size_t>(LINK_WIDTH) > reclen - 1 || !base95_get(buf.get() + def.offset, LINK_WIDTH, &head)) {
        return FHS_READDATA;
      }
      // The variability of the file is decided by this header, so the
      // position check uses it before the mode is updated below.
      if (head != 0 && (head < reclen || head >= size || (!varlen && head % reclen != 0))) return FHS_READDATA;
      def.head = head;
    }
  }
  if (varlen) {
    block->mode |= FH_VARLEN;
  } else {
    block->mode &= static_cast<uint16_t>(~FH_VARLEN);
  }
  block->nrecs = count;
  return FHS_OK;
}

int reload_header(fhrequest *block) { return block_rereads(block) ? header_read(block, false) : FHS_OK; }

int header_write(fhrequest *block) {
  size_t reclen = block->reclen;
  if (reclen < HDR_PREFIX + 1) return FHS_WRITEDATA;
  size_t len = block->nthreads > 0 ? reclen - 1 : static_cast<size_t>(HDR_PREFIX);
  std::unique_ptr<char[]> buf = scratch(len);
  if (!buf) return FHS_NOMEMORY;
  memset(buf.get(), ' ', len);
  buf[0] = (block->mode & FH_VARLEN) ? REC_VARHDR : REC_ACTIVE;
  hex_put(block->nrecs, HDR_COUNT_DIGITS, buf.get() + 1);
  for (uint16_t t = 0; t < block->nthreads; t++) {
    const fhthreaddef &def = block->threaddefs[t];
    if (def.offset + static_cast<size_t>(LINK_WIDTH) <= len) base95_put(def.head, LINK_WIDTH, buf.get() + def.offset);
  }
  // A shared block writes the count after every new record: the nine bytes
  // go through the file's mapping, one system call fewer per write. Cut
  // short by a kill they are torn as a pwrite of them could be (byte 0
  // stays as it was), which the open's check of the count finds.
  if (len == HDR_PREFIX && block_is_shared(block) && mapped_write(block, MAPPED_DATA, 0, buf.get(), len)) {
    datacache_wrote(block, 0, buf.get(), len);
    return FHS_OK;
  }
  return data_write(block, 0, buf.get(), len);
}

int record_read(fhrequest *block, uint32_t pos, char *image, uint32_t *len) {
  size_t reclen = block->reclen;
  if (!(block->mode & FH_VARLEN)) {
    ssize_t got = read_at(block, pos, image, reclen);
    if (got < 0) return FHS_READDATA;
    memset(image + got, REC_FILL, reclen - static_cast<size_t>(got));
    *len = static_cast<uint32_t>(reclen);
    return FHS_OK;
  }
  std::unique_ptr<char[]> raw = scratch(reclen);
  if (!raw) return FHS_NOMEMORY;
  ssize_t got = read_at(block, pos, raw.get(), reclen);
  if (got < 0) return FHS_READDATA;
  uint32_t stored = stored_length(raw.get(), static_cast<size_t>(got), static_cast<uint32_t>(reclen));
  if (stored == 0) return FHS_READDATA;
  if (static_cast<size_t>(got) < stored) memset(raw.get() + got, REC_FILL, stored - static_cast<size_t>(got));
  unpack_record(block, raw.get(), stored, image);
  *len = stored;
  return FHS_OK;
}

void data_prefetch(const fhrequest *block, const uint32_t *pos, int n) {
  // A variable-length record is read whole up to the record length.
  mapped_prefetch(block, MAPPED_DATA, pos, n, block->reclen);
}

int data_write(fhrequest *block, uint32_t pos, const char *data, size_t len) {
  size_t done = pwrite_full(block->datfd, data, len, static_cast<off_t>(pos));
  // What a failed write left on file is not known: the pages go.
  if (done == len) {
    datacache_wrote(block, pos, data, len);
  } else {
    datacache_drop_file(block);
  }
  return done == len ? FHS_OK : FHS_WRITEDATA;
}

int data_cut(fhrequest *block, int64_t end) {
  if (io_truncate(block->datfd, end) != 0) return FHS_WRITEDATA;
  datacache_drop_file(block);
  mapping_shrunk();
  return FHS_OK;
}

int packed_length(fhrequest *block, const char *image, uint32_t *len) {
  std::unique_ptr<char[]> packed = scratch(block->reclen);
  if (!packed) return FHS_NOMEMORY;
  *len = static_cast<uint32_t>(pack_record(block, image, packed.get()));
  return FHS_OK;
}

int record_store(fhrequest *block, uint32_t pos, char *image, uint32_t slot, uint32_t *len) {
  size_t reclen = block->reclen;
  image[reclen - 1] = REC_END;
  if (!(block->mode & FH_VARLEN)) {
    if (len) *len = static_cast<uint32_t>(reclen);
    return data_write(block, pos, image, reclen);
  }
  std::unique_ptr<char[]> packed = scratch(reclen);
  if (!packed) return FHS_NOMEMORY;
  size_t n = pack_record(block, image, packed.get());
  if (slot != 0) {
    if (n > slot) return FHS_NORECORD;
    memset(packed.get() + n - 1, ' ', slot - n);
    packed[slot - 1] = REC_END;
    n = slot;
    hex_put(static_cast<uint32_t>(n), VAR_LENGTH_DIGITS, packed.get() + VAR_LENGTH_AT);
  }
  // The image keeps the length digits of its stored form.
  memcpy(image + VAR_LENGTH_AT, packed.get() + VAR_LENGTH_AT, VAR_LENGTH_DIGITS);
  if (len) *len = static_cast<uint32_t>(n);
  return data_write(block, pos, packed.get(), n);
}

}  // namespace corvex
