// Clients, opening and closing, and the client-wide functions.
#include <cstring>

#include "access/block_io.h"
#include "access/file_table.h"
#include "access/kdb.h"
#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/machine_state.h"
#include "access/request.h"
#include "access/return_code.h"
#include "engine/rfh.h"
#include "util/memory.h"
#include "util/text.h"

using namespace lumbra;

namespace {

constexpr int kNameMax = FH_NAMESIZE - 1;
constexpr uint16_t kTextBlock = 128;
constexpr uint16_t kSmallBlock = 3;
constexpr char kEofChar = 26;

// Copies a file name into a request block field, cut to 64 characters and
// trimmed of trailing blanks.
void set_name(char (&field)[FH_NAMESIZE], const char *name) {
  nstrncpy(field, str(name), kNameMax);
  trim(field);
}

}  // namespace

int lumbra::open_common(const char *dat, const char *fid, const char *idx, int id, int type,
                        int mode, uint8_t opcode, kdb_file **out, const char *selection) {
  clear_status(id);
  FileTable &table = open_files();
  if (table.full()) return kTableFull;
  if (table.find(arg16(id)) != nullptr) return kAlreadyOpen;
  type = arg16(type);
  if (type > kDelimIn) return kWrongFileType;
  auto *f = static_cast<kdb_file *>(globalcalloc(1, sizeof(kdb_file)));
  if (f == nullptr) return kNoMemory;
  f->id = arg16(id);
  f->type = static_cast<uint8_t>(type);
  fhrequest &r = f->req;
  set_name(r.datname, dat);
  set_name(r.fidname, is_record_file(*f) ? fid : "*SEQ");
  set_name(r.idxname, idx);
  r.mode = arg16(mode);
  r.hdrtries = settings().hdrtries;
  r.rectries = settings().rectries;
  char expression[kSelectionMax + 1];
  if (opcode == FHOP_TEMPINDEX) {  // the engine takes the key expression at keybuf
    nstrncpy(expression, str(selection), kSelectionMax);
    r.keybuf = expression;
  }
  // An open that found an unfinished update still opened the file.
  bool recover = false;
  if (!send(r, opcode)) {
    if (r.status != FHS_RECOVER) {
      int rc = settle(*f);
      globalmfree(f);
      return rc;
    }
    recover = true;
  }
  if (f->type == kKeyed && r.nkeys == 0) f->type = kNumbered;
  bool bad = false;
  if (!is_record_file(*f)) {
    r.reclen = (r.mode & kModeSmallBuffer) ? kSmallBlock : kTextBlock;
  } else if (r.nitems == 0 || r.reclen < 2) {
    bad = true;  // a record file needs a description with records
  }
  if (!bad) r.recbuf = static_cast<char *>(globalmalloc(r.reclen + 8u));
  if (bad || r.recbuf == nullptr) {
    send(r, FHOP_CLOSE);
    globalmfree(f);
    return bad ? kWrongFileType : kNoMemory;
  }
  memset(r.recbuf, ' ', r.reclen);
  r.recbuf[r.reclen - 1] = '\n';
  r.recbuf[r.reclen] = '\0';
  f->bufpos = start_position(*f);
  table.add(f->id, f);
  *out = f;
  return recover ? kNeedsRecover : kOk;
}

namespace {

// Places a text output file on its last block, with that block in the buffer
// and the buffer position on its first end-of-file character, so that writing
// continues after what the file holds. The requests' statuses do not count: a
// new, empty file simply starts at the beginning.
void append_position(kdb_file &f) {
  fhrequest &r = f.req;
  send(r, FHOP_END);
  _rfhbacksp(&r);
  _rfhread(&r, 1);
  _rfhbacksp(&r);
  const void *eof = memchr(r.recbuf, kEofChar, r.reclen);
  f.bufpos = eof ? static_cast<uint16_t>(static_cast<const char *>(eof) - r.recbuf) : r.reclen;
  clear_status(f.id);
}

// Closes a file whose open failed after the common step, so that no entry is
// left behind; the failure's status stays the client's last and is returned.
int abandon_open(kdb_file *f) {
  int id = f->id;
  uint8_t status = f->req.status;
  close_file(f);
  fhrequest failed{};
  failed.status = status;
  return settle(id, failed);
}

}  // namespace

