// Chain hand-over: strings and open files passed from one program to the next
// program it starts, through the machine-wide chain tables.
//
// A saved file is one block:
//   SavedHeader                   magic, size of the context, record length
//   kdb_file                      the context, with everything that only means
//                                 something in the handing process cleared
//   record length + 2 bytes       the start of the record buffer
// The receiving side trusts none of it: a block of another size or layout is
// dropped, and the cleared fields are cleared again.
#include <algorithm>
#include <cstring>
#include <string>

#include "access/chain.h"
#include "access/chain_table.h"
#include "access/file_table.h"
#include "access/kdb.h"
#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/machine_state.h"
#include "access/request.h"
#include "access/result_buffer.h"
#include "access/return_code.h"
#include "engine/rfh.h"
#include "util/memory.h"

using namespace lumbra;

namespace {

constexpr uint32_t kSavedMagic = 0x4C534631;  // "LSF1"

struct SavedHeader {
  uint32_t magic;
  uint32_t context_size;
  uint16_t reclen;
};

// The bytes of the record buffer that travel with a file.
size_t saved_buffer_size(uint16_t reclen) { return reclen + 2u; }

// Clears what refers to this process: engine handles, tables and buffers, the
// record lock (closing releases it) and the companion block (never opened by
// this layer, so only ever zero).
void clear_process_state(kdb_file &f) {
  fhrequest &r = f.req;
  r.keyarg = 0;
  r.recbuf = nullptr;
  r.keybuf = nullptr;
  r.datfd = 0;
  r.idxfd = 0;
  r.idxctx = nullptr;
  r.keydefs = nullptr;
  r.itemdefs = nullptr;
  r.threaddefs = nullptr;
  r.reserved268 = 0;
  r.lockpos = 0;
  r.state &= ~ST_HDRDIRTY;
  memset(&f.companion, 0, sizeof f.companion);
}

std::string save(const kdb_file &f) {
  SavedHeader header{kSavedMagic, sizeof(kdb_file), f.req.reclen};
  kdb_file copy;
  memcpy(&copy, &f, sizeof copy);
  clear_process_state(copy);
  std::string block(reinterpret_cast<const char *>(&header), sizeof header);
  block.append(reinterpret_cast<const char *>(&copy), sizeof copy);
  block.append(f.req.recbuf, saved_buffer_size(f.req.reclen));
  return block;
}

// The largest saved block: a context with a record of the longest length.
constexpr size_t kSavedMax = sizeof(SavedHeader) + sizeof(kdb_file) + UINT16_MAX + 2u;

enum class Restore { kOk, kDamaged, kNoMemory };

// Makes a context from a saved block, marked to be reopened on first use.
Restore restore(const std::string &block, kdb_file **out) {
  SavedHeader header;
  kdb_file saved;
  if (block.size() < sizeof header + sizeof saved) return Restore::kDamaged;
  memcpy(&header, block.data(), sizeof header);
  memcpy(&saved, block.data() + sizeof header, sizeof saved);
  const fhrequest &r = saved.req;
  size_t buffer = saved_buffer_size(r.reclen);
  if (header.magic != kSavedMagic || header.context_size != sizeof saved || header.reclen != r.reclen ||
      block.size() != sizeof header + sizeof saved + buffer || saved.type > kDelimIn || r.reclen < 2 ||
      saved.bufpos > r.reclen || (r.mode & FH_NOFID)) {
    return Restore::kDamaged;
  }
  auto *f = static_cast<kdb_file *>(globalcalloc(1, sizeof(kdb_file)));
  if (f == nullptr) return Restore::kNoMemory;
  *f = saved;
  clear_process_state(*f);
  f->req.datname[FH_NAMESIZE - 1] = '\0';
  f->req.fidname[FH_NAMESIZE - 1] = '\0';
  f->req.idxname[FH_NAMESIZE - 1] = '\0';
  f->crypt_key[kKeyTextMax] = '\0';
  f->req.recbuf = static_cast<char *>(globalmalloc(r.reclen + 8u));
  if (f->req.recbuf == nullptr) {
    globalmfree(f);
    return Restore::kNoMemory;
  }
  memcpy(f->req.recbuf, block.data() + sizeof header + sizeof saved, buffer);
  f->flags |= kRestored;
  *out = f;
  return Restore::kOk;
}

void free_context(kdb_file *f) {
  globalmfree(f->req.recbuf);
  globalmfree(f);
}

}  // namespace

