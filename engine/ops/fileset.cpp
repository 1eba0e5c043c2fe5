#include "engine/ops/fileset.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <new>

#include "engine/core/engine.h"
#include "engine/core/keybuf.h"
#include "engine/core/openlist.h"
#include "engine/data/datacache.h"
#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/fid/companion_names.h"
#include "engine/fid/fid.h"
#include "engine/hash/hashcache.h"
#include "engine/hash/hashfile.h"
#include "engine/index/index.h"
#include "engine/plug.h"
#include "engine/sharing/changecount.h"
#include "engine/sharing/locks.h"
#include "engine/sharing/mapping.h"
#include "util/filelock.h"
#include "util/fsinfo.h"
#include "util/positional_io.h"

namespace corvex {

namespace {

constexpr int kOpenTries = 10;

bool name_ok(const char *name) { return strnlen(name, FH_NAMESIZE) < FH_NAMESIZE && name[0] != '\0'; }

void park_lru() {
  if (plug().closelru) plug().closelru(0);
}

// Opens `name` as `flags` say; -1 when it cannot be opened or shared.
int open_once(const char *name, uint16_t flags) {
  int fd = open(name, ((flags & OPEN_READONLY) ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd < 0) return -1;
  if ((flags & (OPEN_SHARED | OPEN_DENYALL)) && !share_acquire(fd, (flags & OPEN_DENYALL) != 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

int open_with_tries(const char *name, uint16_t flags) {
  if (!name_ok(name)) return -1;
  for (int attempt = 0; attempt < kOpenTries; attempt++) {
    int fd = open_once(name, flags);
    if (fd >= 0) return fd;
    if (attempt + 1 < kOpenTries) park_lru();
  }
  return -1;
}

// Creates or truncates `name` read-write, retrying once after parking.
int create_with_retry(const char *name) {
  if (!name_ok(name)) return -1;
  for (int attempt = 0; attempt < 2; attempt++) {
    int fd = open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (attempt == 0) park_lru();
  }
  return -1;
}

bool hashed(const fhrequest *block) { return (block->mode & FH_HASHED) != 0; }

// The companion index or hash file name, derived from the data file's when
// empty. False when it does not fit.
bool derive_index_name(fhrequest *block) {
  if (block->idxname[0] != '\0') return true;
  if (!name_ok(block->datname)) return false;
  return derive_name(block->datname, hashed(block) ? kHashExt : kIndexExt, block->idxname, FH_NAMESIZE);
}

int check_description(const fhrequest *block) {
  if (hashed(block) && (block->mode & FH_VARLEN)) return FHS_HASHFIDMISMATCH;
  if (block->nitems > 0 && block->reclen < HDR_PREFIX + 1) return FHS_RECMIN;
  return FHS_OK;
}

// Checks the index or hash file open on the block's handle.
int attach_index(fhrequest *block) {
  if (!fileset_has_index(block)) return FHS_OK;
  if (hashed(block)) return hash_check(block);
  return index_open(block);
}

// Writes the header record of a new data file: spaces, 'V' first for
// variable-length records, the count 1 and a line feed.
int write_new_header(fhrequest *block, int fd) {
  size_t reclen = block->reclen;
  char *buf = new (std::nothrow) char[reclen];
  if (!buf) return FHS_NOMEMORY;
  memset(buf, ' ', reclen);
  if (block->mode & FH_VARLEN) buf[0] = REC_VARHDR;
  hex_put(1, HDR_COUNT_DIGITS, buf + 1);
  buf[reclen - 1] = REC_END;
  size_t n = pwrite_full(fd, buf, reclen, 0);
  delete[] buf;
  return n == reclen ? FHS_OK : FHS_WRITEDATA;
}

int create_data(fhrequest *block) {
  if (block->mode & FH_NODATA) return FHS_OK;
  int fd = create_with_retry(block->datname);
  if (fd < 0) return FHS_CREATEDATA;
  int status = FHS_OK;
  if (block->nitems > 0) {
    status = write_new_header(block, fd);
    block->recpos = block->reclen;
    block->nrecs = 1;
  } else {
    block->recpos = 0;
    block->nrecs = 0;
  }
  if (close(fd) != 0 && status == FHS_OK) status = FHS_CLOSEDATA;
  return status;
}

int create_index(fhrequest *block) {
  if (block->nkeys == 0) return FHS_OK;
  if (!derive_index_name(block)) return FHS_CREATEINDEX;
  if (hashed(block)) return hash_make(block);
  return index_make(block);
}

int register_block(fhrequest *block) {
  uint16_t flags = fileset_open_flags(block);
  int status = fileset_open_handles(block, flags);
  if (status != FHS_OK) return status;
  status = openlist_add(block, flags);
  if (status != FHS_OK) fileset_close_handles(block);
  return status;
}

// Reads the data header of a block just opened; the caller holds the header lock.
int read_first_header(fhrequest *block, bool *unfinished) {
  int status = header_read(block, true, unfinished);
  if (status != FHS_OK) return status;
  block->recpos = block->reclen;
  if (block->nrecs == 1) block->state &= static_cast<uint16_t>(~ST_POSITIONED);
  return FHS_OK;
}

int open_set(fhrequest *block, bool *unfinished) {
  int status = fid_prepare(block);
  if (status != FHS_OK) return status;
  status = check_description(block);
  if (status == FHS_OK && fileset_has_index(block) && !derive_index_name(block)) status = FHS_OPENINDEX;
  if (status == FHS_OK) status = register_block(block);
  if (status != FHS_OK) return status;
  // In a shared mode another program may be half-way through an update,
  // with its record or node on file before the header that counts it. The
  // index and the data header are checked under the header lock, so that
  // only an update that nobody is finishing counts as unfinished.
  const bool has_header = block->nitems != 0 && !(block->mode & FH_NODATA);
  if (has_header && (status = hdr_lock(block)) != FHS_OK) return status;
  status = attach_index(block);
  if (status == FHS_OK) {
    block->state |= ST_POSITIONED;
    if (block->nitems == 0) {
      block->recpos = 0;
    } else if (has_header) {
      status = read_first_header(block, unfinished);
    }
  }
  if (has_header) hdr_unlock(block);
  if (index_unfinished(block)) *unfinished = true;
  return status;
}

bool exists(const char *name) { return access(name, F_OK) == 0; }

int make_set(fhrequest *block) {
  int status = fid_prepare(block);
  if (status != FHS_OK) return status;
  status = check_description(block);
  // Every name is settled before anything is created, so that a name that
  // does not fit refuses the make with nothing written.
  if (status == FHS_OK && block->nkeys > 0 && !derive_index_name(block)) status = FHS_CREATEINDEX;
  if (status != FHS_OK) return status;
  // A refused make takes away the files it brought into existence; files
  // that were there before are never removed.
  bool new_data = !(block->mode & FH_NODATA) && !exists(block->datname);
  bool new_index = block->nkeys > 0 && !exists(block->idxname);
  status = create_data(block);
  if (status == FHS_OK) status = create_index(block);
  if (status == FHS_OK) status = register_block(block);
  if (status == FHS_OK) status = attach_index(block);
  if (status == FHS_OK) {
    block->state |= ST_HDRDIRTY;
    block->state &= static_cast<uint16_t>(~ST_POSITIONED);
    return FHS_OK;
  }
  if (new_data) unlink(block->datname);
  if (new_index) unlink(block->idxname);
  return status;
}

// Runs open or make; on failure undoes everything, on success points
// `keybuf` at the shared key buffer.
int finish(fhrequest *block, int status) {
  if (status != FHS_OK) {
    fileset_abandon(block);
    return status;
  }
  block->keybuf = shared_keybuf();
  return FHS_OK;
}

}  // namespace

void fileset_abandon(fhrequest *block) {
  index_close(block);
  if (openlist_find(block)) {
    fileset_close_handles(block);
    openlist_remove(block);
  }
  fid_free(block);
}

bool fileset_has_index(const fhrequest *block) { return block->nkeys > 0 && !(block->mode & FH_NOKEY); }

uint16_t fileset_open_flags(const fhrequest *block) {
  uint16_t flags = 0;
  if ((block->mode & FH_READONLY) || (!(block->mode & FH_NODATA) && access(block->datname, W_OK) != 0)) {
    flags |= OPEN_READONLY;
  }
  if (engine().netmode != 0) flags |= (block->mode & FH_EXCLUSIVE) ? OPEN_DENYALL : OPEN_SHARED;
  if (fileset_has_index(block)) flags |= OPEN_INDEX;
  return flags;
}

int fileset_open_handles(fhrequest *block, uint16_t flags) {
  block->datfd = -1;
  block->idxfd = -1;
  if (!(block->mode & FH_NODATA)) {
    block->datfd = open_with_tries(block->datname, flags);
    if (block->datfd < 0) return FHS_OPENDATA;
    if (const char *kind = network_filesystem(block->datfd))
      note_network_filesystem(block->datname, kind, (flags & (OPEN_SHARED | OPEN_DENYALL)) != 0);
  }
  if (flags & OPEN_INDEX) {
    block->idxfd = open_with_tries(block->idxname, flags);
    if (block->idxfd < 0) {
      fileset_close_handles(block);
      return hashed(block) ? FHS_OPENHASH : FHS_OPENINDEX;
    }
  }
  return FHS_OK;
}

int fileset_close_handles(fhrequest *block) {
  int status = FHS_OK;
  hash_cache_release(block);
  datacache_release(block);
  mapping_release(block);
  changes_release(block);
  if (block->datfd >= 0 && !(block->mode & FH_NODATA)) {
    if (close(block->datfd) != 0 && errno != EINTR) status = FHS_CLOSEDATA;
  }
  block->datfd = -1;
  // The index handle is closed whenever one is open: set-key 0 turns keys
  // off after open without closing it.
  if (block->idxfd >= 0) {
    if (close(block->idxfd) != 0 && errno != EINTR && status == FHS_OK) status = FHS_CLOSEINDEX;
  }
  block->idxfd = -1;
  return status;
}

int fileset_write_headers(fhrequest *block) {
  // The index before the data header: until both are written, the data
  // file or the index shows the open that the update did not finish.
  int status = block->idxctx ? index_checkpoint(block) : FHS_OK;
  if (status != FHS_OK) return status;
  if (block->nitems > 0 && !(block->mode & FH_NODATA) && (block->state & ST_HDRDIRTY)) {
    if (fdatasync(block->datfd) != 0) return FHS_WRITEDATA;
    status = header_write(block);
  }
  return status;
}

int op_open(fhrequest *block) {
  bool unfinished = false;
  int status = finish(block, open_set(block, &unfinished));
  return status == FHS_OK && unfinished ? FHS_RECOVER : status;
}

int op_make(fhrequest *block) { return finish(block, make_set(block)); }

int op_close(fhrequest *block) {
  int status = openlist_use(block);
  if (status == FHS_NOTOPEN) return status;
  // From here on the block is unregistered and its tables freed whatever
  // fails, since the caller may free the block after a close; the first
  // failure is reported. A parked file whose files cannot come back has
  // nothing to write through, and its record lock went with its handle.
  if (status == FHS_OK) {
    release_record_lock(block);
    if (!block_is_shared(block)) status = fileset_write_headers(block);
  } else {
    block->lockpos = 0;
  }
  int closed = index_close(block);
  if (status == FHS_OK) status = closed;
  int handles = fileset_close_handles(block);
  if (status == FHS_OK) status = handles;
  openlist_remove(block);
  fid_free(block);
  block->state &= static_cast<uint16_t>(~(ST_POSITIONED | ST_HDRDIRTY));
  return status;
}

}  // namespace corvex
