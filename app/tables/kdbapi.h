// KdbApi: the record layer functions the program calls, with 8-bit texts
// going in and out. Every returned text is a copy, taken at once. Codes are
// those of the record layer, named in access/kdb.h (KDB_OK success).
#ifndef TESSALY_APP_TABLES_KDBAPI_H
#define TESSALY_APP_TABLES_KDBAPI_H

#include <QByteArray>

#include "access/kdb.h"

namespace tables {

class KdbApi {
public:
  virtual ~KdbApi() = default;

  // KDBinit: 0 starts a client and returns its client value.
  virtual int init(int client) = 0;
  // KDBhost: selects the network mode `name` for the client of `id`.
  virtual int host(int id, const QByteArray &name) = 0;
  // KDBopen with empty description and index names (derived from `datname`).
  virtual int open(const QByteArray &datname, int id, int type, int mode) = 0;
  // KDBposn with an empty item name.
  virtual int posn(int id, const QByteArray &key, int keyno, int flags) = 0;
  // KDBread: 0 when a record was read into the record buffer.
  virtual int read(int id, int flag) = 0;
  // KDBwrite: stores the record buffer, adding or replacing.
  virtual int write(int id, int count, int flag) = 0;
  // KDBadd: stores the record buffer as a new record only; KDB_KEY_EXISTS
  // (nothing written) when a record has its key.
  virtual int add(int id, int flag) = 0;
  // KDBrlock / KDBrunlock: locks the current record against other
  // programs (KDB_LOCKED while another holds it) / releases it.
  virtual int lock(int id) = 0;
  virtual int unlock(int id) = 0;
  // KDBothers: 1 when another program has the file open.
  virtual int others(int id) = 0;
  // KDBclose.
  virtual int close(int id) = 0;
  // KDBfree: deletes the current record.
  virtual int remove(int id) = 0;
  // KDBfiditemstub: occurrence `occ` of item `name`, "" when unknown.
  virtual QByteArray itemStub(const QByteArray &name, int id, int occ) = 0;
  // KDBcopyfid: the item a reference names, "" when unknown.
  virtual QByteArray copyFid(const QByteArray &ref, int id) = 0;
  // KDBcopyfput: stores `text` in the item a reference names.
  virtual int copyFput(const QByteArray &text, const QByteArray &ref, int id) = 0;
};

}  // namespace tables

#endif
