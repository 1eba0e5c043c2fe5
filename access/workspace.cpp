// Workspaces: per client of this program, a list of up to 8000 key values
// taken from records, searched by prefix and used to read those records again.
//
// An entry holds the value of key 1 of its record and, when the file was read
// by another key at the time, that key's value too. The table and the strings
// come from globalcalloc and globalmalloc and stay until KDBwsclear (or the
// end of the client).
#include <cstring>

#include "access/cipher.h"
#include "access/kdb.h"
#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/machine_state.h"
#include "access/result_buffer.h"
#include "access/return_code.h"
#include "engine/index/keys.h"
#include "engine/rfh.h"
#include "util/memory.h"

using namespace lumbra;

namespace {

constexpr int kWorkspaceEntries = 8000;

struct Entry {
  char *key1;     // the value of key 1
  char *current;  // the value of the key the file was read by, or null for key 1
};

struct Workspace {
  Entry *entries;  // kWorkspaceEntries, made on first use
  uint16_t count;
};

// Indexed by client number (the high byte of an id).
Workspace g_workspaces[256];

Workspace &workspace_of(int id) { return g_workspaces[client_of(id)]; }

char *copy_text(const char *text) {
  size_t n = strlen(text) + 1;
  auto *copy = static_cast<char *>(globalmalloc(n));
  if (copy != nullptr) memcpy(copy, text, n);
  return copy;
}

// The value of key k of f's record buffer, copied; null when out of memory.
// The result buffer serves as scratch (keys are at most 255 characters).
char *copy_key(kdb_file &f, int k) {
  char *scratch = result_buffer();
  if (_bldkey(&f.req, k, scratch) < 0) scratch[0] = '\0';
  return copy_text(scratch);
}

}  // namespace

int KDBwsadd(int id) {
  kdb_file *f = lookup(id);
  if (f == nullptr || !is_record_file(*f) || f->req.nkeys == 0) return kNotOpen;
  Workspace &w = workspace_of(id);
  if (w.entries == nullptr) {
    w.entries = static_cast<Entry *>(globalcalloc(kWorkspaceEntries, sizeof(Entry)));
    w.count = 0;
    if (w.entries == nullptr) return kNoMemory;
  }
  if (w.count >= kWorkspaceEntries) return kNoMemory;
  const fhrequest &r = f->req;
  Entry e{copy_key(*f, 0), nullptr};
  if (e.key1 == nullptr) return kNoMemory;
  // Physical or thread order has no current key to note.
  if (!by_record_number(*f) && r.curkey > 0 && r.curkey < r.nkeys) {
    e.current = copy_key(*f, r.curkey);
    if (e.current == nullptr) {
      globalmfree(e.key1);
      return kNoMemory;
    }
  }
  w.entries[w.count++] = e;
  return kOk;
}

int KDBwsget(int id, int n) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  const Workspace &w = workspace_of(id);
  int16_t entry = sarg16(n);
  if (w.entries == nullptr || entry < 0 || entry >= w.count) return kNotOpen;
  fhrequest &r = f->req;
  uint8_t noted = by_record_number(*f) ? 0 : static_cast<uint8_t>(r.curkey + 1);
  // Without key 1 the value could only be taken for a record number.
  if (r.keybuf == nullptr || _rfhsetkey(&r, 1) != 0) return kNotOpen;
  memset(r.keybuf, ' ', FH_KEYBUFSIZE);
  const char *value = w.entries[entry].key1;
  memcpy(r.keybuf, value, strnlen(value, FH_KEYBUFSIZE - 1));
  _rfhposn(&r, 1);
  if (_rfhread(&r, 1) == 0) {
    decipher(*f);
    f->bufpos = start_position(*f);
  }
  _rfhsetkey(&r, noted);
  return kOk;
}

int KDBwsquick(int client, const char *text) {
  const Workspace &w = workspace_of(client);
  if (w.entries == nullptr) return 0;
  text = str(text);
  size_t n = strlen(text);
  for (int i = 0; i < w.count; ++i) {
    const Entry &e = w.entries[i];
    if (strncmp(e.current != nullptr ? e.current : e.key1, text, n) == 0) return i;
  }
  return 0;
}

int KDBwsclear(int client) {
  Workspace &w = workspace_of(client);
  if (w.entries != nullptr) {
    for (int i = 0; i < w.count; ++i) {
      globalmfree(w.entries[i].key1);
      globalmfree(w.entries[i].current);
    }
    globalmfree(w.entries);
  }
  w = Workspace{};
  return client_of(client);
}
