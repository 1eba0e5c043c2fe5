// Sequential fields at the buffer position, and whole-buffer operations.
#include <cstring>

#include "access/block_io.h"
#include "access/kdb.h"
#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/return_code.h"
#include "access/seqio.h"
#include "util/text.h"

using namespace lumbra;

int KDBrclear(int id) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  memset(f->req.recbuf, ' ', f->req.reclen);
  return kOk;
}

int KDBrestart(int id, int pos) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  f->bufpos = static_cast<uint16_t>(arg16(pos) + start_position(*f));
  return kOk;
}

int KDBget(char *buffer, int id, int16_t *len) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  return get_field(*f, engine_block_io(), buffer, len);
}

int KDBput(const char *text, int id, int width) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  return put_field(*f, engine_block_io(), text, sarg16(width));
}

int KDBputtab(int id, int col) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  int n = sarg16(col) - f->column;
  return KDBput("", id, n > 0 ? n : 0);
}

int KDBputnull(int) { return kOk; }

int KDBrsear(int id, const char *text, int caseblind) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  text = str(text);
  const fhrequest &r = f->req;
  long n = static_cast<long>(strlen(text));
  for (long at = 1; at < static_cast<long>(r.reclen) - n; ++at) {
    const char *p = r.recbuf + at;
    bool same = arg16(caseblind) != 0 ? casencmp(p, text, static_cast<int>(n)) == 0
                                      : memcmp(p, text, n) == 0;
    if (same) return kOk;
  }
  return kNotFound;
}