namespace lumbra {

bool reopen_restored(kdb_file &f) {
  fhrequest &r = f.req;
  const int32_t position = r.recpos;
  const uint16_t positioned = r.state & ST_POSITIONED;
  const uint16_t thread = r.state & ST_THREAD;
  const int8_t key = r.curkey;
  const uint16_t reclen = r.reclen;
  if (!send(r, FHOP_OPEN)) {
    settle(f);
    return false;
  }
  if (r.reclen != reclen) {
    send(r, FHOP_CLOSE);
    r.reclen = reclen;
    r.status = FHS_DATFIDMISMATCH;
    settle(f);
    return false;
  }
  // Opening positions at the start by the first key; the handing program had
  // the file elsewhere, walking by its current key or thread.
  if (thread) {
    r.curkey = key;
  } else if (key > 0 && !(r.mode & FH_NOKEY)) {
    _rfhsetkey(&r, static_cast<uint8_t>(key + 1));
  }
  r.recpos = position;
  r.state = static_cast<uint16_t>((r.state & ~(ST_POSITIONED | ST_THREAD)) | positioned | thread);
  f.flags &= ~kRestored;
  return true;
}

int discard_restored(kdb_file *f) {
  open_files().remove(f->id);
  free_context(f);
  return kOk;
}

}  // namespace lumbra

int KDBputfiles(int client) {
  uint8_t c = client_of(client);
  if (!chain_set_busy(c, kChainBusy)) return kOk;
  FileTable &table = open_files();
  int left_behind = 0;
  while (table.count() > 0) {
    int slot = table.count() - 1;
    kdb_file *f = table.at(slot).file;
    if (slot >= kChainSlots) {
      ++left_behind;
    } else {
      std::string block = save(*f);
      if (!chain_store(c, ChainKind::kFile, slot, block.data(), block.size())) break;
    }
    close_file(f);
  }
  send_plain(FHOP_TERMINATE);
  machine_set_last_status(c, static_cast<uint8_t>(std::min(left_behind, 255)));
  return kOk;
}

int KDBgetfiles(int client, const char *host) {
  send_plain(FHOP_INIT);
  KDBhost(client, host);
  uint8_t c = client_of(client);
  FileTable &table = open_files();
  for (int slot = 0; slot < kChainSlots; ++slot) {
    std::string block;
    if (!chain_read(c, ChainKind::kFile, slot, kSavedMax, &block)) break;
    kdb_file *f = nullptr;
    Restore result = restore(block, &f);
    if (result == Restore::kNoMemory) break;
    chain_release(c, ChainKind::kFile, slot);
    // A damaged block, or an id that this program has open already, is
    // dropped: the handing program closed the file, so nothing is lost.
    if (result == Restore::kOk && !table.add(f->id, f)) free_context(f);
  }
  return kOk;
}

void KDBdataput(int client, int slot, const char *text) {
  // Only the start that KDBdataget can return is kept.
  std::string kept(str(text), strnlen(str(text), kResultMax));
  chain_store(client_of(client), ChainKind::kData, sarg16(slot), kept.c_str(), kept.size() + 1);
}

const char *KDBdataget(int client, int slot) {
  uint8_t c = client_of(client);
  int s = sarg16(slot);
  std::string block;
  bool read = chain_read(c, ChainKind::kData, s, kResultMax + 1, &block);
  chain_release(c, ChainKind::kData, s);  // read once, even when its block was damaged
  if (!read) return result_clear();
  return result_set_bytes(block.data(), strnlen(block.data(), block.size()));
}

void KDBdatafree(int client) { chain_release_all(client_of(client)); }

int KDBchainbusy(int client) { return chain_busy(client_of(client)); }
