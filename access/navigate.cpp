// Moving between records, positioning, reading and writing, keys and locks.
#include <cstdlib>
#include <cstring>

#include "access/block_io.h"
#include "access/cipher.h"
#include "access/item_access.h"
#include "access/kdb.h"
#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/request.h"
#include "access/return_code.h"
#include "access/seqio.h"
#include "engine/index/keys.h"
#include "engine/rfh.h"
#include "util/memory.h"
#include "util/sharecheck.h"
#include "util/text.h"

using namespace lumbra;

namespace {

constexpr uint32_t kLastRecordNumber = 999999;

// The record number of the current record (the header is slot 0).
uint32_t current_slot(const fhrequest &r) {
  return r.reclen != 0 && r.recpos > 0 ? static_cast<uint32_t>(r.recpos) / r.reclen : 0;
}

void set_record_number(fhrequest &r, uint32_t n) { memcpy(r.keybuf, &n, sizeof n); }

// Puts the current record's value of the current key into the key buffer.
void build_current_key(fhrequest &r) {
  char key[FH_KEYBUFSIZE * 2] = {};
  int len = _bldkey(&r, r.curkey, key);
  if (len < 0) len = 0;
  if (len >= FH_KEYBUFSIZE) len = FH_KEYBUFSIZE - 1;
  memcpy(r.keybuf, key, len);
  r.keybuf[len] = '\0';
}

// The first steps of the four navigation functions: the file, with the key
// selected when keyno is 0 or more and exact matching off; null when id is
// not open or not a record file.
kdb_file *begin_navigation(int id, int keyno) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr || !is_record_file(*f) || f->req.keybuf == nullptr) return nullptr;
  int16_t key = sarg16(keyno);
  if (key >= 0) _rfhsetkey(&f->req, static_cast<uint8_t>(key));
  set_flag(f->req, FH_EXACT, false);
  return f;
}

// Positions on the record before the one the key buffer or record number
// designates, and reads it.
int back_and_read(kdb_file &f) {
  if (_rfhposn(&f.req, 0) != 0) return settle(f);
  if (_rfhbacksp(&f.req) != 0) return settle(f);
  return read_found(f);
}

// Moves past the current record of a variable-length file, which has no
// record slots to count: reading the record (into a scratch buffer, so that
// the caller's buffer stays as it is at the end) advances by its stored
// length. False when the read failed otherwise than on a deleted record.
bool step_past_current(fhrequest &r) {
  char *own = r.recbuf;
  auto *scratch = static_cast<char *>(globalmalloc(r.reclen + 8u));
  if (scratch == nullptr) {
    r.status = FHS_NOMEMORY;
    return false;
  }
  r.recbuf = scratch;
  bool moved = _rfhread(&r, 0) == 0 || r.status == FHS_DELETED;
  r.recbuf = own;
  globalmfree(scratch);
  return moved;
}

// Makes one request on an open file and returns its code.
int simple_request(int id, int32_t (*request)(fhrequest *)) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  request(&f->req);
  return settle(*f);
}

// Writes the record buffer through a copy (enciphered when the file has a
// key), so that the record buffer stays in clear and a failed write leaves the
// buffer as it was, and secures the file after every n-th write when asked.
// `request` is the engine's write or add.
int write_record(kdb_file &f, bool stay, int32_t (*request)(fhrequest *, int32_t)) {
  fhrequest &r = f.req;
  char *own = r.recbuf;
  auto *copy = static_cast<char *>(globalmalloc(r.reclen + 8u));
  if (copy == nullptr) return kNotOpen;
  memcpy(copy, own, r.reclen + 1u);
  encipher(f, copy);
  r.recbuf = copy;
  bool ok = request(&r, stay) == 0;
  r.recbuf = own;
  globalmfree(copy);
  if (!ok) return settle(f);
  uint16_t interval = settings().autosecure;
  if (interval != 0 && ++f.writes >= interval) {
    f.writes = 0;
    if (_rfhsecure(&r) != 0) return settle(f);
  }
  f.bufpos = start_position(f);
  return settle(f);
}

}  // namespace

int KDBfirstrec(int id, int keyno) {
  kdb_file *f = begin_navigation(id, keyno);
  if (f == nullptr) return kNotOpen;
  if (by_record_number(*f))
    set_record_number(f->req, 0);
  else
    memset(f->req.keybuf, ' ', FH_KEYBUFSIZE);
  if (_rfhposn(&f->req, 0) != 0) return settle(*f);
  return read_found(*f);
}

int KDBlastrec(int id, int keyno) {
  kdb_file *f = begin_navigation(id, keyno);
  if (f == nullptr) return kNotOpen;
  if (by_record_number(*f))
    set_record_number(f->req, kLastRecordNumber);
  else
    memset(f->req.keybuf, '~', FH_KEYBUFSIZE);
  return back_and_read(*f);
}

