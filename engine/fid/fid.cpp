#include "engine/fid/fid.h"

#include <string.h>

#include "engine/core/engine.h"
#include "engine/fid/companion_names.h"
#include "engine/plug.h"
#include "util/ascii.h"
#include "util/bytes.h"
#include "util/fastfile.h"
#include "util/memory.h"

namespace corvex {

namespace {

// The largest data length whose reclen (L + 2) still fits in 16 bits.
constexpr uint32_t kMaxDataLen = UINT16_MAX - 2;

// An open FID file, closed when it goes out of scope.
class FidFile {
 public:
  explicit FidFile(int slot) : slot_(slot) {}
  ~FidFile() {
    if (slot_ >= 0) _fastclose(slot_);
  }
  FidFile(const FidFile &) = delete;
  FidFile &operator=(const FidFile &) = delete;

  bool read(void *target, int n) { return _fastread(slot_, target, n) == n; }
  // Reads a text line of which at most `max` bytes are consumed into
  // `line`, which holds max + 1 bytes. False at end of file.
  bool line(char *line, int max) { return _fastgets(slot_, line, max) != nullptr; }

 private:
  int slot_;
};

// Opens the FID read-only (shareable in a shared mode), retrying once after
// parking the least recently used file. Returns the slot, or a negative
// status.
int open_fid(const fhrequest *block) {
  int flags = FAST_O_RDONLY | FAST_O_BINARY;
  if (block_is_shared(block)) flags = fshare(block->fidname, flags);
  for (int attempt = 0; attempt < 2; attempt++) {
    int slot = _fastopen(block->fidname, flags, 0777);
    if (slot >= 0) return slot;
    if (slot == -2) return -FHS_NOMEMORY;
    if (attempt == 0 && plug().closelru) plug().closelru(0);
  }
  return -FHS_OPENFID;
}

struct Header {
  uint16_t datalen;
  uint16_t nitems;
  uint8_t nkeys;
  uint32_t hashsize;
  uint16_t nthreads;
  uint8_t flags;
};

int read_header(FidFile &file, Header *h) {
  unsigned char raw[FID_HEADERSIZE];
  if (!file.read(raw, sizeof raw)) return FHS_READFID;
  if (memcmp(raw, "QZT", 3) != 0 || get_u16(raw + 4) != FID_VERSION) return FHS_FIDVERSION;
  h->datalen = get_u16(raw + 6);
  h->nitems = get_u16(raw + 8);
  h->nkeys = raw[10];
  h->hashsize = get_u32(raw + 12);
  h->nthreads = get_u16(raw + 16);
  h->flags = raw[18];
  if (h->datalen < FID_MINDATALEN) return FHS_RECMIN;
  if (h->datalen > kMaxDataLen) return FHS_READFID;
  if ((h->flags & FID_VARLEN) && (h->flags & FID_HASHED)) return FHS_HASHFIDMISMATCH;
  return FHS_OK;
}

int read_items(FidFile &file, const Header &h, fhitemdef *items) {
  char comment[FID_COMMENTMAX + 1];
  for (uint16_t i = 0; i < h.nitems; i++) {
    unsigned char raw[FID_ITEMSIZE];
    if (!file.read(raw, sizeof raw)) return FHS_READFID;
    fhitemdef &item = items[i];
    memcpy(item.name, raw, FID_NAMELEN);
    item.type = static_cast<char>(raw[10]);
    item.just = static_cast<char>(raw[11]);
    item.offset = get_u16(raw + 12);
    item.length = get_u16(raw + 14);
    item.count = get_u16(raw + 16);
    item.order = get_u16(raw + 18);
    uint32_t end = item.offset + uint32_t{item.length} * item.count;
    if (end > h.datalen || item.order >= h.nitems) return FHS_READFID;
    item.offset++;
    // The comment line is free text; a missing last one harms nothing.
    file.line(comment, FID_COMMENTMAX);
  }
  return FHS_OK;
}

// A temporary index takes its key from the expression; the descriptors of
// the file are passed over so that the thread lines after them are found.
int skip_keys(FidFile &file, const Header &h) {
  for (unsigned k = 0; k < h.nkeys; k++) {
    unsigned char raw[FID_KEYSIZE];
    if (!file.read(raw, sizeof raw)) return FHS_READFID;
  }
  return FHS_OK;
}

int read_keys(FidFile &file, const Header &h, fhkeydef *keys) {
  for (unsigned k = 0; k < h.nkeys; k++) {
    unsigned char raw[FID_KEYSIZE];
    if (!file.read(raw, sizeof raw)) return FHS_READFID;
    fhkeydef &key = keys[k];
    memcpy(key.unused, raw, sizeof key.unused);
    key.keylen = raw[10];
    key.nsegs = raw[11];
    if (key.nsegs < 1 || key.nsegs > FID_MAXSEGS) return FHS_READFID;
    unsigned total = 0;
    for (unsigned s = 0; s < FID_MAXSEGS; s++) {
      const unsigned char *p = raw + 12 + 4 * s;
      key.seg[s] = {get_u16(p), p[2], p[3]};
      if (s >= key.nsegs) continue;
      if (uint32_t{key.seg[s].offset} + key.seg[s].length > h.datalen) return FHS_READFID;
      total += key.seg[s].length;
    }
    if (total != key.keylen) return FHS_READFID;
    if (k > 0) {
      unsigned full = unsigned{key.keylen} + keys[0].keylen;
      if (full >= FH_KEYBUFSIZE) return FHS_READFID;
      key.keylen = static_cast<uint8_t>(full);
    }
  }
  return FHS_OK;
}

// Upper-cases `text` except inside single- or double-quoted parts.
void upper_outside_quotes(char *text) {
  char quote = 0;
  for (char *p = text; *p; p++) {
    if (quote) {
      if (*p == quote) quote = 0;
    } else if (*p == '\'' || *p == '"') {
      quote = *p;
    } else {
      *p = static_cast<char>(ascii_upper(static_cast<unsigned char>(*p)));
    }
  }
}

int read_threads(FidFile &file, fhrequest *block, fhthreaddef *threads) {
  for (uint16_t t = 0; t < block->nthreads; t++) {
    char name[FID_THREADNAMEMAX + 1];
    if (!file.line(name, FID_THREADNAMEMAX)) return FHS_READFID;
    size_t len = 0;
    while (len < FID_NAMELEN && name[len] && name[len] != ' ') {
      name[len] = static_cast<char>(ascii_upper(static_cast<unsigned char>(name[len])));
      len++;
    }
    name[len] = '\0';
    int32_t n = _fhfidoffset(block, name);
    if (n < 0) return FHS_READFID;
    const fhitemdef &item = block->itemdefs[n];
    if (item.offset < FID_MINDATALEN + 1) return FHS_THREADLOW;
    if (item.length < 4) return FHS_THREADSHORT;
    threads[t].offset = item.offset;
    char expr[FID_THREADEXPRMAX + 1];
    if (!file.line(expr, FID_THREADEXPRMAX)) return FHS_READFID;
    expr[FID_THREADEXPRMAX - 1] = '\0';  // keep the table's copy terminated
    upper_outside_quotes(expr);
    memcpy(threads[t].expr, expr, sizeof threads[t].expr);
  }
  return FHS_OK;
}

template <typename T>
T *alloc_table(size_t count) {
  return count ? static_cast<T *>(globalcalloc(count, sizeof(T))) : nullptr;
}

int load_tables(FidFile &file, fhrequest *block) {
  Header h;
  int status = read_header(file, &h);
  if (status != FHS_OK) return status;

  block->itemdefs = alloc_table<fhitemdef>(h.nitems);
  if (h.nitems && !block->itemdefs) return FHS_NOMEMORY;
  block->nitems = h.nitems;
  status = read_items(file, h, block->itemdefs);
  if (status != FHS_OK) return status;

  bool temp = (block->mode & FH_TEMPINDEX) != 0;
  unsigned nkeys = temp ? 1 : h.nkeys;
  block->keydefs = alloc_table<fhkeydef>(nkeys);
  if (nkeys && !block->keydefs) return FHS_NOMEMORY;
  block->nkeys = static_cast<uint8_t>(nkeys);
  status = temp ? skip_keys(file, h) : read_keys(file, h, block->keydefs);
  if (status == FHS_OK && temp) status = fid_tempkey(block, block->keybuf, block->keydefs);
  if (status != FHS_OK) return status;

  block->threaddefs = alloc_table<fhthreaddef>(h.nthreads);
  if (h.nthreads && !block->threaddefs) return FHS_NOMEMORY;
  block->nthreads = h.nthreads;
  status = read_threads(file, block, block->threaddefs);
  if (status != FHS_OK) return status;

  block->reclen = static_cast<uint16_t>(h.datalen + 2);
  block->curkey = 0;
  uint16_t mode = block->mode & static_cast<uint16_t>(~(FH_VARLEN | FH_HASHED));
  if (h.flags & FID_VARLEN) mode |= FH_VARLEN;
  if (h.flags & FID_HASHED) {
    mode |= FH_HASHED;
    block->hashsize = h.hashsize;
  }
  block->mode = mode;
  return FHS_OK;
}

bool skip_space(const char *&p) {
  while (*p == ' ') p++;
  return *p != '\0';
}

bool name_char(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return ascii_letter(u) || ascii_digit(u) || c == '_';
}

}  // namespace

int fid_prepare(fhrequest *block) {
  if (!(block->mode & FH_TEMPINDEX)) {
    if (strncmp(block->fidname, "*SEQ", 4) == 0 || (block->mode & FH_NOFID)) return FHS_OK;
  }
  if (block->fidname[0] == '\0') {
    char datname[FH_NAMESIZE];
    size_t len = strnlen(block->datname, FH_NAMESIZE);
    if (len == FH_NAMESIZE) return FHS_OPENFID;
    memcpy(datname, block->datname, len + 1);
    if (!derive_name(datname, kFidExt, block->fidname, FH_NAMESIZE)) return FHS_OPENFID;
  }
  return fid_load(block);
}

int fid_load(fhrequest *block) {
  block->itemdefs = nullptr;
  block->keydefs = nullptr;
  block->threaddefs = nullptr;
  block->nitems = 0;
  block->nkeys = 0;
  block->nthreads = 0;
  if (strnlen(block->fidname, FH_NAMESIZE) == FH_NAMESIZE) return FHS_OPENFID;
  int slot = open_fid(block);
  if (slot < 0) return -slot;
  int status;
  {
    FidFile file(slot);
    status = load_tables(file, block);
  }
  if (status != FHS_OK) fid_free(block);
  return status;
}

void fid_free(fhrequest *block) {
  globalmfree(block->itemdefs);
  globalmfree(block->keydefs);
  globalmfree(block->threaddefs);
  block->itemdefs = nullptr;
  block->keydefs = nullptr;
  block->threaddefs = nullptr;
  block->nitems = 0;
  block->nkeys = 0;
  block->nthreads = 0;
}

int fid_tempkey(const fhrequest *block, const char *expr, fhkeydef *key) {
  memset(key, 0, sizeof *key);
  if (!expr) return FHS_BADTEMPEXPR;
  const char *p = expr;
  unsigned total = 0;
  while (true) {
    skip_space(p);
    uint8_t flags = 0;
    while (*p == '+' || *p == '-') {
      if (*p == '-') flags |= SEG_DESCENDING;
      p++;
      skip_space(p);
    }
    if (*p >= 'a' && *p <= 'z') flags |= SEG_CASE;
    char name[FID_NAMELEN] = {};
    size_t len = 0;
    for (; name_char(p[len]); len++) {
      if (len >= FID_NAMELEN) return FHS_BADTEMPEXPR;
      name[len] = static_cast<char>(ascii_upper(static_cast<unsigned char>(p[len])));
    }
    if (len == 0) return FHS_BADTEMPEXPR;
    p += len;
    const fhitemdef *item = nullptr;
    for (uint16_t i = 0; i < block->nitems && !item; i++) {
      if (memcmp(block->itemdefs[i].name, name, FID_NAMELEN) == 0) item = &block->itemdefs[i];
    }
    if (!item || key->nsegs >= FID_MAXSEGS) return FHS_BADTEMPEXPR;
    char type = static_cast<char>(ascii_upper(static_cast<unsigned char>(item->type)));
    uint8_t length = static_cast<uint8_t>(item->length & 0xFF);
    if ((type == 'D' && item->length < 11) || type == 'J') flags |= SEG_DATE;
    key->seg[key->nsegs++] = {static_cast<uint16_t>(item->offset - 1), length, flags};
    total += length;
    if (!skip_space(p)) break;
  }
  total += 4;
  if (total >= FH_KEYBUFSIZE) return FHS_BADTEMPEXPR;
  key->keylen = static_cast<uint8_t>(total);
  return FHS_OK;
}

}  // namespace corvex

using namespace corvex;

int32_t _fhfidoffset(fhrequest *block, const char *name) {
  if (!block || !name || !block->itemdefs || block->nitems == 0) return -1;
  const fhitemdef *items = block->itemdefs;
  uint32_t lo = 0;
  uint32_t hi = block->nitems;
  while (true) {
    uint32_t half = (hi - lo) / 2;
    uint32_t mid = lo + half;
    uint16_t n = items[mid].order;
    if (n >= block->nitems) return -1;
    int cmp = strncmp(name, items[n].name, FID_NAMELEN);
    if (cmp == 0) return n;
    if (half == 0) return -1;
    if (cmp < 0) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
}