int KDBinit(int client) {
  if (arg16(client) == 0) {
    uint8_t number = machine_next_client();
    if (number == 0) return -1;
    send_plain(FHOP_INIT);
    int value = number * 256;
    KDBdatafree(value);  // a hand-over under this number that no program took up
    return value;
  }
  KDBcloseall(client);
  KDBwsclear(client);
  send_plain(FHOP_TERMINATE);
  return 0;
}

int KDBopen(const char *dat, const char *fid, const char *idx, int id, int type, int mode) {
  kdb_file *f = nullptr;
  int rc = open_common(dat, fid, idx, id, type, mode, FHOP_OPEN, &f);
  if (rc != kOk && rc != kNeedsRecover) return rc;
  position_at_start(*f);
  clear_status(id);
  if (is_text_input(*f)) {
    if (_rfhread(&f->req, 1) != 0) return abandon_open(f);
  } else if (is_text_output(*f) && !(f->req.mode & kModeSmallBuffer)) {
    append_position(*f);
  }
  return rc;
}

int KDBmake(const char *dat, const char *fid, const char *idx, int id, int type, int mode) {
  kdb_file *f = nullptr;
  if (int rc = open_common(dat, fid, idx, id, type, mode, FHOP_MAKE, &f)) return rc;
  return position_at_start(*f);
}

int KDBopenmake(const char *dat, const char *fid, const char *idx, int id, int type, int mode) {
  int rc = KDBopen(dat, fid, idx, id, type, mode);
  if (rc != kCannotOpen) return rc;
  return KDBmake(dat, fid, idx, id, type, mode);
}

int KDBclose(int id) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  return close_file(f);
}

int KDBcloseall(int client) {
  uint16_t value = arg16(client);
  FileTable &table = open_files();
  for (int i = table.count() - 1; i >= 0; --i) {
    const FileTable::Entry &e = table.at(i);
    if ((e.id & 0xFF00) != value) continue;
    if (int rc = close_file(e.file)) return rc;
  }
  return kOk;
}

// A file restored from a hand-over counts as open once it could be opened
// again, as for every other call on it.
int KDBisopen(int id) { return lookup(id) != nullptr ? 1 : 0; }

int KDBfiletype(int id, double *info) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  if (info == nullptr) return kOk;
  const fhrequest &r = f->req;
  info[0] = f->type;
  if (!is_record_file(*f)) return kOk;
  double slot = r.reclen != 0 ? r.recpos / r.reclen : 0;
  if (by_record_number(*f)) {
    info[0] = kNumbered;
    info[1] = r.reclen;
    info[2] = r.nrecs;
    info[3] = slot;
  } else {
    info[1] = r.nkeys;
    info[2] = r.curkey + 1;
    info[3] = r.reclen;
    info[4] = r.nrecs;
    info[5] = slot;
  }
  return kOk;
}

int KDBhost(int id, const char *name) {
  constexpr int kModeNameMax = 10;
  char copy[kModeNameMax + 1];
  nstrncpy(copy, str(name), kModeNameMax);
  trim(copy);
  fhrequest r{};
  r.keybuf = copy;
  send(r, FHOP_NETMODE);
  return settle(id, r);
}

int KDBerr(int id) { return machine_last_status(client_of(id)); }

int KDBsecure(int id) {
  clear_status(id);
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  _rfhsecure(&f->req);
  return settle(*f);
}

int KDBautosecure(int n) {
  settings().autosecure = arg16(n);
  return settings().autosecure;
}
