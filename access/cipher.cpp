#include "access/cipher.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "access/kdb_file.h"
#include "access/kdb.h"
#include "access/layer.h"
#include "access/return_code.h"
#include "engine/data/varlen_packing.h"
#include "util/text.h"

namespace lumbra {
namespace {

bool is_key_item(const fhrequest &r, const fhitemdef &item) {
  if (r.keydefs == nullptr) return false;
  for (int k = 0; k < r.nkeys; ++k) {
    const fhkeydef &key = r.keydefs[k];
    int segs = std::min<int>(key.nsegs, FID_MAXSEGS);
    for (int s = 0; s < segs; ++s)
      if (key.seg[s].offset + 1 == item.offset) return true;
  }
  return false;
}

// The record offsets whose bytes a variable-length file stores in trimmed
// elements, where a tab ends the element; empty for fixed-length files.
std::vector<bool> tab_free_bytes(const fhrequest &r) {
  std::vector<bool> marked;
  if (!(r.mode & FH_VARLEN)) return marked;
  marked.resize(r.reclen);
  corvex::for_each_stored_element(&r, [&](size_t begin, size_t end, bool whole, bool) {
    for (size_t k = begin; k < end && !whole; ++k) marked[k] = true;
  });
  return marked;
}

// One byte moved by shift. Where a tab would end the element, a byte that
// would come out as a tab moves by shift once more (and back on the way
// down), so that the cipher maps the bytes other than tab onto themselves
// and every other byte comes out as it always did. A tab in clear there is
// stored as a space anyway, and becomes one first.
uint8_t move(uint8_t byte, uint8_t shift, int direction, bool tab_free) {
  if (direction > 0) {
    if (tab_free && byte == '\t') byte = ' ';
    auto up = static_cast<uint8_t>(byte + shift);
    return tab_free && up == '\t' ? static_cast<uint8_t>(up + shift) : up;
  }
  auto down = static_cast<uint8_t>(byte - shift);
  return tab_free && down == '\t' ? static_cast<uint8_t>(down - shift) : down;
}

// Moves every enciphered byte of record up (direction 1) or down (-1).
void apply(const kdb_file &f, char *record, int direction) {
  const fhrequest &r = f.req;
  if (f.crypt_key[0] == '\0' || record == nullptr || r.itemdefs == nullptr) return;
  unsigned sum = 0, length = 0;
  for (const char *c = f.crypt_key; *c != '\0'; ++c, ++length) sum += static_cast<uint8_t>(*c);
  const std::vector<bool> tab_free = tab_free_bytes(r);
  for (int i = 0; i < r.nitems; ++i) {
    const fhitemdef &item = r.itemdefs[i];
    if (is_key_item(r, item)) continue;
    for (unsigned j = 0; j < item.count; ++j) {
      unsigned a = item.offset + j * item.length;
      for (unsigned k = 0; k < item.length; ++k) {
        unsigned at = a + k;
        if (at == 0 || at + 1 >= r.reclen) continue;  // the status byte and the line feed
        auto shift = static_cast<uint8_t>(sum + length * at);
        auto &byte = reinterpret_cast<uint8_t &>(record[at]);
        byte = move(byte, shift, direction, at < tab_free.size() && tab_free[at]);
      }
    }
  }
}

}  // namespace

void encipher(const kdb_file &f, char *record) { apply(f, record, 1); }

void decipher(kdb_file &f) { apply(f, f.req.recbuf, -1); }

}  // namespace lumbra

using namespace lumbra;

int KDBencrypt(int id, const char *key) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  nstrncpy(f->crypt_key, str(key), kKeyTextMax);
  return kOk;
}
