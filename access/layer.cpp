#include "access/layer.h"

#include <cstring>

#include "access/block_io.h"
#include "access/chain.h"
#include "access/cipher.h"
#include "access/file_table.h"
#include "access/machine_state.h"
#include "access/request.h"
#include "access/return_code.h"
#include "access/seqio.h"
#include "engine/rfh.h"
#include "util/memory.h"

namespace lumbra {

Settings &settings() {
  static Settings s;
  return s;
}

void clear_status(int id) { machine_set_last_status(client_of(id), 0); }

int settle(int id, const fhrequest &r) {
  machine_set_last_status(client_of(id), r.status);
  return translate_status(r.status);
}

kdb_file *lookup(int id) {
  kdb_file *f = open_files().find(arg16(id));
  if (f == nullptr || !(f->flags & kRestored)) return f;
  return reopen_restored(*f) ? f : nullptr;
}

int close_file(kdb_file *f) {
  if (f->flags & kRestored) return discard_restored(f);
  int write_rc = kOk;
  if (is_text_output(*f)) write_rc = flush_output(*f, engine_block_io());
  if (f->companion.datname[0] != '\0') {
    _rfhclose(&f->companion);
    memset(&f->companion, 0, sizeof f->companion);
  }
  _rfhclose(&f->req);  // frees the record buffer whatever the result
  int close_rc = settle(*f);
  open_files().remove(f->id);
  globalmfree(f);
  return close_rc != kOk ? close_rc : write_rc;
}

int position_at_start(kdb_file &f) {
  if (!is_record_file(f)) return kOk;
  fhrequest &r = f.req;
  if (r.keybuf == nullptr) return kEngineFailure;
  if (by_record_number(f)) {
    uint32_t first = 0;
    memcpy(r.keybuf, &first, sizeof first);
  } else {
    bool descending = r.keydefs != nullptr && (r.keydefs[0].seg[0].flags & SEG_DESCENDING);
    memset(r.keybuf, descending ? '~' : ' ', FH_KEYBUFSIZE);
    set_flag(r, FH_EXACT, false);
  }
  send(r, FHOP_POSITION);
  return settle(f);
}

int read_found(kdb_file &f) {
  if (_rfhread(&f.req, 1) != 0) return settle(f);
  decipher(f);
  f.bufpos = start_position(f);
  return settle(f);
}

}  // namespace lumbra
