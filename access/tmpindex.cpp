// Temporary indexes: a record file opened with an index built for one
// selection, so that navigation walks only the selected records, in the
// order of the selection's key expression.
//
// A new temporary index is filled by a selection pass: KDBtmpread reads the
// data file in physical order, and the caller calls KDBtmpwrite for each
// record that belongs to the selection, which adds that record's entry to the
// index. At the end of the data file the file turns into a read-only file
// read through the temporary index.
#include <cstdint>

#include "access/kdb.h"
#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/machine_state.h"
#include "access/request.h"
#include "access/return_code.h"

using namespace lumbra;

namespace {

// Where the last read of a selection pass started (one per program).
int32_t g_last_read_position = 0;

// Makes f read, read-only, through its temporary index.
void read_through_index(kdb_file &f) {
  set_flag(f.req, FH_READONLY, true);
  set_flag(f.req, FH_NOKEY, false);
}

}  // namespace

int KDBtmpidx(const char *dat, const char *fid, const char *idx, int id, int type, int mode,
              const char *selection, int16_t *pass_needed) {
  kdb_file *f = nullptr;
  if (int rc = open_common(dat, fid, idx, id, type, mode, FHOP_TEMPINDEX, &f, selection)) return rc;
  int16_t needed = 0;
  fhrequest &r = f->req;
  if (r.state & ST_TIDXEXISTED) {
    read_through_index(*f);
  } else {
    needed = 1;
    set_flag(r, FH_STAY, false);
    set_flag(r, FH_NOKEY, true);
    r.recpos = r.reclen;  // the first record after the header
  }
  if (pass_needed != nullptr) *pass_needed = needed;
  position_at_start(*f);
  return kOk;
}

int KDBtmpread(int id) {
  kdb_file *f = lookup(id);
  // Not 7, which asks for more of the pass: a failed KDBtmpwrite closes the
  // file under a caller's loop.
  if (f == nullptr) return kPassNotOpen;
  fhrequest &r = f->req;
  // Deleted records are passed over, as long as each read moves on.
  do {
    g_last_read_position = r.recpos;
    send(r, FHOP_READ);
  } while (r.status == FHS_DELETED && r.recpos != g_last_read_position);
  if (r.status != FHS_NORECORD) return kNotOpen;  // a record was read, or the read failed
  if (r.state & ST_POSITIONED) return 1;
  // The pass is over: the client's last status stays what it was.
  uint8_t last = machine_last_status(client_of(id));
  read_through_index(*f);
  send(r, FHOP_SECURE);
  position_at_start(*f);
  machine_set_last_status(client_of(id), last);
  return kOk;
}

int KDBtmpwrite(int id) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  fhrequest &r = f->req;
  int32_t saved = r.recpos;
  r.recpos = g_last_read_position;
  bool ok = send(r, FHOP_WRITE);
  r.recpos = saved;
  if (ok) return kOk;
  KDBclose(id);
  return kEngineFailure;
}