int KDBnextrec(int id, int keyno) {
  kdb_file *f = begin_navigation(id, keyno);
  if (f == nullptr) return kNotOpen;
  fhrequest &r = f->req;
  if (by_record_number(*f) && (r.mode & FH_VARLEN)) {
    if (!step_past_current(r)) return settle(*f);
    return read_found(*f);
  }
  if (by_record_number(*f)) {
    // The current record's slot is the next record's number (numbers count
    // data records from 0, slots count the header as 0).
    set_record_number(r, current_slot(r));
    if (_rfhposn(&r, 0) != 0) return settle(*f);
    return read_found(*f);
  }
  build_current_key(r);
  if (_rfhposn(&r, 0) != 0) return settle(*f);
  if (_rfhread(&r, 0) != 0) return settle(*f);
  return read_found(*f);
}

int KDBprevrec(int id, int keyno) {
  kdb_file *f = begin_navigation(id, keyno);
  if (f == nullptr) return kNotOpen;
  fhrequest &r = f->req;
  if (by_record_number(*f)) {
    uint32_t slot = current_slot(r);
    set_record_number(r, slot > 0 ? slot - 1 : 0);
  } else {
    build_current_key(r);
  }
  return back_and_read(*f);
}

int KDBposn(int id, const char *key, int keyno, const char *item, int flags) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  clear_status(id);
  if (!is_record_file(*f)) return kWrongFileType;
  fhrequest &r = f->req;
  if (r.keybuf == nullptr) return kEngineFailure;
  key = str(key);
  uint16_t fl = arg16(flags);
  if (str(item)[0] != '\0') {
    const fhitemdef *def = item_def(r, item_number(r, item));
    if (def == nullptr || r.threaddefs == nullptr) return kFidBad;
    int thread = -1;
    for (int t = 0; t < r.nthreads && thread < 0; ++t)
      if (r.threaddefs[t].offset == def->offset) thread = t;
    if (thread < 0) return kFidBad;
    r.curkey = static_cast<int8_t>(thread);
    set_flag(r, FH_NOKEY, true);
    r.state |= ST_THREAD;
  } else {
    int16_t k = sarg16(keyno);
    if (k >= 0 && _rfhsetkey(&r, static_cast<uint8_t>(k)) != 0) return settle(*f);
    if (by_record_number(*f)) {
      set_record_number(r, static_cast<uint32_t>(strtol(key, nullptr, 10)));
    } else if (fl & 0x0008) {
      nstrncpy(r.keybuf, key, FH_KEYBUFSIZE - 1);
    } else {
      int klen = r.keydefs != nullptr && r.curkey >= 0 && r.curkey < r.nkeys
                     ? r.keydefs[r.curkey].keylen
                     : 0;
      if (klen >= FH_KEYBUFSIZE) klen = FH_KEYBUFSIZE - 1;
      memset(r.keybuf, ' ', klen);
      size_t n = strnlen(key, klen);
      memcpy(r.keybuf, key, n);
      r.keybuf[klen] = '\0';
    }
    r.state &= ~ST_THREAD;
  }
  set_flag(r, FH_REVERSE, fl & FH_REVERSE);
  _rfhposn(&r, fl & FH_EXACT);
  return settle(*f);
}

int KDBkey(int id, int keyno, int reverse) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  set_flag(f->req, FH_REVERSE, arg16(reverse) != 0);
  _rfhsetkey(&f->req, static_cast<uint8_t>(arg16(keyno)));
  return settle(*f);
}

int KDBread(int id, int flag) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  if (is_text_output(*f)) return kReadOnOutput;
  if (is_text_input(*f)) return next_line(*f, engine_block_io());
  if (_rfhread(&f->req, arg16(flag) != 0) != 0) return settle(*f);
  decipher(*f);
  f->bufpos = start_position(*f);
  return kOk;
}

int KDBwrite(int id, int count, int flag) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  if (is_text_input(*f)) return kWrongFileType;
  if (is_text_output(*f)) return write_line_ends(*f, engine_block_io(), sarg16(count));
  return write_record(*f, arg16(flag) != 0, _rfhwrite);
}

int KDBadd(int id, int flag) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  if (!is_record_file(*f)) return kWrongFileType;
  return write_record(*f, arg16(flag) != 0, _rfhadd);
}

int KDBfree(int id) { return simple_request(id, _rfhdelete); }

int KDBbackspace(int id) { return simple_request(id, _rfhbacksp); }

int KDBeof(int id) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  return (f->req.state & ST_POSITIONED) ? 0 : 1;
}

int KDBrlock(int id) { return simple_request(id, _rfhrlock); }

int KDBrunlock(int id) { return simple_request(id, _rfhrunlock); }

int KDBothers(int id) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  return share_others(f->req.datfd);
}

int KDBlretry(int header, int record) {
  settings().hdrtries = arg16(header);
  if (sarg16(record) > 0) settings().rectries = arg16(record);
  return kOk;
}
